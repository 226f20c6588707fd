#include "radio/logger_datagrams.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace kt6 {
namespace {

// --- N1MM: a small XML document of one element holding text-only child elements ---

// Longer than any RadioInfo; a bigger datagram is not one worth reading as text.
constexpr std::size_t kMaxXml = 16384;
// 11 digits of tens of Hz is 100 GHz already.
constexpr std::size_t kMaxFreqDigits = 11;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

// The root element's name, after an optional byte-order mark, blanks and XML declaration.
std::optional<std::string_view> rootName(std::string_view& text) {
    if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
    text = trimmed(text);
    if (text.starts_with("<?xml")) {
        const auto end = text.find("?>");
        if (end == std::string_view::npos) return std::nullopt;
        text = trimmed(text.substr(end + 2));
    }
    if (text.size() < 3 || text.front() != '<') return std::nullopt;
    std::size_t n = 1;
    while (n < text.size() && (std::isalnum(static_cast<unsigned char>(text[n])) ||
                               text[n] == '_' || text[n] == '-')) {
        ++n;
    }
    if (n == 1 || n == text.size() || (text[n] != '>' && !isBlank(text[n]))) return std::nullopt;
    return text.substr(1, n - 1);
}

// The text of the first <name>...</name> child; nothing when absent or unclosed.
std::optional<std::string_view> childText(std::string_view body, std::string_view name) {
    const std::string open = "<" + std::string(name) + ">";
    const std::string close = "</" + std::string(name) + ">";
    const auto at = body.find(open);
    if (at == std::string_view::npos) return std::nullopt;
    const auto from = at + open.size();
    const auto end = body.find(close, from);
    if (end == std::string_view::npos) return std::nullopt;
    const std::string_view text = body.substr(from, end - from);
    if (text.find('<') != std::string_view::npos) return std::nullopt;
    return trimmed(text);
}

std::optional<std::uint64_t> digits(std::string_view s, std::size_t maxDigits) {
    if (s.empty() || s.size() > maxDigits) return std::nullopt;
    std::uint64_t v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return v;
}

std::optional<bool> truth(std::string_view s) {
    std::string lower(s);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (lower == "true" || lower == "1") return true;
    if (lower == "false" || lower == "0") return false;
    return std::nullopt;
}

// --- WSJT-X: QDataStream, big-endian ---

class Reader {
  public:
    explicit Reader(std::span<const std::uint8_t> bytes) : b_(bytes) {}
    std::optional<std::uint64_t> number(std::size_t size) {
        if (b_.size() - at_ < size) return std::nullopt;
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < size; ++i) v = (v << 8) | b_[at_ + i];
        at_ += size;
        return v;
    }
    std::optional<bool> flag() {
        const auto v = number(1);
        if (!v) return std::nullopt;
        return *v != 0;
    }
    // A QByteArray: a 32-bit length, 0xFFFFFFFF for a null array, then its bytes.
    std::optional<std::string> utf8() {
        const auto size = number(4);
        if (!size) return std::nullopt;
        if (*size == 0xFFFFFFFFu) return std::string();
        if (*size > b_.size() - at_) return std::nullopt;
        std::string s(reinterpret_cast<const char*>(b_.data() + at_), *size);
        at_ += *size;
        return s;
    }

  private:
    std::span<const std::uint8_t> b_;
    std::size_t at_ = 0;
};

enum WsjtxType : std::uint32_t { kHeartbeat = 0, kStatus = 1, kClose = 6 };

}  // namespace

std::optional<LoggerReport> decodeN1mmDatagram(std::span<const std::uint8_t> bytes) {
    if (bytes.empty() || bytes.size() > kMaxXml) return std::nullopt;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const auto root = rootName(text);
    if (!root) return std::nullopt;
    const std::string close = "</" + std::string(*root) + ">";
    if (!trimmed(text).ends_with(close)) return std::nullopt;
    LoggerReport report;
    if (*root != "RadioInfo") return report;  // Other
    const std::string_view body = text.substr(0, text.size() - close.size());
    const auto freq = childText(body, "Freq");
    if (!freq) return std::nullopt;
    const auto tensOfHz = digits(*freq, kMaxFreqDigits);
    if (!tensOfHz) return std::nullopt;
    report.kind = LoggerReport::Kind::Radio;
    report.hz = *tensOfHz * 10;
    // A logger with one radio may leave the number out: it is radio 1.
    report.radioNumber = 1;
    if (const auto nr = childText(body, "RadioNr")) {
        const auto n = digits(*nr, 2);
        if (!n || *n == 0) return std::nullopt;
        report.radioNumber = static_cast<int>(*n);
    }
    if (const auto tx = childText(body, "IsTransmitting")) {
        const auto on = truth(*tx);
        if (!on) return std::nullopt;
        report.transmitting = *on;
    }
    if (const auto app = childText(body, "app")) report.sender = std::string(app->substr(0, 32));
    return report;
}

std::optional<LoggerReport> decodeWsjtxDatagram(std::span<const std::uint8_t> bytes) {
    Reader in(bytes);
    const auto magic = in.number(4);
    const auto schema = in.number(4);
    const auto type = in.number(4);
    if (!magic || *magic != kWsjtxMagic || !schema || (*schema != 2 && *schema != 3) || !type) {
        return std::nullopt;
    }
    auto id = in.utf8();
    if (!id) return std::nullopt;
    LoggerReport report;
    report.sender = id->substr(0, 64);
    switch (*type) {
        case kHeartbeat:
            report.kind = LoggerReport::Kind::Alive;
            return report;
        case kClose:
            report.kind = LoggerReport::Kind::Leaving;
            return report;
        case kStatus:
            break;
        default:
            return report;  // Other
    }
    const auto hz = in.number(8);
    // Mode, DX call, report and Tx mode come before the two flags; later fields (added over the
    // schema's life) are not needed.
    for (int i = 0; i < 4 && hz; ++i) {
        if (!in.utf8()) return std::nullopt;
    }
    const auto txEnabled = in.flag();
    const auto transmitting = in.flag();
    if (!hz || !txEnabled || !transmitting) return std::nullopt;
    report.kind = LoggerReport::Kind::Radio;
    report.hz = *hz;
    report.transmitting = *transmitting;
    return report;
}

}  // namespace kt6
