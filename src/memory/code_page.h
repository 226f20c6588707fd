#pragma once
// The controller's texts are 8-bit characters of the Windows code page 1252, on every system:
// these map its bytes to Unicode and back without ever turning them into UTF-8.
#include <optional>
#include <string>
#include <string_view>

namespace kt6 {

// The Unicode character of a byte. The five bytes the code page leaves undefined (81, 8D, 8F,
// 90, 9D) map to the control characters of the same number, so every byte comes back.
char16_t cp1252ToUnicode(unsigned char byte);
// The byte of a character; nothing when the code page has none for it.
std::optional<unsigned char> unicodeToCp1252(char16_t c);

std::u16string cp1252ToUtf16(std::string_view bytes);
// Nothing when a character has no byte in the code page.
std::optional<std::string> utf16ToCp1252(std::u16string_view text);

}  // namespace kt6
