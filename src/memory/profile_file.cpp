#include "memory/profile_file.h"

#include <charconv>
#include <unordered_map>

#include "memory/file_io.h"

namespace kt6 {
namespace {

constexpr std::string_view kBlanks = " \t";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
// Far beyond any settings or setup file; keeps a wrong --settings path from filling memory.
constexpr std::size_t kMaxFileBytes = 16u << 20;

std::string_view trimBlanks(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool hasAny(std::string_view s, std::string_view chars) {
    return s.find_first_of(chars) != std::string_view::npos;
}

bool hasOuterBlanks(std::string_view s) {
    return !s.empty() && (kBlanks.find(s.front()) != std::string_view::npos ||
                          kBlanks.find(s.back()) != std::string_view::npos);
}

const std::string_view kLineBreaks("\r\n\0", 3);

enum class LineKind { Other, Comment, Header, Key };

struct Line {
    std::string body;  // without its line end
    std::string end;   // "\r\n", "\n", "\r", or empty on a last line that has none
    LineKind kind = LineKind::Other;
    std::string name;            // section name of a header, key of a key line (trimmed)
    std::size_t valueStart = 0;  // key line: just past its "="
};

Line classify(std::string body, std::string end, bool firstLine) {
    Line line;
    line.body = std::move(body);
    line.end = std::move(end);
    std::string_view text = line.body;
    if (firstLine && text.starts_with(kUtf8Mark)) text.remove_prefix(kUtf8Mark.size());
    text = text.substr(std::min(text.size(), text.find_first_not_of(kBlanks)));
    if (text.empty()) return line;
    if (text.front() == ';' || text.front() == '#') {
        line.kind = LineKind::Comment;
    } else if (text.front() == '[') {
        line.kind = LineKind::Header;
        line.name = std::string(trimBlanks(text.substr(1, text.find(']') - 1)));
    } else if (const auto equals = line.body.find('='); equals != std::string::npos) {
        const std::string_view key = trimBlanks(std::string_view(line.body).substr(0, equals));
        if (!key.empty()) {
            line.kind = LineKind::Key;
            line.name = std::string(key);
            line.valueStart = equals + 1;
        }
    }
    return line;
}

std::vector<Line> splitLines(std::string_view text) {
    std::vector<Line> lines;
    while (!text.empty()) {
        const auto stop = text.find_first_of("\r\n");
        if (stop == std::string_view::npos) {
            lines.push_back(classify(std::string(text), {}, lines.empty()));
            break;
        }
        const std::size_t endSize = text.substr(stop).starts_with("\r\n") ? 2 : 1;
        lines.push_back(classify(std::string(text.substr(0, stop)),
                                 std::string(text.substr(stop, endSize)), lines.empty()));
        text.remove_prefix(stop + endSize);
    }
    return lines;
}

}  // namespace

// The file as a list of sections, each its own lines (header first); the lines before the
// first header form a nameless section no look-up reaches.
struct ProfileFile::Impl {
    struct Section {
        bool headed = false;
        std::string name;
        std::vector<Line> lines;
        // Lower-case key -> index of its first line.
        std::unordered_map<std::string, std::size_t> keys;
        std::vector<std::size_t> keyOrder;  // indices of key lines in file order
    };
    std::vector<Section> sections{Section{}};
    std::unordered_map<std::string, std::vector<std::size_t>> byName;  // lower-case name
    std::string lineEnd;  // the file's own, from its first line end
    std::string newFileLineEnd = "\n";
    bool dirty = false;

    void load(std::string_view text) {
        sections.assign(1, Section{});
        for (Line& line : splitLines(text)) {
            if (lineEnd.empty()) lineEnd = line.end;
            if (line.kind == LineKind::Header) {
                Section s;
                s.headed = true;
                s.name = line.name;
                sections.push_back(std::move(s));
            }
            sections.back().lines.push_back(std::move(line));
        }
        reindex();
    }

    void indexKeys(Section& s) {
        s.keys.clear();
        s.keyOrder.clear();
        if (!s.headed) return;
        for (std::size_t i = 0; i < s.lines.size(); ++i) {
            if (s.lines[i].kind != LineKind::Key) continue;
            s.keyOrder.push_back(i);
            s.keys.emplace(lower(s.lines[i].name), i);  // the first of duplicates stays
        }
    }

