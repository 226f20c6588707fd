#pragma once
// The interface's settings, section "Api" of the console's settings file: whether it is
// served, where it listens and the token clients must give. kt6ctl reads the same section,
// and the same token file, to find the console and get in.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "core/api_protocol.h"

namespace kt6 {
class ProfileFile;
}

namespace kt6::api {

// Shorter tokens fall to guessing, even at the five guesses a second the console allows.
inline constexpr std::size_t kMinTokenLength = 16;
// The generated token's random bytes; it is written as twice as many hex digits.
inline constexpr std::size_t kGeneratedTokenBytes = 32;
// The generated token's file, beside the settings file.
inline constexpr const char* kTokenFileName = "api-token";

struct ApiSettings {
    bool enabled = true;
    std::string bind = "127.0.0.1";
    std::uint16_t port = kDefaultPort;
    // Token= as written; empty means the generated one.
    std::string token;
    // OpenLoopback=1: a loopback listener with no Token= serves every local account unasked.
    bool openLoopback = false;
};

// The "Api" section; a missing key takes its default, a port outside 1..65535 the default port.
ApiSettings loadApiSettings(const ProfileFile& settings);

// True for 127.0.0.0/8, ::1 and "localhost".
bool isLoopback(const std::string& address);

// Why the interface may not listen as set up (a short token, a network listener without a
// Token=); empty when it may.
std::string listenProblem(const ApiSettings& settings);

// Where the generated token is kept for the settings file at this path.
std::filesystem::path tokenFilePath(const std::filesystem::path& settingsFile);

// Who the console lets in.
struct Access {
    // Empty when clients are served without authenticating (OpenLoopback=1).
    std::string token;
    // Why the interface cannot start; the rest is meaningless when set.
    std::string problem;
};
// The console's access: Token= when set, else none for an open loopback, else the token in
// the token file, which is created (readable by this account only) when missing, not private,
// or not a token.
Access consoleAccess(const ApiSettings& settings, const std::filesystem::path& tokenFile);

// The token a client of this account gives: Token= when set, else the token file's; nothing
// when neither has one (an open console, or one that never started).
std::optional<std::string> clientToken(const ApiSettings& settings,
                                       const std::filesystem::path& tokenFile);

// Bytes from the system's own secure random source, as lower-case hex; empty when it fails.
std::string randomHex(std::size_t bytes);
// Fills out from the system's secure random source; false when it cannot.
bool secureRandomBytes(unsigned char* out, std::size_t n);
// The token file's text when it is a regular file of this account's that no other account may
// read; nothing else (why in problem, empty when the file is simply missing).
std::optional<std::string> readPrivateFile(const std::filesystem::path& path, std::string* problem);
// Writes text as a new file that only this account may read, replacing what was there (never
// through a symbolic link); false with the reason.
bool writePrivateFile(const std::filesystem::path& path, const std::string& text,
                      std::string* error);

}  // namespace kt6::api
