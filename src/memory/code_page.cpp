#include "memory/code_page.h"

namespace kt6 {

namespace {
// 0x80..0x9F; the rest of the code page is ISO 8859-1.
constexpr char16_t kHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
}  // namespace

char16_t cp1252ToUnicode(unsigned char byte) {
    if (byte >= 0x80 && byte <= 0x9F) return kHigh[byte - 0x80];
    return byte;
}

std::optional<unsigned char> unicodeToCp1252(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (unsigned i = 0; i < 32; ++i) {
        if (kHigh[i] == c) return static_cast<unsigned char>(0x80 + i);
    }
    return std::nullopt;
}

std::u16string cp1252ToUtf16(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    for (char b : bytes) out.push_back(cp1252ToUnicode(static_cast<unsigned char>(b)));
    return out;
}

std::optional<std::string> utf16ToCp1252(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) {
        const auto b = unicodeToCp1252(c);
        if (!b) return std::nullopt;
        out.push_back(static_cast<char>(*b));
    }
    return out;
}

}  // namespace kt6
