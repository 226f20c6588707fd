#pragma once
// The element lengths the controller reports to command 9, and how the editor shows them.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/bytes.h"
#include "link/commands.h"

namespace kt6 {

inline constexpr std::uint8_t kElementLengthsCommand = code(CommandCode::ElementLengths);

// Reply words in their wire order, millimetres.
struct ElementLengths {
    std::uint16_t driver = 0;
    std::uint16_t director1 = 0;
    std::uint16_t reflector = 0;
    std::uint16_t director2 = 0;
};

// The lengths in a command-9 reply's data, as RxPayload holds it after the exchange (the
// frame's checksum byte last); nothing when fewer than the eight data bytes came.
std::optional<ElementLengths> decodeElementLengths(const Bytes& replyData);

// "0420 mm": at least four digits, leading zeros, a blank and "mm".
std::string lengthText(int mm);

// One column of the editor, left to right: its edit, its "+" and "-" buttons and their keys
// (the band keys above and below it on the front panel), and the reply word it shows.
struct EditorColumn {
    const char* edit;
    const char* up;
    const char* down;
    std::uint8_t upKey;
    std::uint8_t downKey;
    std::uint16_t ElementLengths::*word;
};
inline constexpr std::array<EditorColumn, 4> kEditorColumns = {{
    {"Dir2", "B_up_1", "B_down_1", 3, 7, &ElementLengths::director2},
    {"Dir1", "B_up_2", "B_down_2", 2, 6, &ElementLengths::director1},
    {"Driver", "B_up_3", "B_down_3", 1, 5, &ElementLengths::driver},
    {"Refl", "B_up_4", "B_down_4", 0, 4, &ElementLengths::reflector},
}};

// The column captions. With the heading reversed (HeadingMode 1) the two parasitic elements
// swap roles from 20 m up; the words shown under them stay where they are.
std::array<std::string_view, 4> editorLabels(std::int32_t headingMode, std::uint32_t kHz);

}  // namespace kt6
