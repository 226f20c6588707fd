// Whole-file reads and atomic replacement on Windows. The replacement writes a temporary file
// beside the target, flushes it, and puts it in place with ReplaceFileW (which keeps the old
// file's attributes and access rights) or MoveFileExW(MOVEFILE_REPLACE_EXISTING |
// MOVEFILE_WRITE_THROUGH); a reparse point (a symbolic link or junction) is what POSIX calls a
// link.
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <system_error>
#include <utility>

#include "memory/file_io.h"

namespace kt6 {
namespace {

std::string systemText(DWORD code) {
    return std::system_category().message(static_cast<int>(code));
}

// Closes a file handle on every path out.
class Handle {
  public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle& operator=(Handle&& other) noexcept {
        if (this != &other) {
            reset();
            h_ = std::exchange(other.h_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    // Closes it now; false when the close reported an error.
    bool reset() {
        if (!valid()) return true;
        const BOOL closed = ::CloseHandle(h_);
        h_ = INVALID_HANDLE_VALUE;
        return closed != FALSE;
    }

  private:
    HANDLE h_;
};

bool missing(DWORD code) {
    return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND;
}

// Where a replacement lands, or why it may not.
struct Landing {
    std::filesystem::path folder;
    std::filesystem::path target;
    std::string problem;
};

Landing landingOf(const std::filesystem::path& target, bool createFolder) {
    Landing out;
    out.target = target;
    out.folder = target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    const auto name = target.filename();
    if (name.empty() || name == "." || name == "..") {
        out.problem = "names a folder, not a file";
        return out;
    }
    if (createFolder) {
        std::error_code ec;
        std::filesystem::create_directories(out.folder, ec);
        if (ec) {
            out.problem = "cannot create its folder: " + ec.message();
            return out;
        }
    }
    const DWORD attributes = ::GetFileAttributesW(out.folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD code = ::GetLastError();
        out.problem = missing(code) ? "its folder " + out.folder.string() + " does not exist"
                                    : "cannot open its folder: " + systemText(code);
    } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        out.problem = out.folder.string() + " is not a folder";
    }
    return out;
}

// What stands at the target now, a link itself and not what it names; false when nothing does.
bool occupant(const Landing& at, DWORD& attributes) {
    attributes = ::GetFileAttributesW(at.target.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES;
}

std::string occupantProblem(bool hadOld, DWORD attributes) {
    if (!hadOld) return {};
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) return "is a symbolic link";
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return "is not a regular file";
    return {};
}

bool writeAll(HANDLE file, std::string_view text) {
    while (!text.empty()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(text.size(), 1u << 30));
        DWORD written = 0;
        if (!::WriteFile(file, text.data(), chunk, &written, nullptr)) return false;
        text.remove_prefix(written);
    }
    return true;
}

}  // namespace

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes,
                                         std::string* reason) {
    // Others may keep reading and writing it meanwhile, as the settings file's editor does.
    Handle file(::CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        const DWORD code = ::GetLastError();
        if (missing(code)) return std::nullopt;
        // A folder cannot be opened as a file at all.
        const DWORD attributes = ::GetFileAttributesW(path.c_str());
        if (reason) {
            *reason = attributes != INVALID_FILE_ATTRIBUTES &&
                              (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
                          ? "is not a regular file"
                          : "cannot be read: " + systemText(code);
        }
        return std::nullopt;
    }
    LARGE_INTEGER size{};
    if (::GetFileType(file.get()) != FILE_TYPE_DISK || !::GetFileSizeEx(file.get(), &size)) {
        if (reason) *reason = "is not a regular file";
        return std::nullopt;
    }
    if (static_cast<std::uintmax_t>(size.QuadPart) > maxBytes) {
        if (reason) *reason = "is too large (" + std::to_string(size.QuadPart) + " bytes)";
        return std::nullopt;
    }
    std::string text;
    char buffer[16384];
    for (;;) {
        DWORD got = 0;
        if (!::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
            if (reason) *reason = "cannot be read: " + systemText(::GetLastError());
            return std::nullopt;
        }
        if (got == 0) break;
        text.append(buffer, got);
        if (text.size() > maxBytes) {
            if (reason) *reason = "is too large";
            return std::nullopt;
        }
    }
    return text;
}

std::string strictReplaceProblem(const std::filesystem::path& path) {
    const Landing at = landingOf(path, false);
    if (!at.problem.empty()) return path.string() + ": " + at.problem;
    DWORD attributes = 0;
    const bool hadOld = occupant(at, attributes);
    if (std::string why = occupantProblem(hadOld, attributes); !why.empty())
        return path.string() + " " + why;
    return {};
}

bool replaceFileAtomically(const std::filesystem::path& path, std::string_view text,
                           std::string* error, ReplacePolicy policy) {
    const bool strict = policy == ReplacePolicy::Strict;
    const auto fail = [&](const std::string& why) {
        if (error) *error = path.string() + ": " + why;
        return false;
    };
    const Landing at = landingOf(strict ? path : followLinks(path), !strict);
    if (!at.problem.empty()) return fail(at.problem);
    DWORD attributes = 0;
    const bool hadOld = occupant(at, attributes);
    if (std::string why = occupantProblem(hadOld, attributes); !why.empty()) {
        if (error) *error = path.string() + " " + why;
        return false;
    }

    // A name of our own beside the file: the move must not cross volumes, and two writers
    // must not share one temporary file.
    static std::atomic<unsigned> counter{0};
    std::filesystem::path temp;
    Handle file(INVALID_HANDLE_VALUE);
    DWORD code = 0;
    for (int attempt = 0; attempt < 100 && !file.valid(); ++attempt) {
        std::wstring name = L".";
        name.append(at.target.filename().wstring()).append(L".");
        name.append(std::to_wstring(::GetCurrentProcessId())).append(L".");
        name.append(std::to_wstring(counter++)).append(L".tmp");
        temp = at.folder / name;
        // Not shared while it is written: nothing reads half a file.
        file = Handle(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        code = file.valid() ? 0 : ::GetLastError();
        if (!file.valid() && code != ERROR_FILE_EXISTS && code != ERROR_ALREADY_EXISTS) break;
    }
    if (!file.valid()) return fail("cannot create a temporary file beside it: " + systemText(code));
    const auto abandon = [&](const std::string& why) {
        const DWORD cause = ::GetLastError();
        file.reset();
        ::DeleteFileW(temp.c_str());
        return fail(why + ": " + systemText(cause));
    };
    if (!writeAll(file.get(), text)) return abandon("cannot write");
    if (!::FlushFileBuffers(file.get())) return abandon("cannot flush to disk");
    if (!file.reset()) {
        const DWORD cause = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        return fail("cannot write: " + systemText(cause));
    }
    // The settings file keeps its attributes and access rights through ReplaceFileW. A backup
    // is moved into place: a move replaces a link planted since the check above, never what
    // it names.
    const bool replaced =
        hadOld && !strict
            ? ::ReplaceFileW(at.target.c_str(), temp.c_str(), nullptr,
                             REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != FALSE
            : ::MoveFileExW(temp.c_str(), at.target.c_str(),
                            MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!replaced) {
        const DWORD cause = ::GetLastError();
        ::DeleteFileW(temp.c_str());
        return fail("cannot replace: " + systemText(cause));
    }
    return true;
}

}  // namespace kt6
