#include <gtest/gtest.h>

#include "memory/code_page.h"

namespace kt6 {
namespace {

TEST(CodePage, EveryByteComesBackFromItsCharacter) {
    for (int b = 0; b < 256; ++b) {
        const char16_t c = cp1252ToUnicode(static_cast<unsigned char>(b));
        EXPECT_EQ(unicodeToCp1252(c), static_cast<unsigned char>(b)) << b;
    }
}

TEST(CodePage, TheEuroAndAccentsAreSingleBytes) {
    EXPECT_EQ(cp1252ToUnicode(0x80), u'\u20AC');
    EXPECT_EQ(cp1252ToUnicode(0xE8), u'\u00E8');
    EXPECT_EQ(utf16ToCp1252(u"Caff\u00E8 \u20AC"), std::string("Caff\xE8 \x80"));
    EXPECT_EQ(cp1252ToUtf16("Caff\xE8 \x80"), u"Caff\u00E8 \u20AC");
}

TEST(CodePage, CharactersOutsideTheCodePageHaveNoByte) {
    EXPECT_FALSE(unicodeToCp1252(u'\u0416'));
    EXPECT_FALSE(utf16ToCp1252(u"Ж"));
}

}  // namespace
}  // namespace kt6
