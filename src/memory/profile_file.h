#pragma once
// An INI file read and written with the platform's profile-file rules: a missing file or
// key reads as the default, section and key names match without regard to case, blanks
// and one pair of surrounding quotes are removed from values, the first of duplicate keys
// wins, and values are written as key=value.
//
// Writing edits the file as text: a key's own line changes, a new key goes after the last key
// of its section, a new section at the end of the file; every other byte (comments, blank
// lines, unknown sections, spacing, line ends) stays as it was. The file is replaced
// atomically, and a file that is not INI text is never written.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kt6 {

class ProfileFile {
  public:
    // Loads the file when it exists; a missing file reads as empty. A file that cannot be read
    // or is not INI text also reads as empty, and problem() says why.
    explicit ProfileFile(std::filesystem::path path);
    ~ProfileFile();
    ProfileFile(const ProfileFile&) = delete;
    ProfileFile& operator=(const ProfileFile&) = delete;

    std::string readString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // The number the value starts with, or the default when it starts with none.
    int readInt(std::string_view section, std::string_view key, int defaultValue) const;
    // Sets a key's value; false, changing nothing, for a name or value that a line cannot
    // carry (a line break or NUL anywhere, "=" in a key, "]" in a section, outer blanks on a
    // name) or when the file is not INI text. Quote a value to keep its outer blanks.
    bool writeString(std::string_view section, std::string_view key, std::string_view value);
    // The keys of a section in file order; empty when the section is missing.
    std::vector<std::string> sectionKeys(std::string_view section) const;
    std::vector<std::string> sections() const;
    // The sections whose header comes more than once (names matched without regard to case),
    // each named once as its second header writes it: reading takes only the first copy.
    std::vector<std::string> repeatedSections() const;
    bool hasSection(std::string_view section) const;
    // Whether the section has the key, names matched as readString matches them.
    bool hasKey(std::string_view section, std::string_view key) const;
    // Removes every copy of the section: its header and every line up to the next header.
    void eraseSection(std::string_view section);
    // Replaces the file atomically with the edited text (creating its directory) when anything
    // changed or it did not exist; false with a reason when that fails or the file is not INI
    // text, and then the file on disk is as it was.
    bool flush(std::string* error = nullptr);

    const std::filesystem::path& path() const { return path_; }
    bool existed() const { return existed_; }
    // Empty when the file is INI text or missing; else why it is left alone (it cannot be
    // read, or it holds a NUL byte or no section at all).
    const std::string& problem() const { return problem_; }
    // The line end new lines get in a file that has none of its own yet (LF by default).
    void setNewFileLineEnd(std::string_view lineEnd);
    // The whole text as flush would write it.
    std::string text() const;

  private:
    struct Impl;
    std::filesystem::path path_;
    std::unique_ptr<Impl> impl_;
    bool existed_ = false;
    std::string problem_;
};

// Removes surrounding blanks, then one pair of surrounding double or single quotes.
std::string trimProfileValue(std::string_view value);

// Why this text is not INI text (a NUL byte, or content but no section); empty when it is.
std::string profileTextProblem(std::string_view text);

}  // namespace kt6
