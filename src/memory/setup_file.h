#pragma once
// The setup file: a backup of every memory block as INI text, saved from the controller and
// loaded back into it. The walks run on a TransferRun, or to their end in one blocking call;
// the caller owns the dialogs, buttons and status texts.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "memory/block_transfer.h"
#include "memory/transfer_run.h"

namespace kt6 {

inline constexpr std::string_view kSetupFileExtension = "skarnel";

struct BackupResult {
    // Blocks 0 and 1 arrived whole (the others may still have failed).
    bool received = false;
    // Every block that did not arrive whole, in the order read; a backup is saved only when
    // there is none. failedBlocksText() words them.
    std::vector<BlockFault> failed;
    // Texts whose CR or LF bytes the file holds as spaces ("welcome [Factory]"): for those the
    // file is not a byte-exact copy of the controller.
    std::vector<std::string> spacedTexts;
    // The link was shut down (the window closing) before every block was asked for.
    bool abandoned = false;

    bool complete() const { return received && failed.empty() && !abandoned; }
};

// What the operator is told about spaced texts; empty when there are none.
std::string spacedTextsNote(const BackupResult& result);

// Preamble, then Factory and User (stopping at the first failure), then unless the master/slave
// box is ticked every Useroffs and FactoryTune block, a failed one noted and passed over; a
// closed port ends it at the block it reached. The setup log is cleared first and holds the
// blocks afterwards. Starts the walk on run and returns at once (false, nothing started, while
// run is busy); done gets the result in the walk's last turn.
bool startBackup(TransferRun& run, std::uint16_t firmwareVersion, const TransferProgress& progress,
                 std::function<void(const BackupResult&)> done);
// The same walk to its end, the preamble's waits spent in the transfer's pause.
BackupResult backupController(BlockTransfer& transfer, std::uint16_t firmwareVersion,
                              const TransferProgress& progress = {});

// Why a setup file cannot be loaded, checked before anything is sent: missing, unreadable or
// not INI text, neither a "Factory" nor a "User" section, a section that lacks fields of its
// layout or comes twice, a value that is not an integer or does not fit its field, a text
// longer than its field.
// Nothing when it can be loaded.
std::optional<std::string> checkSetupFile(const ProfileFile& file, std::uint16_t firmwareVersion,
                                          bool masterSlaveTicked);

struct RestoreResult {
    // The block the walk stopped at, and why.
    std::optional<BlockFault> fault;
    // The link was shut down (the window closing) before every block was sent.
    bool abandoned = false;
    int sent = 0;     // blocks written
    int skipped = 0;  // sections missing or empty: the controller keeps those blocks

    bool failed() const { return fault || abandoned; }
};

// Why a restore stopped, as in "Restore stopped at Useroffs10 (block 12): it did not answer";
// empty when it did not.
std::string restoreStoppedText(const RestoreResult& result);

// Preamble, then every block from SourceIni in file order, stopping at the first failure. The
// setup log is cleared first. Starts the walk on run and returns at once (false, nothing
// started, while run is busy); done gets the result in the walk's last turn.
bool startRestore(TransferRun& run, std::uint16_t firmwareVersion, const TransferProgress& progress,
                  std::function<void(const RestoreResult&)> done);
// The same walk to its end, the preamble's waits spent in the transfer's pause.
RestoreResult restoreController(BlockTransfer& transfer, std::uint16_t firmwareVersion,
                                const TransferProgress& progress = {});

// Writes the bytes to a file beside the target and renames it over the target, so an older
// file is either kept whole or replaced whole; false with the reason when that fails. The
// target's folder must exist, and a symbolic link there is refused ("is a symbolic link"),
// never written through (ReplacePolicy::Strict).
bool writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         std::string* error = nullptr);

}  // namespace kt6
