#include "memory/setup_file.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>

#include "memory/file_io.h"
#include "memory/setup_log.h"

namespace kt6 {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The walk over every block a transfer moves, in order, after the preamble: one step per block,
// the walk ending at the first whose step says false.
template <typename Step>
std::vector<TransferRun::BlockStep> blockSteps(BlockTransfer& transfer,
                                               std::uint16_t firmwareVersion, Step step) {
    std::vector<TransferRun::BlockStep> steps;
    for (int block : transferredBlocks(transfer.units().linked)) {
        const BlockInfo info = *blockInfo(block, firmwareVersion);
        steps.emplace_back(
            [step, info](TransferRun::StepDone done) { step(info, std::move(done)); });
    }
    return steps;
}

// Plays a walk that start puts on a run to its end on the calling thread; the transfer's
// exchanges wait on the port themselves.
template <typename Result, typename Start>
Result playToEnd(BlockTransfer& transfer, Start start) {
    // A transfer made for the queue waits on the port itself for as long as this walk runs:
    // nothing here turns an event loop.
    std::optional<SteadyPortWaiter> own;
    if (!transfer.blocking()) {
        own.emplace(transfer.link().port());
        transfer.setWaiter(&*own);
    }
    PausingScheduler scheduler(transfer.pause());
    TransferRun run(transfer, scheduler);
    Result out;
    start(run, [&out](const Result& result) { out = result; });
    scheduler.run();
    if (own) transfer.setWaiter(nullptr);
    return out;
}

}  // namespace

bool startBackup(TransferRun& run, std::uint16_t firmwareVersion, const TransferProgress& progress,
                 std::function<void(const BackupResult&)> done) {
    if (run.busy()) return false;
    BlockTransfer& transfer = run.transfer();
    auto result = std::make_shared<BackupResult>();
    result->received = true;
    transfer.clearLog();
    auto steps = blockSteps(
        transfer, firmwareVersion,
        [&transfer, result](const BlockInfo& info, TransferRun::StepDone stepDone) {
            transfer.ReadBlockToLog(
                info.block, info.layout, info.section,
                [&transfer, result, info, stepDone = std::move(stepDone)](bool failed) {
                    if (!failed) {
                        stepDone(true);
                        return;
                    }
                    result->failed.push_back(transfer.lastFault().value_or(BlockFault{}));
                    const BlockFault& fault = result->failed.back();
                    // Without these two the file could not be loaded; and a closed port answers no
                    // more.
                    if (info.block == kFactoryBlock || info.block == kUserBlock) {
                        result->received = false;
                    }
                    stepDone(result->received && fault.kind != BlockFault::Kind::PortClosed);
                });
        });
    return run.start(true, std::move(steps), progress,
                     [&transfer, result, done = std::move(done)](TransferEnd end) {
                         result->abandoned = end == TransferEnd::Abandoned;
                         result->spacedTexts = transfer.spacedTexts();
                         if (done) done(*result);
                     });
}

BackupResult backupController(BlockTransfer& transfer, std::uint16_t firmwareVersion,
                              const TransferProgress& progress) {
    return playToEnd<BackupResult>(transfer, [&](TransferRun& run, auto done) {
        startBackup(run, firmwareVersion, progress, std::move(done));
    });
}

std::string spacedTextsNote(const BackupResult& result) {
    const auto& texts = result.spacedTexts;
    if (texts.empty()) return {};
    std::string where;
    for (const auto& text : texts) where += (where.empty() ? "" : ", ") + text;
    if (texts.size() == 1) return "a control character in " + where + " was saved as a space";
    return "control characters in " + where + " were saved as spaces";
}

