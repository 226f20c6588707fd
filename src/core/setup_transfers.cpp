#include "core/setup_transfers.h"

#include <utility>

#include "memory/block_codec.h"
#include "memory/block_fault.h"
#include "memory/profile_file.h"
#include "memory/setup_file.h"

namespace kt6 {

namespace {

const std::string kReceiveError = "Errore in ricezione dati.";
const std::string kReceiveFailed = "Ricezione impostazioni fallita.";
const std::string kReceived = "Ricezione dati eseguita correttamente.";
const std::string kSendError = "Errore in invio dati. Prego riprovare";
const std::string kSendFailed = "Trasmissione dati non eseguita.";
const std::string kSent = "Trasmissione dati eseguita correttamente.";
const std::string kWriteError = "Errore in scrittura dati.";
const std::string kAbandoned = "the console closed before the transfer ended";

std::string backupNotSaved(const std::string& why) {
    return "Backup not saved: " + why;
}

// Tells the caller how the transfer ended; empty error: it went through.
void tellCaller(const std::shared_ptr<TransferRequest>& request, const std::string& error) {
    if (request && request->done) request->done(error);
}

}  // namespace

struct SetupTransfers::PanelRead {
    std::uint16_t version = 0;
    // Which block failed and why.
    std::optional<std::string> failure;
};

SetupTransfers::SetupTransfers(SetupTransfersContext context)
    : context_(std::move(context)), transfer_(context_.link), run_(transfer_, context_.scheduler) {
    transfer_.setLogSink([this](std::string_view line) {
        if (view_) view_->logLine(line);
    });
}

SetupTransfers::~SetupTransfers() {
    abandon();
    transfer_.setLogSink(nullptr);
}

void SetupTransfers::setView(TransferView* view) {
    view_ = view;
}

// --- shared steps ---

void SetupTransfers::clearLog() {
    transfer_.clearLog();
    if (view_) view_->logCleared();
}

void SetupTransfers::syncUnits() {
    if (view_) transfer_.setUnits(view_->units());
}

void SetupTransfers::tell(const std::string& text) {
    // A transfer cut short by the console closing has nobody left to tell.
    if (context_.link.isShutDown() || !view_) return;
    view_->tell(text);
}

void SetupTransfers::announce(const std::string& text) {
    if (context_.link.isShutDown() || !view_) return;
    view_->announce(text);
}

void SetupTransfers::resumePoll() {
    // Under the open panel the poll stays stopped until "Chiudi", whatever happened meanwhile.
    if (!panelOpen_) context_.setPollRunning(true);
}

TransferProgress SetupTransfers::progressTo(Request request) {
    return [this, request = std::move(request)](int done, int total) {
        if (view_) view_->progress(done, total);
        if (request && request->progress) request->progress(done, total);
    };
}

// --- the transfer under way ---

void SetupTransfers::beginTransfer(std::optional<TransferKind> held,
                                   std::function<void()> restore) {
    ++transferId_;
    sequence_.emplace(transfer_);
    restore_ = [this, held, restore = std::move(restore)] {
        if (restore) restore();
        if (held && view_) view_->transferReleased(*held);
    };
    if (held && view_) view_->transferHeld(*held);
}

void SetupTransfers::holdInput(bool held) {
    if (held == inputHeld_) return;
    inputHeld_ = held;
    if (view_) view_->inputHeld(held);
}

void SetupTransfers::walk(bool preamble, std::vector<TransferRun::BlockStep> steps,
                          std::function<void(TransferEnd)> then) {
    holdInput(true);
    run_.start(preamble, std::move(steps), {}, [this, then = std::move(then)](TransferEnd end) {
        afterTurn([then, end] { then(end); });
    });
}

void SetupTransfers::afterTurn(std::function<void()> work) {
    holdInput(false);
    context_.scheduler.after(
        std::chrono::milliseconds(0),
        [this, alive = std::weak_ptr(alive_), id = transferId_, work = std::move(work)] {
            // A transfer ended meanwhile (the console closing) has nothing left to tell.
            if (alive.expired() || id != transferId_ || !sequence_) return;
            work();
            if (id == transferId_ && !run_.busy()) endTransfer();
        });
}

void SetupTransfers::endTransfer() {
    run_.cancel();
    holdInput(false);
    if (auto restore = std::exchange(restore_, nullptr)) restore();
    sequence_.reset();
    ++transferId_;
}

void SetupTransfers::abandon() {
    if (sequence_) endTransfer();
}

// --- open, update, close ---

bool SetupTransfers::openPanel() {
    if (running()) return false;
    // Put back only when the panel does not open.
    beginTransfer(TransferKind::PanelRead, [this] { context_.setPollRunning(true); });
    clearLog();
    context_.setPollRunning(false);
    syncUnits();
    auto read = std::make_shared<PanelRead>();
    walk(true, panelReadSteps(read), [this, read](TransferEnd end) {
        if (end == TransferEnd::Abandoned) return;
        if (read->failure) {
            tell(kReceiveError);
            if (view_) view_->result(kReceiveFailed);
            announce("Setup not read: " + *read->failure);
            return;
        }
        // Open: the poll stays stopped until "Chiudi".
        restore_ = nullptr;
        panelOpen_ = true;
        if (view_) view_->panelOpened(panelValuesOf(*read));
    });
    return true;
}

bool SetupTransfers::closePanel() {
    if (running()) return false;
    panelOpen_ = false;
    context_.setPollRunning(true);
    return true;
}

std::vector<TransferRun::BlockStep> SetupTransfers::panelReadSteps(
    const std::shared_ptr<PanelRead>& read) {
    return {[this, read](TransferRun::StepDone done) {
                read->version = context_.firmwareVersion();
                clearLog();
                readPanelBlock(kFactoryBlock, "Factory", read, std::move(done));
            },
            [this, read](TransferRun::StepDone done) {
                readPanelBlock(kUserBlock, "User", read, std::move(done));
            }};
}

void SetupTransfers::readPanelBlock(int block, const char* section,
                                    const std::shared_ptr<PanelRead>& read,
                                    TransferRun::StepDone done) {
    const auto info = blockInfo(block, read->version);
    transfer_.ReadBlockToLog(
        block, info->layout, section, [this, block, read, done = std::move(done)](bool failed) {
            if (failed) {
                read->failure = blockFaultText(transfer_.lastFault().value_or(BlockFault{}));
                done(false);
                return;
            }
            (block == kFactoryBlock ? heldFactory_ : heldUser_) = transfer_.lastBlock();
            done(true);
        });
}

PanelValues SetupTransfers::panelValuesOf(const PanelRead& read) const {
    return PanelValues{read.version, transfer_.logText(), heldFactory_};
}

bool SetupTransfers::update(std::uint16_t version, SetupEdits edits) {
    if (running()) return false;
    // Nothing is switched: the update's button comes back with the link.
    beginTransfer(std::nullopt, {});
    syncUnits();
    // The edits go over the blocks as the controller holds them now, not as they were when
    // the panel opened: a load since then, or a field the panel does not show, must not be
    // written back stale.
    auto read = std::make_shared<PanelRead>();
    walk(false, panelReadSteps(read),
         [this, read, version, edits = std::move(edits)](TransferEnd end) {
             if (end == TransferEnd::Abandoned) return;
             if (read->failure) {
                 const std::string why = "Update not sent: " + *read->failure;
                 tell(kReceiveError + "\n" + why);
                 announce(why);
                 return;
             }
             const auto blocks = composeSetupBlocks(version, heldFactory_, heldUser_, edits);
             if (!blocks) {
                 tell(kWriteError);
                 return;
             }
             writeSetupBlock(kWriteFactoryCommand, blocks->factory, [this, user = blocks->user] {
                 writeSetupBlock(kWriteUserCommand, user, [this] { refreshValues(); });
             });
         });
    return true;
}

void SetupTransfers::writeSetupBlock(std::uint8_t command, const Bytes& block,
                                     std::function<void()> then) {
    // Each block in a walk of its own, so that a refusal's box is up before the next goes out.
    auto failed = std::make_shared<bool>(false);
    walk(false, {[this, command, block, failed](TransferRun::StepDone done) {
             transfer_.WriteSetupBlock(command, block, [failed, done = std::move(done)](bool f) {
                 *failed = f;
                 done(true);
             });
         }},
         [this, failed, then = std::move(then)](TransferEnd end) {
             if (end == TransferEnd::Abandoned) return;
             if (*failed) tell(kWriteError);
             then();
         });
}

void SetupTransfers::refreshValues() {
    // Shows what the controller holds now, so the next update starts from its values.
    auto read = std::make_shared<PanelRead>();
    walk(false, panelReadSteps(read), [this, read](TransferEnd end) {
        if (end == TransferEnd::Abandoned) return;
        if (read->failure) {
            announce("Setup values not read back: " + *read->failure);
            return;
        }
        if (view_) view_->panelValues(panelValuesOf(*read));
    });
}

// --- setup file ---

bool SetupTransfers::backup() {
    if (running()) return false;
    startSave(nullptr);
    return true;
}

std::string SetupTransfers::backup(TransferRequest request) {
    if (running()) return std::string(kBusy);
    startSave(std::make_shared<TransferRequest>(std::move(request)));
    return {};
}

void SetupTransfers::startSave(const Request& request) {
    beginTransfer(TransferKind::Backup, [this] {
        if (view_) view_->progressEnded();
        resumePoll();
    });
    clearLog();
    context_.setPollRunning(false);
    syncUnits();
    holdInput(true);
    startBackup(run_, context_.firmwareVersion(), progressTo(request),
                [this, request](const BackupResult& result) {
                    afterTurn([this, result, request] { saveEnded(result, request); });
                });
}

void SetupTransfers::saveEnded(const BackupResult& result, const Request& request) {
    if (view_) view_->progressEnded();
    if (result.abandoned) {
        tellCaller(request, kAbandoned);
        return;
    }
    if (!result.complete()) {
        // Nothing is written: a file without every block would pass for a backup later, and
        // an older whole one at that path is worth more.
        const std::string why = backupNotSaved(failedBlocksText(result.failed));
        // A caller hears it in its reply: no box for the operator.
        if (!request) tell(result.received ? why : kReceiveError);
        if (view_) view_->result(result.received ? why : kReceiveFailed);
        // Replaces any earlier "saved" still showing, which would now mislead.
        announce(why);
        tellCaller(request, why);
        return;
    }
    if (view_) view_->result(kReceived);
    std::optional<std::filesystem::path> path;
    if (request) {
        path = request->path;
    } else if (view_) {
        path = view_->backupPath();
    }
    if (!path) return;
    std::string error;
    if (!writeFileAtomically(*path, transfer_.fileText(), &error)) {
        const std::string why = backupNotSaved(error);
        if (!request) tell("The setup file was not saved: " + error);
        announce(why);
        tellCaller(request, why);
        return;
    }
    std::string saved = "Backup saved to " + std::filesystem::path(*path).make_preferred().string();
    // The file is no byte-exact copy where a text's line break had to become a space.
    if (const std::string note = spacedTextsNote(result); !note.empty()) saved += "; " + note;
    announce(saved);
    tellCaller(request, {});
}

std::string SetupTransfers::restore(const std::filesystem::path& path) {
    if (running()) return std::string(kBusy);
    return startLoad(path, nullptr);
}

std::string SetupTransfers::restore(TransferRequest request) {
    if (running()) return std::string(kBusy);
    const std::filesystem::path path = request.path;
    return startLoad(path, std::make_shared<TransferRequest>(std::move(request)));
}

std::string SetupTransfers::startLoad(const std::filesystem::path& path, const Request& request) {
    syncUnits();
    const std::uint16_t version = context_.firmwareVersion();
    auto source = std::make_unique<ProfileFile>(path);
    // The whole file is checked before the first block goes out.
    if (auto problem = checkSetupFile(*source, version, transfer_.units().linked)) return *problem;
    beginTransfer(TransferKind::Restore, [this] {
        if (view_) view_->progressEnded();
        resumePoll();
        transfer_.freeSourceIni();
    });
    clearLog();
    context_.setPollRunning(false);
    transfer_.setSourceIni(std::move(source));
    holdInput(true);
    startRestore(run_, version, progressTo(request), [this, request](const RestoreResult& result) {
        afterTurn([this, result, request] { loadEnded(result, request); });
    });
    return {};
}

void SetupTransfers::loadEnded(const RestoreResult& result, const Request& request) {
    if (view_) view_->progressEnded();
    if (context_.link.isShutDown()) {
        tellCaller(request, kAbandoned);
        return;
    }
    if (result.failed()) {
        const std::string why = restoreStoppedText(result);
        if (!request) tell(kSendError);
        if (view_) view_->result(kSendFailed);
        announce(why);
        tellCaller(request, why);
        return;
    }
    if (view_) view_->result(kSent);
    // A file without some sections loads what it has; the rest of the controller's memory is
    // as it was, which the operator is told rather than left to assume a whole restore.
    if (result.skipped > 0)
        announce("Loaded " + std::to_string(result.sent) + " blocks; " +
                 std::to_string(result.skipped) + " not in the file were left as they were");
    // The panel showed the blocks as they were before the load; an update from it would write
    // the old values back.
    if (panelOpen_) refreshValues();
    if (request && request->loaded) request->loaded(result.sent, result.skipped);
    tellCaller(request, {});
}

}  // namespace kt6
