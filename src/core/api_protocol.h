#pragma once
// The local control interface's wire format: JSON lines, one request object a line, one reply
// a line, events as lines after "watch". Parsing and encoding only: no sockets, no Qt, so the
// console's server, kt6ctl and the fuzzer share it. The JSON library stays inside the .cpp.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/service_sequences.h"
#include "link/status.h"

namespace kt6::api {

// A line longer than this closes the connection that sent it.
inline constexpr std::size_t kMaxLine = 4096;
// Clients served at once; the next one is closed with the reason.
inline constexpr int kMaxClients = 16;
inline constexpr std::uint16_t kDefaultPort = 4550;
// The frequency field of the controller is 16-bit kHz; 0 would read as "retracted".
inline constexpr std::uint32_t kMinKhz = 1;
inline constexpr std::uint32_t kMaxKhz = 65535;

enum class Cmd { Status, Key, Band, Freq, Direction, Function, Backup, Restore, Watch, Auth };

// The controller's three headings, as the interface names them: "normal", "180", "bidir".
enum class Heading { Normal, Reversed, Bidir };

struct Request {
    // The request's "id", as JSON text ("1", "\"a\""), echoed in its reply; empty when absent.
    std::string id;
    Cmd cmd = Cmd::Status;
    std::uint8_t key = 0;                                   // Key, Band: the key code to press
    std::uint32_t khz = 0;                                  // Freq
    Heading heading = Heading::Normal;                      // Direction
    ServiceFunction function = ServiceFunction::Calibrate;  // Function
    bool confirm = false;                                   // Function: must be true
    std::string path;                                       // Backup, Restore
    std::string token;                                      // Auth
};

// A parsed line: the request, or why it is not one (with the id when one could be read, so the
// error reply still carries it).
struct Parsed {
    std::optional<Request> request;
    std::string id;
    std::string error;
};
// Any bytes in, never an exception out: a line that is not a whole, valid request gives the
// reason in error.
Parsed parseRequest(std::string_view line);
// The line a client sends for the request, '\n' included; parseRequest reads it back as it
// was. Members the command does not use are left out.
std::string requestLine(const Request& request);

// Key names: "40m" ... "6m", "up", "down", "direction", "power", "menu", "return"; nothing for
// any other name.
std::optional<std::uint8_t> keyByName(std::string_view name);
// The name of a key code, empty for codes without one (77, the band lamp's).
std::string_view keyName(std::uint8_t code);
// Band names "40m" ... "6m" to their band key; nothing for any other name.
std::optional<std::uint8_t> bandKeyByName(std::string_view name);
// Function names "calibrate", "factory", "retract", "test"; nothing for any other name.
std::optional<ServiceFunction> functionByName(std::string_view name);
// The name functionByName takes; empty for functions the interface does not offer.
std::string_view functionName(ServiceFunction function);
// "normal", "180" or "bidir", and back; nothing for any other name.
std::string_view headingName(Heading heading);
std::optional<Heading> headingByName(std::string_view name);
// The heading byte of a status record as the interface names it; nothing for values the
// controller does not send.
std::optional<Heading> headingOf(std::uint8_t headingByte);

// What "status" replies and "status" events carry.
struct StationStatus {
    bool online = false;
    std::string port;      // "COM1", "tcp://host:port", ...
    std::string firmware;  // "1.13"; empty before the first reply
    int drivers = 0;
    std::uint32_t frequency = 0;  // kHz
    std::string band;             // "20m"; empty when unknown
    std::string heading;          // "normal", "180", "bidir"; empty when unknown
    bool moving = false;
    bool power = false;               // the display is on
    std::string link, radio, events;  // the status bar's three texts
};
bool operator==(const StationStatus&, const StationStatus&);

// What a status record says, in the interface's terms: firmware, drivers, frequency, band (as
// the display names it, "10m(2)" for a 10 m segment), heading, moving and power. online, port
// and the status bar's texts are the caller's.
StationStatus statusFromRecord(const StatusRecord& record);

enum class LinkState { Online, Offline, Lost };
std::string_view linkStateName(LinkState state);  // "online", "offline", "lost"

// Replies, each one line with its trailing '\n'; id is JSON text or empty.
std::string okReply(std::string_view id);
// An ok reply with extra members, given as a JSON object's text ("{\"status\":0}").
std::string okReply(std::string_view id, std::string_view membersObject);
std::string errorReply(std::string_view id, std::string_view error);
std::string statusReply(std::string_view id, const StationStatus& status);
// A restore's ok reply: the blocks written, and those the file left as they were.
std::string restoreReply(std::string_view id, int sent, int skipped);

// Events, each one line with its trailing '\n'.
std::string statusEvent(const StationStatus& status);
std::string movingEvent(bool moving);
std::string linkEvent(LinkState state);
std::string progressEvent(int block, int blocks);
std::string closingEvent();

// A line from the console as a client reads it: a reply (it has "ok") or an event.
struct Message {
    enum class Kind { Reply, Event } kind = Kind::Reply;
    std::string id;     // Reply: its "id" as JSON text; empty when it had none
    bool ok = false;    // Reply
    std::string error;  // Reply with ok false
    std::string event;  // Event: "status", "moving", "link", "progress", "closing", ...
    // A status reply's or a status event's fields, when it carries them.
    std::optional<StationStatus> status;
    bool moving = false;            // "moving" event
    std::optional<LinkState> link;  // "link" event
    int block = 0, blocks = 0;      // "progress" event
    // A restore's reply: blocks written, and blocks left as they were (their sections were
    // missing from the file); nothing when the reply does not say.
    std::optional<int> sent, skipped;
};
// Nothing for a line that is neither a reply nor an event; never throws.
std::optional<Message> parseMessage(std::string_view line);

// Compares without an early exit, so the time taken does not tell how much matched.
bool tokensEqual(std::string_view a, std::string_view b);

}  // namespace kt6::api
