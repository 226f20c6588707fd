#pragma once
// The local control interface without its sockets: each client's lines in, reply and event
// lines out. The server only moves bytes; what a request does, who may ask, who hears which
// event, all is decided here, on the console's one loop, against a Station.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/api_protocol.h"
#include "link/scheduler.h"

namespace kt6::api {

// What the interface acts on: the console over its window, tests over fakes. Every operation
// returns at once; what takes time answers through its callback, on the same loop.
class Station {
  public:
    // Empty when the operation went through; else why not, for the reply's "error".
    using Done = std::function<void(const std::string& error)>;
    using Progress = std::function<void(int block, int blocks)>;
    // A restore's end: why it failed (empty when it went through), the blocks written, and the
    // blocks left as they were because the file has no section for them.
    using RestoreDone = std::function<void(const std::string& error, int sent, int skipped)>;

    virtual ~Station() = default;
    virtual StationStatus status() const = 0;
    virtual LinkState linkState() const = 0;
    // Status records read so far: a direction request looks at the first one after its key.
    virtual std::uint64_t records() const = 0;
    // Why nothing may be pressed, tuned or run now (a service function or a transfer under
    // way); empty when the controller is free.
    virtual std::string busy() const = 0;
    // Why no status replies are asked for now (the setup panel holds the poll back), so no
    // heading can be seen to change; empty while they are.
    virtual std::string notPolling() const = 0;
    // Command 8 with this key through the window's own queue; done gets the status byte
    // (255: no answer after every try).
    virtual void pressKey(std::uint8_t code, std::function<void(std::uint8_t status)> done) = 0;
    // Command 3 with this frequency; done gets the status byte.
    virtual void setFrequency(std::uint32_t khz, std::function<void(std::uint8_t status)> done) = 0;
    // The function as its menu item and its "Yes" run it: the same guard, the same steps.
    // Empty when it started (done comes when its sequence ends); else why it did not.
    virtual std::string runFunction(ServiceFunction function, Done done) = 0;
    // Every block into the file at path, as "Salva..." saves it; the file is written only when
    // every block came. Empty when it started; else why not.
    virtual std::string backup(const std::string& path, Progress progress, Done done) = 0;
    // The setup file at path back into the controller, checked whole first, as "Carica...".
    virtual std::string restore(const std::string& path, Progress progress, RestoreDone done) = 0;
};

// Why a backup or restore cannot use this path, before anything is read or sent (not absolute,
// a folder that does not exist, not a regular file); empty when it can.
std::string transferPathProblem(Cmd cmd, const std::string& path);

struct HubOptions {
    // Every client authenticates first with this token (constant-time compared).
    bool tokenRequired = false;
    std::string token;
};

// A client that has not authenticated by then is closed: it would hold a slot for nothing.
inline constexpr std::chrono::milliseconds kAuthTimeout{5000};
// A line begun and not ended by then closes its client.
inline constexpr std::chrono::milliseconds kUnfinishedLineTimeout{10000};
// Slots only authenticated clients may take, so strangers cannot fill every one.
inline constexpr int kReservedSlots = 4;
// Wrong tokens the console looks at in any one second, from all clients together; more wait.
inline constexpr int kWrongTokensPerSecond = 5;

class Hub {
  public:
    using ClientId = int;
    // Writes one line to a client; close ends the connection once what was written is out;
    // log tells the technician of a refusal; accepting(false) leaves new connections waiting
    // in the system's queue until accepting(true).
    struct Output {
        std::function<void(ClientId, std::string_view line)> write;
        std::function<void(ClientId)> close;
        std::function<void(const std::string& text)> log;
        std::function<void(bool accept)> accepting;
    };
    // A new connection's fate: its id, or the one line it gets before it is closed.
    struct Admission {
        std::optional<ClientId> id;
        std::string refusal;
    };

    Hub(Station& station, Scheduler& scheduler, HubOptions options, Output output);
    ~Hub();
    Hub(const Hub&) = delete;
    Hub& operator=(const Hub&) = delete;

    // A connection came from peer (an address, for the log): its id, or the reason it is
    // turned away (every slot taken by an authenticated client). A stranger (not yet
    // authenticated) that would hold one of the last kReservedSlots is closed to make room.
    Admission connect(const std::string& peer = {});
    // A connection ended: what it asked for still runs, its answers go nowhere.
    void disconnect(ClientId id);
    // One line from a client, without its line end. A line over kMaxLine closes the client.
    void line(ClientId id, std::string_view text);
    // A line grew past kMaxLine before its end came: the client is told and closed.
    void overlong(ClientId id);
    // Whether the client's bytes end in the middle of a line; one left so too long is closed.
    void unfinished(ClientId id, bool midLine);
    // The station's state may have changed: watchers hear what did, and direction requests
    // look at the heading.
    void changed();
    // The console closes: every client hears it and is closed.
    void closing();

    int clients() const { return static_cast<int>(clients_.size()); }

  private:
    struct Client {
        bool authed = false;
        bool watching = false;
        std::string peer;
        // Lines that came while an authentication waits its turn, answered after it in order.
        std::vector<std::string> held;
        bool authWaiting = false;
        bool midLine = false;
        // Counts the client's line ends, so a time-out set for one line knows it has ended.
        std::uint64_t lineEnds = 0;
    };
    // A direction request pressing the key until the heading shows.
    struct Turn {
        ClientId client;
        std::string id;
        Heading wanted;
        int presses = 0;
        // A press is out: its answer has not come.
        bool keyOut = false;
        // records() when the last press was answered.
        std::uint64_t answeredAt = 0;
    };

    // One line as it is answered, once any authentication before it has been.
    void answer(ClientId id, std::string_view text);
    void handle(ClientId id, const Request& request);
    void authenticate(ClientId id, const Request& request);
    // Answers held authentications while the second's budget of wrong tokens allows.
    void authenticateHeld();
    // Logs a refusal with the client's address, sends it the reason and closes it.
    void refuse(ClientId id, const std::string& reason, std::string_view requestId = {});
    void log(const std::string& text);
    void send(ClientId id, std::string_view line);
    // Sends the client its last line and closes it.
    void turnAway(ClientId id, std::string_view lastLine);
    // Events go to every watcher and, for progress, also to the one who asked.
    void toWatchers(std::string_view line, std::optional<ClientId> also = std::nullopt);
    // Replies after a key or frequency command, by its status byte.
    void statusReply(ClientId id, const std::string& requestId, std::uint8_t status);
    bool refusedWhenBusy(ClientId id, const std::string& requestId);
    // Replies to the request when the work it started ends: ok, or its error.
    Station::Done replyWhenDone(ClientId id, const std::string& requestId);
    void startTransfer(ClientId id, const Request& request);
    void pressForTurn(const std::shared_ptr<Turn>& turn);
    void lookAtTurns();
    // Callbacks that outlive the hub (a backup's end after the window closed) do nothing.
    std::function<bool()> alive() const;

    Station& station_;
    Scheduler& scheduler_;
    HubOptions options_;
    Output output_;
    std::map<ClientId, Client> clients_;
    ClientId nextId_ = 1;
    std::optional<StationStatus> lastStatus_;
    std::optional<LinkState> lastLink_;
    std::vector<std::shared_ptr<Turn>> turns_;
    // Wrong tokens in the last second, and authentications waiting for the count to fall.
    int wrongTokens_ = 0;
    std::vector<ClientId> authQueue_;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace kt6::api
