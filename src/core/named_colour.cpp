#include "core/named_colour.h"

namespace kt6 {

std::string_view colourName(NamedColour c) {
    // clang-format off
    switch (c) {
        case NamedColour::clBlack: return "clBlack";
        case NamedColour::clMaroon: return "clMaroon";
        case NamedColour::clGreen: return "clGreen";
        case NamedColour::clOlive: return "clOlive";
        case NamedColour::clNavy: return "clNavy";
        case NamedColour::clPurple: return "clPurple";
        case NamedColour::clTeal: return "clTeal";
        case NamedColour::clGray: return "clGray";
        case NamedColour::clSilver: return "clSilver";
        case NamedColour::clRed: return "clRed";
        case NamedColour::clLime: return "clLime";
        case NamedColour::clYellow: return "clYellow";
        case NamedColour::clBlue: return "clBlue";
        case NamedColour::clFuchsia: return "clFuchsia";
        case NamedColour::clAqua: return "clAqua";
        case NamedColour::clWhite: return "clWhite";
        case NamedColour::clMoneyGreen: return "clMoneyGreen";
        case NamedColour::clBtnFace: return "clBtnFace";
        case NamedColour::clSkyBlue: return "clSkyBlue";
        case NamedColour::clCream: return "clCream";
    }
    // clang-format on
    return "?";
}

}  // namespace kt6
