// Setup-file check before a load, on any file: it never crashes; a file it accepts builds every
// block it moves without an error and at full size; and those blocks, read back from a
// controller into a saved setup file, load again to the same values. With bit 2 the controller
// holds CR and LF where those texts have spaces: the saved file must still load to the spaces.
//
// Input: the first byte picks the firmware (bit 0: 1.12 or 1.30 layouts), whether the
// master/slave box is ticked (bit 1) and line breaks (bit 2); the rest is the file. Seeds start
// with '0'..'3', or '5' for line breaks.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "link/comm32.h"
#include "link/link.h"
#include "memory/block_codec.h"
#include "memory/block_transfer.h"
#include "memory/layouts.h"
#include "memory/profile_file.h"
#include "memory/setup_file.h"
#include "memory/setup_log.h"
#include "support/fake_serial.h"
#include "support/scripted_controller.h"
#include "support/scripted_transfer.h"

namespace {

using namespace kt6;

void check(bool ok) {
    if (!ok) std::abort();
}

std::filesystem::path scratchPath(const char* name) {
    // A memory file system keeps the many small writes cheap.
    const std::filesystem::path dir =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return dir / ("kt6-fuzz-setup-" + std::to_string(::getpid()) + "-" + name + ".skarnel");
}

void put(const std::filesystem::path& path, std::string_view text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(text.data(), static_cast<std::streamsize>(text.size()));
}

// A block read by the console's own code from a controller stand-in that answers with the
// bytes it is given; the setup file text builds up in the transfer.
using Controller = testing::ScriptedTransfer;

// The checksum byte is the controller's and a saved file never carries it.
bool sameValues(std::string_view layout, const Bytes& a, const Bytes& b) {
    if (a.size() != b.size()) return false;
    for (const LayoutField& field : layoutFields(layout)) {
        if (field.kind == FieldKind::Checksum) continue;
        for (std::size_t i = field.offset; i < field.offset + field.width; ++i) {
            if (a[i] != b[i]) return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint16_t version = (data[0] & 1) ? kFirmware130 : kFirmware113 - 1;
    const bool ticked = (data[0] & 2) != 0;
    const bool lineBreaks = (data[0] & 4) != 0;
    static const std::filesystem::path loaded = scratchPath("in");
    static const std::filesystem::path saved = scratchPath("saved");
    put(loaded, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));

    const ProfileFile file(loaded);
    const auto problem = checkSetupFile(file, version, ticked);
    if (!file.problem().empty()) check(problem.has_value());
    if (problem) {
        check(!problem->empty());
        return 0;
    }

    // What a load sends: every block builds, at its layout's size.
    std::vector<Bytes> blocks;
    for (int block : transferredBlocks(ticked)) {
        const auto info = blockInfo(block, version);
        check(info.has_value());
        const EncodedBlock sent = encodeSection(info->layout, file, info->section, false);
        check(!sent.error);
        check(sent.bytes.size() == layoutSize(info->layout));
        const EncodedBlock checked = encodeSection(info->layout, file, info->section, true);
        check(!checked.error && checked.bytes == sent.bytes);
        // A file let through is held as written: every field reads back from the block as the
        // file gives it, nothing cut to its width.
        for (const LayoutField& field : layoutFields(info->layout)) {
            if (field.kind == FieldKind::Text) {
                check(readText(sent.bytes, field) ==
                      file.readString(info->section, field.key(), ""));
            } else {
                check(readInteger(sent.bytes, field) ==
                      parseInteger(file.readString(info->section, field.key(), "0")));
            }
        }
        blocks.push_back(sent.bytes);
    }

    // A backup of a controller holding those blocks, saved and loaded again.
    static Controller controller;
    controller.transfer.clearLog();
    controller.controller.received.clear();
    controller.wire.written.clear();
    const std::vector<int> order = transferredBlocks(ticked);
    bool broken = false;
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto info = blockInfo(order[i], version);
        Bytes reply = blocks[i];
        for (const LayoutField& field : layoutFields(info->layout)) {
            if (!lineBreaks || field.kind != FieldKind::Text) continue;
            for (std::size_t at = field.offset; at < field.offset + field.width; ++at) {
                if (reply[at] != ' ') continue;
                reply[at] = (at % 2) ? '\r' : '\n';
                broken = true;
            }
        }
        controller.controller.replyData[kReadBlockCommand] = reply;
        check(!controller.readBlock(order[i], info->layout, info->section));
    }
    check(controller.transfer.spacedTexts().empty() != broken);
    check(writeFileAtomically(saved, controller.transfer.fileText()));
    const ProfileFile again(saved);
    check(again.problem().empty());
    check(!checkSetupFile(again, version, ticked));
    for (std::size_t i = 0; i < order.size(); ++i) {
        const auto info = blockInfo(order[i], version);
        const EncodedBlock reloaded = encodeSection(info->layout, again, info->section, true);
        check(!reloaded.error);
        check(sameValues(info->layout, reloaded.bytes, blocks[i]));
    }
    return 0;
}
