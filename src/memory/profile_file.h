#pragma once
// An INI file read and written with the platform's profile-file rules: a missing file or
// key reads as the default, section and key names match without regard to case, blanks
// and one pair of surrounding quotes are removed from values, the first of duplicate keys
// wins, and values are written as key=value.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kt6 {

class ProfileFile {
public:
    // Loads the file when it exists; a missing or unreadable file reads as empty.
    explicit ProfileFile(std::filesystem::path path);
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // The number the value starts with, or the default when it starts with none.
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;
    void writeString(std::string_view section, std::string_view key, std::string_view value);
    // The keys of a section in file order; empty when the section is missing.
    std::vector<std::string> sectionKeys(std::string_view section) const;
    std::vector<std::string> sections() const;
    bool hasSection(std::string_view section) const;
    void eraseSection(std::string_view section);
    // Writes the file (creating its directory); false with a reason when that fails.
    bool flush(std::string* error = nullptr);

    const std::filesystem::path& path() const { return path_; }
    bool existed() const { return existed_; }

private:
    struct Impl;
    std::filesystem::path path_;
    std::unique_ptr<Impl> impl_;
    bool existed_ = false;
};

// Removes surrounding blanks, then one pair of surrounding double or single quotes.
std::string trimProfileValue(std::string_view value);

}  // namespace kt6
