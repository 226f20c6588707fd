#pragma once
// Values in a memory block, walked by its layout string: single fields read and written in
// place, and a whole block to key=value pairs and back.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/bytes.h"
#include "memory/layouts.h"

namespace kt6 {

// An integer field's value: width bytes low first, read as a signed 32-bit number (so only a
// 4-byte field can come out negative); nothing when the block is too short for the field.
std::optional<std::int32_t> readInteger(std::span<const std::uint8_t> block,
                                        const LayoutField& field);
// Stores value low byte first, cut to the field's width; false when the block is too short.
bool writeInteger(std::span<std::uint8_t> block, const LayoutField& field, std::int64_t value);
// A text field's characters with every zero byte dropped; nothing when the block is too short.
std::optional<std::string> readText(std::span<const std::uint8_t> block, const LayoutField& field);
// Stores text cut to the field's width and padded with zero bytes; false when too short.
bool writeText(std::span<std::uint8_t> block, const LayoutField& field, std::string_view text);

struct FieldValue {
    std::string key;  // INI key: the name without "?", "!" kept
    std::string value;
};

struct DecodedBlock {
    std::vector<FieldValue> values;
    // False when the bytes ended before the layout did; values holds the fields read so far.
    bool complete = true;
};

// The block's fields in layout order as text; the checksum field only when asked for.
DecodedBlock decodeBlock(std::string_view layout, std::span<const std::uint8_t> bytes,
                         bool includeChecksum = false);

// The value stored under an INI key, if any.
using ValueLookup = std::function<std::optional<std::string>(std::string_view key)>;

// The block built from looked-up values: missing integers are 0, missing texts empty;
// nothing when an integer value is not a signed 32-bit decimal number.
std::optional<Bytes> encodeBlock(std::string_view layout, const ValueLookup& lookup);

// A signed 32-bit decimal number, the whole text and nothing else.
std::optional<std::int32_t> parseInteger(std::string_view text);

}  // namespace kt6
