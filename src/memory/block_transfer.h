#pragma once
// Moving memory blocks between the controller and the console: the transfer preamble, a block
// read into the setup log, and a block written from an INI section. The setup log is the
// link's log (CR LF lines); beside it this keeps the same lines as a setup file writes them.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link.h"
#include "memory/block_fault.h"
#include "memory/layouts.h"
#include "memory/profile_file.h"
#include "memory/setup_log.h"

namespace kt6 {

inline constexpr std::uint8_t kReadBlockCommand = 5;
inline constexpr std::uint8_t kWriteBlockCommand = 4;
inline constexpr std::uint8_t kWriteFactoryCommand = 6;
inline constexpr std::uint8_t kWriteUserCommand = 7;
inline constexpr int kBlockTries = 4;
inline constexpr int kReadTimeoutMs = 100;
inline constexpr int kWriteTimeoutMs = 6000;
inline constexpr int kSetupWriteTimeoutMs = 300;
// Once a restore's block write has been answered, a later try gives up after this many times
// the slowest write reply of the restore so far, never sooner than the floor, and goes again.
inline constexpr int kAdaptiveWriteFactor = 4;
inline constexpr std::chrono::milliseconds kAdaptiveWriteFloor{300};
inline constexpr std::string_view kDataError = "Errore nei dati.";
// The transfer preamble's waits: the line settles before the drain, and each stale byte drained
// is followed by a pause for any that may still be on its way.
inline constexpr std::chrono::milliseconds kSettlePause{100};
inline constexpr std::chrono::milliseconds kDrainPause{10};

class BlockTransfer {
  public:
    // A pause that lets nothing else run: the preamble's waits in the blocking forms of the
    // transfers (command-line tools, benchmarks); a transfer on the window's loop waits on its
    // scheduler instead.
    using Pause = std::function<void(std::chrono::milliseconds)>;
    // Told whether a block operation failed (true), as the block operations report.
    using Done = std::function<void(bool failed)>;

    // Exchanges go through the link's queue, on the lane of the work that holds it: each
    // operation's done runs when its reply has come.
    explicit BlockTransfer(Link& link);
    // The blocking form: every exchange waits on the port itself through waiter (done runs
    // before the operation returns), and pauses are spent in pause (a sleep when empty).
    BlockTransfer(Link& link, PortWaiter& waiter, Pause pause = {});
    const Pause& pause() const { return pause_; }
    bool blocking() const { return waiter_ != nullptr; }
    // Makes the exchanges wait on the port through waiter from now on (nullptr: the queue).
    void setWaiter(PortWaiter* waiter) { waiter_ = waiter; }

    Link& link() { return link_; }
    void setUnits(UnitSelection units) { units_ = units; }
    const UnitSelection& units() const { return units_; }

    // The setup log, as CR LF lines: cleared by each save, load and panel opening.
    void clearLog();
    const std::string& logText() const { return log_; }
    // Told every line added to the setup log (the window shows them while a transfer runs).
    using LogSink = std::function<void(std::string_view line)>;
    void setLogSink(LogSink sink) { logSink_ = std::move(sink); }
    // The log's lines as the setup file holds them: texts quoted where INI reading would
    // otherwise change them.
    const std::string& fileText() const { return fileText_; }
    // The texts ("welcome [Factory]") whose CR or LF bytes fileText() holds as spaces, so that
    // no key runs onto a line of its own; the log keeps them as read.
    const std::vector<std::string>& spacedTexts() const { return spacedTexts_; }

    // The preamble's parts, played by a TransferRun with its pauses between them: exchanges
    // on, then (after the settle pause) stale input drained a byte at a time, then the link
    // check, one status request whose result does not matter.
    void enableExchanges() { link_.enableExchanges(); }
    // True when a stale byte was there; it is dropped.
    bool dropStaleByte();
    void checkLink(std::function<void()> done);

    // Each tells done true on failure, as the block operations report, and keeps why in
    // lastFault().
    void ReadBlockToLog(int block, std::string_view layout, std::string_view section, Done done);
    // Why the last block operation failed, the block and section it was given named; nothing
    // after one that succeeded.
    const std::optional<BlockFault>& lastFault() const { return lastFault_; }
    // The bytes of the last block read whole, cut to its layout's size.
    const Bytes& lastBlock() const { return lastBlock_; }
    // Sends nothing, successfully, for a section without keys (the controller keeps the block).
    void WriteBlockFromFile(int block, std::string_view layout, std::string_view section,
                            Done done);
    // On (the default), a block write from a file gives each try but its last only
    // writeRetryAfter() once the controller has answered one; off, every try waits
    // kWriteTimeoutMs.
    void setAdaptiveWrite(bool on) { adaptiveWrite_ = on; }
    bool adaptiveWrite() const { return adaptiveWrite_; }
    // Forgets the write replies timed so far: each restore learns its controller afresh.
    void resetWriteTimes() { slowestWrite_.reset(); }
    // What a try of the next block write from a file waits before it goes again; nothing while
    // no write has been answered yet, or with the adaptive wait off.
    std::optional<std::chrono::milliseconds> writeRetryAfter() const;
    // Writes a whole Factory (command 6) or User (command 7) block as given; a linked unit
    // other than the master gets it through command 4 with its selector.
    void WriteSetupBlock(std::uint8_t command, const Bytes& block, Done done);

    // The INI file block writes take their values from; exists only during a load or update.
    ProfileFile* SourceIni() { return source_.get(); }
    void setSourceIni(std::unique_ptr<ProfileFile> source) { source_ = std::move(source); }
    std::unique_ptr<ProfileFile> freeSourceIni() { return std::move(source_); }

    // One save, load or update at a time: true while one runs.
    bool running() const { return running_; }
    // Marks a sequence as running for as long as it lives; check running() first.
    class Sequence {
      public:
        explicit Sequence(BlockTransfer& t) : t_(t) { t_.running_ = true; }
        ~Sequence() { t_.running_ = false; }
        Sequence(const Sequence&) = delete;
        Sequence& operator=(const Sequence&) = delete;

      private:
        BlockTransfer& t_;
    };

  private:
    void appendLog(std::string_view line);
    void logLine(std::string_view line);
    void logField(std::string_view section, std::string_view name, std::string_view value,
                  bool text);
    Bytes selectorBytes(int block) const;
    void exchange(Command command, Link::Completion done);
    // Writes a block; a failure is kept as `fault` with what the exchange came to.
    void sendBlock(Command command, BlockFault fault, Done done);
    // Logs a block read's reply by its layout; true on failure (the reason in lastFault).
    bool logBlock(const Outcome& outcome, std::string_view layout, BlockFault fault);
    // Keeps fault as the last one, its kind what a failed exchange's outcome says: the port
    // gone, no answer, or the controller's refusal. True, for done.
    bool failedExchange(BlockFault fault, const Outcome& outcome);

    Link& link_;
    PortWaiter* waiter_ = nullptr;
    Pause pause_;
    UnitSelection units_;
    std::string log_;
    LogSink logSink_;
    std::string fileText_;
    std::vector<std::string> spacedTexts_;
    std::unique_ptr<ProfileFile> source_;
    std::optional<BlockFault> lastFault_;
    bool adaptiveWrite_ = true;
    std::optional<std::chrono::milliseconds> slowestWrite_;
    Bytes lastBlock_;
    bool running_ = false;
};

}  // namespace kt6
