// Settings reader and writer on any file and any edits: a file that is not INI text is
// never written; otherwise loading and saving unchanged gives the same bytes, written keys
// read back, and every line not meant to change survives byte for byte.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "memory/profile_file.h"

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

std::string lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

std::string trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

std::filesystem::path scratchPath() {
    // A memory file system keeps the atomic replace's flush to disk cheap.
    const std::filesystem::path dir =
        std::filesystem::exists("/dev/shm") ? "/dev/shm" : std::filesystem::temp_directory_path();
    return dir / ("kt6-fuzz-profile-" + std::to_string(::getpid()) + ".ini");
}

void put(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string get(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct TextLine {
    std::string body, end;
};

std::vector<TextLine> lines(const std::string& text) {
    std::vector<TextLine> out;
    std::size_t at = 0;
    while (at < text.size()) {
        const auto stop = text.find_first_of("\r\n", at);
        if (stop == std::string::npos) {
            out.push_back({text.substr(at), {}});
            break;
        }
        const std::size_t n = text.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
        out.push_back({text.substr(at, stop - at), text.substr(stop, n)});
        at = stop + n;
    }
    return out;
}

// The lines an edit may touch are dropped: key lines of written keys and headers of sections
// the edits created; what is left must match exactly.
std::vector<TextLine> untouched(const std::string& text, const std::set<std::string>& keys,
                                const std::set<std::string>& oldSections) {
    std::vector<TextLine> out;
    for (TextLine& line : lines(text)) {
        const std::string t = trim(line.body);
        if (!t.empty() && t.front() == '[') {
            const std::string name = lower(trim(t.substr(1, t.find(']') - 1)));
            if (!oldSections.contains(name)) continue;
        } else if (const auto eq = line.body.find('='); eq != std::string::npos) {
            if (keys.contains(lower(trim(line.body.substr(0, eq))))) continue;
        }
        out.push_back(std::move(line));
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static const std::filesystem::path path = scratchPath();
    const std::string original = in.ConsumeRandomLengthString(2048);
    put(path, original);

    kt6::ProfileFile file(path);
    if (!file.problem().empty()) {
        check(!file.writeString("General", "Serialport", "1"));
        check(!file.flush());
        check(get(path) == original);
        return 0;
    }
    check(file.text() == original);

    std::map<std::pair<std::string, std::string>, std::string> before;
    std::set<std::string> oldSections;
    const auto names = file.sections();
    for (const auto& section : names) {
        oldSections.insert(lower(section));
        for (const auto& key : file.sectionKeys(section))
            before.emplace(std::make_pair(lower(section), lower(key)),
                           file.readString(section, key, "\x01"));
    }

    std::map<std::pair<std::string, std::string>, std::pair<std::string, std::string>> written;
    std::set<std::string> writtenKeys;
    while (in.remaining_bytes() > 0 && written.size() < 8) {
        std::string section =
            in.ConsumeBool() && !names.empty()
                ? names[in.ConsumeIntegralInRange<std::size_t>(0, names.size() - 1)]
                : in.ConsumeRandomLengthString(12);
        std::string key = in.ConsumeRandomLengthString(12);
        if (in.ConsumeBool()) {
            const auto keys = file.sectionKeys(section);
            if (!keys.empty())
                key = keys[in.ConsumeIntegralInRange<std::size_t>(0, keys.size() - 1)];
        }
        const std::string value = in.ConsumeRandomLengthString(24);
        if (!file.writeString(section, key, value)) continue;
        written[{lower(section), lower(key)}] = {section, kt6::trimProfileValue(value)};
        writtenKeys.insert(lower(key));
        check(file.readString(section, key, "\x01") == kt6::trimProfileValue(value));
    }

    check(file.flush());
    check(get(path) == file.text());
    kt6::ProfileFile again(path);
    check(again.problem().empty());
    check(again.text() == file.text());
    for (const auto& [name, value] : written)
        check(again.readString(value.first, name.second, "\x01") == value.second);
    for (const auto& [name, value] : before) {
        if (!written.contains(name))
            check(again.readString(name.first, name.second, "\x01") == value);
    }

    const auto old = untouched(original, writtenKeys, oldSections);
    const auto now = untouched(again.text(), writtenKeys, oldSections);
    check(old.size() == now.size());
    for (std::size_t i = 0; i < old.size(); ++i) {
        check(old[i].body == now[i].body);
        // Only a last line that had no line end may gain one.
        check(old[i].end == now[i].end || (old[i].end.empty() && i + 1 == old.size()));
    }
    return 0;
}