    void reindex() {
        byName.clear();
        for (std::size_t i = 0; i < sections.size(); ++i) {
            indexKeys(sections[i]);
            if (sections[i].headed) byName[lower(sections[i].name)].push_back(i);
        }
    }

    const std::vector<std::size_t>* named(std::string_view section) const {
        const auto it = byName.find(lower(section));
        return it == byName.end() ? nullptr : &it->second;
    }

    Line* find(std::string_view section, std::string_view key) {
        const auto* copies = named(section);
        if (!copies) return nullptr;
        const std::string k = lower(key);
        for (const std::size_t index : *copies) {
            Section& s = sections[index];
            if (const auto it = s.keys.find(k); it != s.keys.end()) return &s.lines[it->second];
        }
        return nullptr;
    }

    const std::string& newLineEnd() const { return lineEnd.empty() ? newFileLineEnd : lineEnd; }

    // The last line of the file gains a line end before anything is put after it.
    void endLastLine() {
        for (auto s = sections.rbegin(); s != sections.rend(); ++s) {
            if (s->lines.empty()) continue;
            if (s->lines.back().end.empty()) s->lines.back().end = newLineEnd();
            return;
        }
    }

    Line keyLine(std::string_view key, std::string_view value) const {
        Line line;
        line.body = std::string(key) + "=" + std::string(value);
        line.end = newLineEnd();
        line.kind = LineKind::Key;
        line.name = std::string(key);
        line.valueStart = key.size() + 1;
        return line;
    }

