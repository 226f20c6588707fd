#pragma once
// The controller's memory moved as the console moves it: the setup panel's read of the Factory
// and User blocks and its update of them, and the backup and restore of every block to a setup
// file. Each is a walk on the loop's timers: it starts, returns, and its outcome is told once
// it ends. The operator's boxes, buttons and dialogs are the face's; what they show is told
// through a TransferView. No Qt.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/scheduler.h"
#include "memory/block_transfer.h"
#include "memory/layouts.h"
#include "memory/setup_update.h"
#include "memory/transfer_run.h"

namespace kt6 {

struct BackupResult;
struct RestoreResult;

enum class TransferKind { PanelRead, Update, Backup, Restore };

// What the panel shows of blocks 0 and 1 as just read.
struct PanelValues {
    std::uint16_t version = 0;
    // The setup log of the two blocks, as a setup file's sections would hold them.
    const std::string& log;
    // Block 0 as the controller holds it.
    const Bytes& factory;
};

class TransferView {
  public:
    virtual ~TransferView() = default;
    // A transfer takes the strip: its own button and the others it would clash with off (and
    // for a backup or restore, the log shown).
    virtual void transferHeld(TransferKind /*kind*/) {}
    // What transferHeld switched goes back; told once the outcome has been told.
    virtual void transferReleased(TransferKind /*kind*/) {}
    // The operator's keys and clicks are dropped while a walk plays.
    virtual void inputHeld(bool /*held*/) {}
    virtual void logCleared() {}
    virtual void logLine(std::string_view /*line*/) {}
    virtual void progress(int /*done*/, int /*total*/) {}
    virtual void progressEnded() {}
    // The strip's result line.
    virtual void result(const std::string& /*text*/) {}
    // Something the operator must see and acknowledge (a box in the window).
    virtual void tell(const std::string& /*text*/) {}
    // A passing event, worth a glance after the boxes are gone.
    virtual void announce(const std::string& /*text*/) {}
    // The panel opens on these values, or shows them again after an update or a restore.
    virtual void panelOpened(const PanelValues& /*values*/) {}
    virtual void panelValues(const PanelValues& /*values*/) {}
    // The master/slave choice the blocks are addressed to.
    virtual UnitSelection units() const { return {}; }
    // Where the operator's backup goes, asked once every block has come; none: not saved.
    virtual std::optional<std::filesystem::path> backupPath() { return std::nullopt; }
};

// A backup or restore asked for by a caller (the local interface) rather than the operator:
// the file is given, and what the window would say in boxes goes back to the caller.
struct TransferRequest {
    std::filesystem::path path;
    std::function<void(int done, int total)> progress;
    // Empty when it went through; else why not.
    std::function<void(const std::string& error)> done;
    // A restore that went through: the blocks written, and those left as they were because the
    // file has no section for them; told before done.
    std::function<void(int sent, int skipped)> loaded{};
};

struct SetupTransfersContext {
    Link& link;
    Scheduler& scheduler;
    // FirmwareVersion as the last status reply gave it.
    std::function<std::uint16_t()> firmwareVersion;
    // Starts or stops the status poll.
    std::function<void(bool)> setPollRunning;
};

class SetupTransfers {
  public:
    static constexpr std::string_view kBusy = "busy: a backup or restore is running";

    explicit SetupTransfers(SetupTransfersContext context);
    ~SetupTransfers();
    SetupTransfers(const SetupTransfers&) = delete;
    SetupTransfers& operator=(const SetupTransfers&) = delete;

    void setView(TransferView* view);
    // running() is true from a transfer's start until its outcome has been told.
    BlockTransfer& transfer() { return transfer_; }
    const BlockTransfer& transfer() const { return transfer_; }
    bool running() const { return transfer_.running(); }
    // The panel is open from a good read to closePanel(): the poll stays stopped meanwhile.
    bool panelOpen() const { return panelOpen_; }

    // Each returns false, starting nothing, while a transfer runs.
    // "Setup...": reads blocks 0 and 1, then the panel opens on them.
    bool openPanel();
    // "Chiudi".
    bool closePanel();
    // "Aggiorna Skarnel": reads blocks 0 and 1 again, lays edits over them and writes them.
    bool update(std::uint16_t version, SetupEdits edits);
    // "Salva...": every block; the view is asked where the file goes.
    bool backup();
    // "Carica...": the file, checked whole first. Empty when it started, else why not.
    std::string restore(const std::filesystem::path& path);
    // The same for a caller: empty when it started, else why not.
    std::string backup(TransferRequest request);
    std::string restore(TransferRequest request);
    // The console goes away: a transfer under way ends here, quietly, before the link does.
    void abandon();

  private:
    struct PanelRead;
    using Request = std::shared_ptr<TransferRequest>;

    void clearLog();
    void syncUnits();
    void tell(const std::string& text);
    void announce(const std::string& text);
    std::vector<TransferRun::BlockStep> panelReadSteps(const std::shared_ptr<PanelRead>& read);
    void readPanelBlock(int block, const char* section, const std::shared_ptr<PanelRead>& read,
                        TransferRun::StepDone done);
    PanelValues panelValuesOf(const PanelRead& read) const;
    void refreshValues();
    void writeSetupBlock(std::uint8_t command, const Bytes& block, std::function<void()> then);
    void startSave(const Request& request);
    std::string startLoad(const std::filesystem::path& path, const Request& request);
    TransferProgress progressTo(Request request);
    void saveEnded(const BackupResult& result, const Request& request);
    void loadEnded(const RestoreResult& result, const Request& request);
    void resumePoll();

    void beginTransfer(std::optional<TransferKind> held, std::function<void()> restore);
    void walk(bool preamble, std::vector<TransferRun::BlockStep> steps,
              std::function<void(TransferEnd)> then);
    void holdInput(bool held);
    // From a walk's last turn: the input back, and work run right after that turn (no box
    // opens inside a timer tick), within the transfer. The transfer ends when work returns
    // without having started another walk.
    void afterTurn(std::function<void()> work);
    void endTransfer();

    SetupTransfersContext context_;
    TransferView* view_ = nullptr;
    BlockTransfer transfer_;
    TransferRun run_;
    std::optional<BlockTransfer::Sequence> sequence_;
    std::function<void()> restore_;
    // Tells work posted by the transfer under way from that of one that has ended.
    std::uint64_t transferId_ = 0;
    // Work posted on the loop runs only while this object is there.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    bool inputHeld_ = false;
    bool panelOpen_ = false;
    // Blocks 0 and 1 as last read whole: what the update lays the boxes over.
    Bytes heldFactory_;
    Bytes heldUser_;
};

}  // namespace kt6
