#include "core/api_settings.h"

#include <algorithm>
#include <cctype>

#include "memory/profile_file.h"

namespace kt6::api {

namespace {

bool isGeneratedToken(const std::string& text) {
    return text.size() == 2 * kGeneratedTokenBytes &&
           std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isxdigit(c); });
}

// The file's first line: an editor may have added a line end.
std::string firstLine(std::string text) {
    text.erase(
        std::find_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }),
        text.end());
    return text;
}

}  // namespace

ApiSettings loadApiSettings(const ProfileFile& settings) {
    ApiSettings s;
    s.enabled = settings.readInt("Api", "Enabled", 1) != 0;
    s.bind = settings.readString("Api", "Bind", s.bind);
    if (s.bind.empty()) s.bind = "127.0.0.1";
    const int port = settings.readInt("Api", "Port", kDefaultPort);
    if (port >= 1 && port <= 65535) s.port = static_cast<std::uint16_t>(port);
    s.token = settings.readString("Api", "Token", "");
    s.openLoopback = settings.readInt("Api", "OpenLoopback", 0) == 1;
    return s;
}

bool isLoopback(const std::string& address) {
    return address == "localhost" || address == "::1" || address.rfind("127.", 0) == 0;
}

std::string listenProblem(const ApiSettings& settings) {
    if (!settings.token.empty() && settings.token.size() < kMinTokenLength) {
        return "the token in [Api] is shorter than " + std::to_string(kMinTokenLength) +
               " characters (Token=)";
    }
    // A station elsewhere on the network must be given the token on purpose.
    if (!isLoopback(settings.bind) && settings.token.empty())
        return "listening on " + settings.bind + " needs a token (Token= in [Api])";
    return {};
}

std::string randomHex(std::size_t bytes) {
    std::string raw(bytes, '\0');
    if (!secureRandomBytes(reinterpret_cast<unsigned char*>(raw.data()), bytes)) return {};
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        hex += kDigits[b >> 4];
        hex += kDigits[b & 15];
    }
    return hex;
}

std::filesystem::path tokenFilePath(const std::filesystem::path& settingsFile) {
    // A bare name ("--settings skarnel.ini") has no folder of its own: the one it is read from.
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(settingsFile, ec);
    return (ec ? settingsFile : absolute).parent_path() / kTokenFileName;
}

Access consoleAccess(const ApiSettings& settings, const std::filesystem::path& tokenFile) {
    if (const std::string problem = listenProblem(settings); !problem.empty()) return {{}, problem};
    if (!settings.token.empty()) return {settings.token, {}};
    if (settings.openLoopback) return {};
    std::string why;
    if (const auto text = readPrivateFile(tokenFile, &why)) {
        if (const std::string token = firstLine(*text); isGeneratedToken(token)) return {token, {}};
    }
    // Missing, readable by others, or not ours: a new one, so a token others may have read is
    // no longer any use to them.
    const std::string token = randomHex(kGeneratedTokenBytes);
    if (token.empty()) return {{}, "the system's random source cannot make a token"};
    std::string error;
    if (!writePrivateFile(tokenFile, token + "\n", &error)) {
        return {{}, "cannot keep the generated token: " + error};
    }
    return {token, {}};
}

std::optional<std::string> clientToken(const ApiSettings& settings,
                                       const std::filesystem::path& tokenFile) {
    if (!settings.token.empty()) return settings.token;
    std::string why;
    const auto text = readPrivateFile(tokenFile, &why);
    if (!text) return std::nullopt;
    const std::string token = firstLine(*text);
    if (!isGeneratedToken(token)) return std::nullopt;
    return token;
}

}  // namespace kt6::api