    void write(std::string_view section, std::string_view key, std::string_view value) {
        if (Line* line = find(section, key)) {
            const std::string_view old = std::string_view(line->body).substr(line->valueStart);
            // A value that already reads the same keeps its line as the user wrote it.
            if (trimProfileValue(old) == trimProfileValue(value)) return;
            // The blanks after "=" are the line's own spacing, like those before it.
            const std::size_t blanks = std::min(old.size(), old.find_first_not_of(kBlanks));
            line->body.resize(line->valueStart + blanks);
            line->body += value;
            dirty = true;
            return;
        }
        if (const auto* copies = named(section)) {
            Section& s = sections[copies->front()];
            const std::size_t at = s.keyOrder.empty() ? 1 : s.keyOrder.back() + 1;
            if (s.lines[at - 1].end.empty()) s.lines[at - 1].end = newLineEnd();
            Line line = keyLine(key, value);
            // A lone CR just before an empty LF line would read back as one CR LF, and the
            // blank line would be gone.
            if (line.end == "\r" && at < s.lines.size() && s.lines[at].body.empty() &&
                s.lines[at].end.starts_with('\n'))
                line.end = "\r\n";
            s.lines.insert(s.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
            indexKeys(s);
            dirty = true;
            return;
        }
        endLastLine();
        Section s;
        s.headed = true;
        s.name = std::string(section);
        Line header;
        header.body = "[" + s.name + "]";
        header.end = newLineEnd();
        header.kind = LineKind::Header;
        header.name = s.name;
        s.lines.push_back(std::move(header));
        s.lines.push_back(keyLine(key, value));
        sections.push_back(std::move(s));
        indexKeys(sections.back());
        byName[lower(section)].push_back(sections.size() - 1);
        dirty = true;
    }

    std::string text() const {
        std::string out;
        for (const Section& s : sections) {
            for (const Line& line : s.lines) {
                out += line.body;
                out += line.end;
            }
        }
        return out;
    }
};

std::string trimProfileValue(std::string_view value) {
    constexpr std::string_view kValueBlanks = " \t\r\n";
    const auto first = value.find_first_not_of(kValueBlanks);
    if (first == std::string_view::npos) return {};
    value = value.substr(first, value.find_last_not_of(kValueBlanks) - first + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

std::string profileTextProblem(std::string_view text) {
    if (text.find('\0') != std::string_view::npos) return "holds a NUL byte, so it is not INI text";
    bool content = false;
    for (const Line& line : splitLines(text)) {
        if (line.kind == LineKind::Header) return {};
        if (line.kind == LineKind::Key) content = true;
        if (line.kind == LineKind::Other && !trimBlanks(line.body).empty()) content = true;
    }
    // Text with no section at all is some other kind of file; sections added at its end would
    // damage it.
    if (content) return "has no [section], so it is not INI text";
    return {};
}

ProfileFile::ProfileFile(std::filesystem::path path)
    : path_(std::move(path)), impl_(std::make_unique<Impl>()) {
    std::string reason;
    const auto text = readWholeFile(path_, kMaxFileBytes, &reason);
    existed_ = text.has_value() || !reason.empty();
    if (!text) {
        problem_ = reason;
        return;
    }
    problem_ = profileTextProblem(*text);
    // A file we will not write is not read either: the caller runs on its defaults rather
    // than on whatever part of it happened to parse.
    if (problem_.empty()) impl_->load(*text);
}

ProfileFile::~ProfileFile() = default;

std::string ProfileFile::readString(std::string_view section, std::string_view key,
                                    std::string_view defaultValue) const {
    const Line* line = impl_->find(section, key);
    if (!line) return std::string(defaultValue);
    return trimProfileValue(std::string_view(line->body).substr(line->valueStart));
}

int ProfileFile::readInt(std::string_view section, std::string_view key, int defaultValue) const {
    // As the platform's profile rules read a number: its leading digits ("1x" is 1).
    const std::string text = readString(section, key, {});
    int value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc()) return defaultValue;
    return value;
}

bool ProfileFile::writeString(std::string_view section, std::string_view key,
                              std::string_view value) {
    if (!problem_.empty()) return false;
    // Each of these would read back as another line, another key or another section.
    if (hasAny(section, kLineBreaks) || hasAny(section, "]") || hasOuterBlanks(section))
        return false;
    if (key.empty() || hasAny(key, kLineBreaks) || hasAny(key, "=") || hasOuterBlanks(key) ||
        key.front() == '[' || key.front() == ';' || key.front() == '#')
        return false;
    if (hasAny(value, kLineBreaks)) return false;
    impl_->write(section, key, value);
    return true;
}

std::vector<std::string> ProfileFile::sectionKeys(std::string_view section) const {
    std::vector<std::string> out;
    const auto* copies = impl_->named(section);
    if (!copies) return out;
    std::unordered_map<std::string, bool> seen;
    for (const std::size_t index : *copies) {
        const auto& s = impl_->sections[index];
        for (const std::size_t i : s.keyOrder) {
            if (seen.emplace(lower(s.lines[i].name), true).second) out.push_back(s.lines[i].name);
        }
    }
    return out;
}

std::vector<std::string> ProfileFile::sections() const {
    std::vector<std::string> out;
    std::unordered_map<std::string, bool> seen;
    for (const auto& s : impl_->sections) {
        if (s.headed && seen.emplace(lower(s.name), true).second) out.push_back(s.name);
    }
    return out;
}

std::vector<std::string> ProfileFile::repeatedSections() const {
    std::vector<std::string> out;
    std::unordered_map<std::string, int> seen;
    for (const auto& s : impl_->sections) {
        if (s.headed && ++seen[lower(s.name)] == 2) out.push_back(s.name);
    }
    return out;
}

bool ProfileFile::hasSection(std::string_view section) const {
    return impl_->named(section) != nullptr;
}

bool ProfileFile::hasKey(std::string_view section, std::string_view key) const {
    return impl_->find(section, key) != nullptr;
}

void ProfileFile::eraseSection(std::string_view section) {
    if (!problem_.empty() || !hasSection(section)) return;
    const std::string name = lower(section);
    std::erase_if(impl_->sections,
                  [&](const Impl::Section& s) { return s.headed && lower(s.name) == name; });
    impl_->reindex();
    impl_->dirty = true;
}

bool ProfileFile::flush(std::string* error) {
    if (!problem_.empty()) {
        if (error) *error = path_.string() + " " + problem_ + "; it is left as it was";
        return false;
    }
    if (existed_ && !impl_->dirty) return true;
    if (!replaceFileAtomically(path_, impl_->text(), error)) return false;
    existed_ = true;
    impl_->dirty = false;
    return true;
}

void ProfileFile::setNewFileLineEnd(std::string_view lineEnd) {
    impl_->newFileLineEnd = std::string(lineEnd);
}

std::string ProfileFile::text() const {
    return impl_->text();
}

}  // namespace kt6