std::optional<std::string> checkSetupFile(const ProfileFile& file, std::uint16_t firmwareVersion,
                                          bool masterSlaveTicked) {
    if (!file.existed()) return "The file " + file.path().string() + " does not exist.";
    // An unreadable or damaged file reads as empty; its own reason says more than the missing
    // sections would.
    if (!file.problem().empty()) return file.path().string() + " " + file.problem() + ".";
    // Every line the console writes ends with a line break: a last line without one is a copy
    // or download that stopped, whose last value may be cut too ("1200" read as "12").
    if (const std::string text = file.text();
        !text.empty() && text.back() != '\n' && text.back() != '\r') {
        return file.path().string() +
               " ends in the middle of a line, as a file cut short does. Nothing was sent. (A "
               "file edited by hand needs a line break after its last line.)";
    }
    if (!file.hasSection("Factory") && !file.hasSection("User")) {
        return file.path().string() +
               " is not a setup file: it has neither a [Factory] nor a [User] section.";
    }
    // Only the first copy of a section would be read: which one the operator meant is not ours
    // to guess.
    const std::vector<std::string> repeated = file.repeatedSections();
    for (int block : transferredBlocks(masterSlaveTicked)) {
        const std::string section = blockInfo(block, firmwareVersion)->section;
        for (const std::string& name : repeated) {
            if (!sameName(name, section)) continue;
            return file.path().string() + " holds the section [" + section +
                   "] more than once; which copy is meant is unclear. Nothing was sent.";
        }
    }
    // A section that is there but lacks fields would send them as 0 or empty text.
    std::string lacking;
    for (int block : transferredBlocks(masterSlaveTicked)) {
        const auto info = blockInfo(block, firmwareVersion);
        if (file.sectionKeys(info->section).empty()) continue;
        std::string missing;
        for (const LayoutField& field : layoutFields(info->layout)) {
            if (field.kind == FieldKind::Checksum) continue;
            if (file.hasKey(info->section, field.key())) continue;
            missing += (missing.empty() ? "" : ", ") + std::string(field.key());
        }
        if (!missing.empty())
            lacking += (lacking.empty() ? "" : "; ") + ("[" + info->section + "] lacks " + missing);
    }
    if (!lacking.empty()) {
        return file.path().string() + " cannot be loaded into this controller: " + lacking +
               ". Nothing was sent.";
    }
    for (int block : transferredBlocks(masterSlaveTicked)) {
        const auto info = blockInfo(block, firmwareVersion);
        if (file.sectionKeys(info->section).empty()) continue;
        const EncodedBlock encoded = encodeSection(info->layout, file, info->section, true);
        if (encoded.error) return encodeErrorText(*encoded.error);
    }
    return std::nullopt;
}

bool startRestore(TransferRun& run, std::uint16_t firmwareVersion, const TransferProgress& progress,
                  std::function<void(const RestoreResult&)> done) {
    if (run.busy()) return false;
    BlockTransfer& transfer = run.transfer();
    auto result = std::make_shared<RestoreResult>();
    transfer.clearLog();
    transfer.resetWriteTimes();
    auto steps =
        blockSteps(transfer, firmwareVersion,
                   [&transfer, result](const BlockInfo& info, TransferRun::StepDone stepDone) {
                       const bool empty = !transfer.SourceIni() ||
                                          transfer.SourceIni()->sectionKeys(info.section).empty();
                       transfer.WriteBlockFromFile(
                           info.block, info.layout, info.section,
                           [&transfer, result, empty, stepDone = std::move(stepDone)](bool failed) {
                               if (failed) {
                                   result->fault = transfer.lastFault().value_or(BlockFault{});
                                   stepDone(false);
                                   return;
                               }
                               ++(empty ? result->skipped : result->sent);
                               stepDone(true);
                           });
                   });
    return run.start(true, std::move(steps), progress,
                     [result, done = std::move(done)](TransferEnd end) {
                         result->abandoned = end == TransferEnd::Abandoned;
                         if (done) done(*result);
                     });
}

std::string restoreStoppedText(const RestoreResult& result) {
    if (result.fault) return "Restore stopped at " + blockFaultText(*result.fault);
    if (result.abandoned) return "Restore stopped: the console closed before every block was sent";
    return {};
}

RestoreResult restoreController(BlockTransfer& transfer, std::uint16_t firmwareVersion,
                                const TransferProgress& progress) {
    return playToEnd<RestoreResult>(transfer, [&](TransferRun& run, auto done) {
        startRestore(run, firmwareVersion, progress, std::move(done));
    });
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error) {
    // A setup file goes where the operator chose, maybe a folder others write to: nothing is
    // created there and no link is written through.
    return replaceFileAtomically(path, bytes, error, ReplacePolicy::Strict);
}

}  // namespace kt6
