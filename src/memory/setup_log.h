#pragma once
// The setup log's look-ups and the INI side of the block codec: values picked out of the log's
// text, blocks built from an INI section with every value checked, and text values written so
// that INI reading gives them back exactly, line breaks excepted.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/bytes.h"

namespace kt6 {

class ProfileFile;

// The run of decimal digits right after the first name + "=" in the log; 0 when the name is
// missing, the run is empty or starts with "-", or the number is too large.
std::int32_t LogInteger(std::string_view log, std::string_view name);
// The characters after the first name + "=" up to the next CR (or the end); empty when missing.
std::string LogText(std::string_view log, std::string_view name);

// A text value as an INI line must carry it: inside double quotes when it has outer blanks or
// begins and ends with the same quote character (reading would strip those), else unchanged.
std::string quoteIniText(std::string_view text);

// A text value with each CR and LF made a space, since either would end its INI line early and
// what follows would read as a key or section of its own; every other byte stays. True when
// anything was replaced.
bool spaceLineBreaks(std::string& text);

// The numbers a field of this width holds as the codec reads it back: 1-, 2- and 3-byte fields
// are unsigned (0..255, 0..65535, ...), a 4-byte field is a signed 32-bit number.
bool fitsFieldWidth(std::int64_t value, int width);
std::string fieldRangeText(int width);

struct EncodeError {
    enum class Kind { NotInteger, DoesNotFit, TextTooLong } kind = Kind::NotInteger;
    std::string section;
    std::string key;
    std::string value;
    int width = 0;
};

// What the operator reads about a value that cannot go into its block.
std::string encodeErrorText(const EncodeError& error);

struct EncodedBlock {
    Bytes bytes;
    std::optional<EncodeError> error;  // set: bytes is not to be sent
};

// Builds a block from a section, item by item: integers from the key named as the item (a "!"
// mark included) with default "0", texts from the name without "?" with an empty default, cut
// to the width and padded with zero bytes. checkFit refuses instead what the controller would
// not hold as written: an integer outside its field's range, a text longer than its field.
EncodedBlock encodeSection(std::string_view layout, const ProfileFile& source,
                           std::string_view section, bool checkFit);

}  // namespace kt6
