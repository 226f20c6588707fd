#include "sim/memory_file.h"

#include <system_error>
#include <vector>

#include "memory/block_codec.h"
#include "memory/profile_file.h"

namespace kt6::sim {

namespace {
// Reading a value drops its outer blanks and one pair of quotes; a text that has either
// goes quoted, so it comes back as it was.
std::string iniValue(const std::string& value) {
    if (value.empty()) return value;
    const auto edge = [](char c) { return c == ' ' || c == '\t' || c == '"' || c == '\''; };
    if (edge(value.front()) || edge(value.back())) return '"' + value + '"';
    return value;
}
}  // namespace

std::string memorySection(int unit, const std::string& blockSection) {
    return unit == 0 ? blockSection : "Unit" + std::to_string(unit) + "." + blockSection;
}

bool loadMemoryFile(Controller& controller, const std::filesystem::path& path, std::string* error) {
    const ProfileFile file(path);
    // All or nothing: a file that fails half-way must not leave a mix of old and new blocks.
    struct Loaded {
        int unit;
        int block;
        Bytes bytes;
    };
    std::vector<Loaded> loaded;
    const std::uint16_t version = firmwareVersion(controller.config().firmware);
    for (int unit = 0; unit < controller.unitCount(); ++unit) {
        for (int block = 0; block < kBlockCount; ++block) {
            const auto info = blockInfo(block, version);
            if (!info) continue;
            const std::string section = memorySection(unit, info->section);
            if (!file.hasSection(section)) continue;
            auto bytes =
                encodeBlock(info->layout, [&](std::string_view key) -> std::optional<std::string> {
                    // A key the file lacks reads as 0 or empty text, as in a setup file.
                    const std::string value = file.readString(section, key, "\x01");
                    if (value == "\x01") return std::nullopt;
                    return value;
                });
            if (!bytes) {
                if (error)
                    *error = path.string() + ": a value in [" + section + "] is not a number";
                return false;
            }
            loaded.push_back({unit, block, std::move(*bytes)});
        }
    }
    for (const auto& l : loaded) controller.memory(l.unit).write(l.block, l.bytes);
    return true;
}

bool saveMemoryFile(const Controller& controller, const std::filesystem::path& path,
                    std::string* error) {
    std::filesystem::path temporary = path;
    temporary += ".new";
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    {
        ProfileFile file(temporary);
        const std::uint16_t version = firmwareVersion(controller.config().firmware);
        for (int unit = 0; unit < controller.unitCount(); ++unit) {
            for (int block = 0; block < kBlockCount; ++block) {
                const auto info = blockInfo(block, version);
                const auto bytes = controller.memory(unit).read(block);
                if (!info || !bytes) continue;
                const std::string section = memorySection(unit, info->section);
                for (const auto& field : decodeBlock(info->layout, *bytes, true).values)
                    file.writeString(section, field.key, iniValue(field.value));
            }
        }
        if (!file.flush(error)) return false;
    }
    std::error_code code;
    std::filesystem::rename(temporary, path, code);
    if (code) {
        if (error) *error = path.string() + ": " + code.message();
        return false;
    }
    return true;
}

}  // namespace kt6::sim
