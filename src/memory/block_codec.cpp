#include "memory/block_codec.h"

#include <charconv>

namespace kt6 {
namespace {

// Written so that no offset and width, however large, can wrap around past the check.
bool fits(std::size_t blockSize, const LayoutField& field) {
    return field.offset <= blockSize && field.width <= blockSize - field.offset;
}

}  // namespace

std::optional<std::int32_t> readInteger(std::span<const std::uint8_t> block,
                                        const LayoutField& field) {
    if (!fits(block.size(), field)) return std::nullopt;
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < field.width && i < 4; ++i)
        value |= static_cast<std::uint32_t>(block[field.offset + i]) << (8 * i);
    return static_cast<std::int32_t>(value);
}

bool writeInteger(std::span<std::uint8_t> block, const LayoutField& field, std::int64_t value) {
    if (!fits(block.size(), field)) return false;
    auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < field.width; ++i) {
        block[field.offset + i] = static_cast<std::uint8_t>(bits & 0xFF);
        bits >>= 8;
    }
    return true;
}

std::optional<std::string> readText(std::span<const std::uint8_t> block, const LayoutField& field) {
    if (!fits(block.size(), field)) return std::nullopt;
    std::string text;
    for (std::size_t i = 0; i < field.width; ++i) {
        const std::uint8_t b = block[field.offset + i];
        if (b != 0) text.push_back(static_cast<char>(b));
    }
    return text;
}

bool writeText(std::span<std::uint8_t> block, const LayoutField& field, std::string_view text) {
    if (!fits(block.size(), field)) return false;
    for (std::size_t i = 0; i < field.width; ++i)
        block[field.offset + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
    return true;
}

DecodedBlock decodeBlock(std::string_view layout, std::span<const std::uint8_t> bytes,
                         bool includeChecksum) {
    DecodedBlock out;
    for (const auto& field : layoutFields(layout)) {
        if (!fits(bytes.size(), field)) {
            out.complete = false;
            break;
        }
        if (field.kind == FieldKind::Text) {
            out.values.push_back({std::string(field.key()), *readText(bytes, field)});
        } else if (field.kind == FieldKind::Integer || includeChecksum) {
            out.values.push_back(
                {std::string(field.key()), std::to_string(*readInteger(bytes, field))});
        }
    }
    return out;
}

std::optional<Bytes> encodeBlock(std::string_view layout, const ValueLookup& lookup) {
    Bytes block(layoutSize(layout), 0);
    for (const auto& field : layoutFields(layout)) {
        const auto value = lookup(field.key());
        if (!value) continue;
        if (field.kind == FieldKind::Text) {
            writeText(block, field, *value);
            continue;
        }
        const auto number = parseInteger(*value);
        if (!number) return std::nullopt;
        writeInteger(block, field, *number);
    }
    return block;
}

std::optional<std::int32_t> parseInteger(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

}  // namespace kt6
