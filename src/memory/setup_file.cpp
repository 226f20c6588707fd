#include "memory/setup_file.h"

#include "memory/file_io.h"
#include "memory/setup_log.h"

namespace kt6 {

namespace {

// Runs step on each block a transfer moves, in order, after the preamble, with the progress
// counting the blocks done; stops at the first block whose step says false.
template <typename Step>
void forEachTransferredBlock(BlockTransfer& transfer, std::uint16_t firmwareVersion,
                             const TransferProgress& progress, Step step) {
    transfer.clearLog();
    const std::vector<int> blocks = transferredBlocks(transfer.units().linked);
    const int total = static_cast<int>(blocks.size());
    if (progress) progress(0, total);
    transfer.TransferPreamble();
    int done = 0;
    for (int block : blocks) {
        if (!step(*blockInfo(block, firmwareVersion))) return;
        if (progress) progress(++done, total);
    }
}

}  // namespace

BackupResult backupController(BlockTransfer& transfer, std::uint16_t firmwareVersion,
                              const TransferProgress& progress) {
    BackupResult result;
    bool whole = true;
    forEachTransferredBlock(transfer, firmwareVersion, progress, [&](const BlockInfo& info) {
        if (!transfer.ReadBlockToLog(info.block, info.layout, info.section)) return true;
        // Without these two the file could not be loaded; the others are told as missing.
        if (info.block == kFactoryBlock || info.block == kUserBlock) return whole = false;
        ++result.missing;
        return true;
    });
    if (!whole) return result;
    result.received = true;
    result.spacedTexts = transfer.spacedTexts();
    return result;
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
    if (!file.hasSection("Factory") && !file.hasSection("User")) {
        return file.path().string() +
               " is not a setup file: it has neither a [Factory] nor a [User] section.";
    }
    for (int block : transferredBlocks(masterSlaveTicked)) {
        const auto info = blockInfo(block, firmwareVersion);
        if (file.sectionKeys(info->section).empty()) continue;
        const EncodedBlock encoded = encodeSection(info->layout, file, info->section, true);
        if (encoded.error) return encodeErrorText(*encoded.error);
    }
    return std::nullopt;
}

RestoreResult restoreController(BlockTransfer& transfer, std::uint16_t firmwareVersion,
                                const TransferProgress& progress) {
    RestoreResult result;
    forEachTransferredBlock(transfer, firmwareVersion, progress, [&](const BlockInfo& info) {
        const bool empty =
            !transfer.SourceIni() || transfer.SourceIni()->sectionKeys(info.section).empty();
        if (transfer.WriteBlockFromFile(info.block, info.layout, info.section)) {
            result.failed = true;
            result.failedBlock = info.block;
            return false;
        }
        ++(empty ? result.skipped : result.sent);
        return true;
    });
    return result;
}

bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error) {
    // A setup file goes where the operator chose; a folder that is gone is an error, not made.
    const std::filesystem::path dir = path.has_parent_path() ? path.parent_path() : ".";
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) {
        if (error) *error = "cannot create a file in " + dir.string() + ": no such folder";
        return false;
    }
    return replaceFileAtomically(path, bytes, error);
}

}  // namespace kt6
