#include "memory/profile_file.h"

#include <SimpleIni.h>

#include <charconv>
#include <fstream>
#include <system_error>

namespace kt6 {

struct ProfileFile::Impl {
    // Case-insensitive names, first of duplicate keys wins, key=value without blanks.
    CSimpleIniA ini{false, true, false};
};

namespace {
constexpr std::string_view kBlanks = " \t\r\n";
}

std::string trimProfileValue(std::string_view value) {
    const auto first = value.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    value = value.substr(first, value.find_last_not_of(kBlanks) - first + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

ProfileFile::ProfileFile(std::filesystem::path path)
    : path_(std::move(path)), impl_(std::make_unique<Impl>()) {
    impl_->ini.SetSpaces(false);
    std::error_code ec;
    existed_ = std::filesystem::is_regular_file(path_, ec);
    if (existed_) impl_->ini.LoadFile(path_.c_str());
}

ProfileFile::~ProfileFile() = default;

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    const std::string s(section);
    const std::string k(key);
    const char* value = impl_->ini.GetValue(s.c_str(), k.c_str(), nullptr);
    if (!value) return std::string(defaultValue);
    return trimProfileValue(value);
}

int ProfileFile::readInt(std::string_view section, std::string_view key, int defaultValue) const {
    // As the platform's profile rules read a number: its leading digits ("1x" is 1).
    const std::string text = readString(section, key, {});
    int value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc()) return defaultValue;
    return value;
}

void ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
    const std::string s(section);
    const std::string k(key);
    const std::string v(value);
    impl_->ini.SetValue(s.c_str(), k.c_str(), v.c_str(), nullptr, true);
}

std::vector<std::string> ProfileFile::sectionKeys(std::string_view section) const {
    CSimpleIniA::TNamesDepend keys;
    const std::string s(section);
    impl_->ini.GetAllKeys(s.c_str(), keys);
    keys.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> out;
    for (const auto& entry : keys) out.emplace_back(entry.pItem);
    return out;
}

std::vector<std::string> ProfileFile::sections() const {
    CSimpleIniA::TNamesDepend names;
    impl_->ini.GetAllSections(names);
    names.sort(CSimpleIniA::Entry::LoadOrder());
    std::vector<std::string> out;
    for (const auto& entry : names) out.emplace_back(entry.pItem);
    return out;
}

bool ProfileFile::hasSection(std::string_view section) const {
    const std::string s(section);
    return impl_->ini.GetSection(s.c_str()) != nullptr;
}

void ProfileFile::eraseSection(std::string_view section) {
    const std::string s(section);
    impl_->ini.Delete(s.c_str(), nullptr);
}

bool ProfileFile::flush(std::string* error) {
    std::error_code ec;
    if (path_.has_parent_path()) std::filesystem::create_directories(path_.parent_path(), ec);
    std::string text;
    impl_->ini.Save(text, false);
    // Written beside and renamed over, so a crash mid-write never leaves half a file.
    const auto temp = path_.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out << text;
        out.flush();
        if (!out) {
            if (error) *error = "cannot write " + temp;
            return false;
        }
    }
    std::filesystem::rename(temp, path_, ec);
    if (ec) {
        if (error) *error = "cannot replace " + path_.string() + ": " + ec.message();
        std::filesystem::remove(temp, ec);
        return false;
    }
    existed_ = true;
    return true;
}

}  // namespace kt6
