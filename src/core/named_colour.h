#pragma once
// The toolkit's named colours the console paints with, each with its RGB value, in one place.
#include <cstdint>
#include <string_view>

namespace kt6 {

// The tables here read best as tables.
// clang-format off
enum class NamedColour {
    clBlack, clMaroon, clGreen, clOlive, clNavy, clPurple, clTeal, clGray, clSilver, clRed,
    clLime, clYellow, clBlue, clFuchsia, clAqua, clWhite, clMoneyGreen, clBtnFace, clSkyBlue,
    clCream
};

// 0xRRGGBB of a named colour.
constexpr std::uint32_t rgb(NamedColour c) {
    switch (c) {
        case NamedColour::clBlack: return 0x000000;
        case NamedColour::clMaroon: return 0x800000;
        case NamedColour::clGreen: return 0x008000;
        case NamedColour::clOlive: return 0x808000;
        case NamedColour::clNavy: return 0x000080;
        case NamedColour::clPurple: return 0x800080;
        case NamedColour::clTeal: return 0x008080;
        case NamedColour::clGray: return 0x808080;
        case NamedColour::clSilver: return 0xC0C0C0;
        case NamedColour::clRed: return 0xFF0000;
        case NamedColour::clLime: return 0x00FF00;
        case NamedColour::clYellow: return 0xFFFF00;
        case NamedColour::clBlue: return 0x0000FF;
        case NamedColour::clFuchsia: return 0xFF00FF;
        case NamedColour::clAqua: return 0x00FFFF;
        case NamedColour::clWhite: return 0xFFFFFF;
        case NamedColour::clMoneyGreen: return 0xC0DCC0;
        case NamedColour::clBtnFace: return 0xF0F0F0;
        case NamedColour::clSkyBlue: return 0xA6CAF0;
        case NamedColour::clCream: return 0xFFFBF0;
    }
    return 0;
}
// clang-format on

std::string_view colourName(NamedColour c);

}  // namespace kt6
