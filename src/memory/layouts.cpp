#include "memory/layouts.h"

#include <charconv>

#include "link/frame.h"

namespace kt6 {
namespace {

std::optional<LayoutField> parseItem(std::string_view item) {
    const auto blank = item.find(' ');
    if (blank == std::string_view::npos || blank == 0) return std::nullopt;
    const std::string_view digits = item.substr(blank + 1);
    std::size_t width = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), width);
    if (error != std::errc{} || end == digits.data()) return std::nullopt;
    LayoutField field;
    field.name = item.substr(0, blank);
    field.width = width;
    switch (field.name.front()) {
        case '!':
            field.kind = FieldKind::Checksum;
            break;
        case '?':
            field.kind = FieldKind::Text;
            break;
        default:
            field.kind = FieldKind::Integer;
            break;
    }
    return field;
}

}  // namespace

std::string NextLayoutItem(std::string& layout) {
    const auto semicolon = layout.find(';');
    std::string item;
    if (semicolon == std::string::npos) {
        item = std::move(layout);
        layout.clear();
    } else {
        item = layout.substr(0, semicolon);
        layout.erase(0, semicolon + 1);
    }
    return item;
}

std::string LayoutItemName(std::string_view item) {
    return std::string(item.substr(0, item.find(' ')));
}

int LayoutItemWidth(std::string_view item) {
    const auto blank = item.find(' ');
    if (blank == std::string_view::npos) return 0;
    const std::string_view digits = item.substr(blank + 1);
    int width = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), width);
    if (error != std::errc{} || width < 0) return 0;
    return width;
}

std::vector<int> transferredBlocks(bool masterSlaveTicked) {
    std::vector<int> blocks{kFactoryBlock, kUserBlock};
    if (masterSlaveTicked) return blocks;
    for (int b = kFirstUseroffsBlock; b <= kLastUseroffsBlock; ++b) blocks.push_back(b);
    for (int b = kFirstFactoryTuneBlock; b <= kLastFactoryTuneBlock; ++b) blocks.push_back(b);
    return blocks;
}

std::vector<LayoutField> layoutFields(std::string_view layout) {
    std::vector<LayoutField> fields;
    std::size_t offset = 0;
    while (!layout.empty()) {
        const auto semicolon = layout.find(';');
        const std::string_view item = layout.substr(0, semicolon);
        layout =
            semicolon == std::string_view::npos ? std::string_view{} : layout.substr(semicolon + 1);
        auto field = parseItem(item);
        if (!field) continue;
        // No block is larger than one frame carries: a wider field is malformed and ends the
        // walk, so no offset or block size can wrap around.
        if (field->width > kMaxFrameContent - offset) break;
        field->offset = offset;
        offset += field->width;
        fields.push_back(*field);
    }
    return fields;
}

std::size_t layoutSize(std::string_view layout) {
    std::size_t size = 0;
    for (const auto& field : layoutFields(layout)) size += field.width;
    return size;
}

std::optional<LayoutField> findField(std::string_view layout, std::string_view key) {
    for (const auto& field : layoutFields(layout)) {
        if (field.key() == key) return field;
    }
    return std::nullopt;
}

std::string_view factoryLayout(std::uint16_t firmwareVersion) {
    return firmwareVersion >= kFirmware113 ? FactoryLayout2 : FactoryLayout1;
}

std::string_view userLayout(std::uint16_t firmwareVersion) {
    return firmwareVersion >= kFirmware113 ? UserLayout2 : UserLayout1;
}

std::optional<BlockInfo> blockInfo(int block, std::uint16_t firmwareVersion) {
    if (block == kFactoryBlock) return BlockInfo{block, "Factory", factoryLayout(firmwareVersion)};
    if (block == kUserBlock) return BlockInfo{block, "User", userLayout(firmwareVersion)};
    if (block >= kFirstUseroffsBlock && block <= kLastUseroffsBlock)
        return BlockInfo{block, "Useroffs" + std::to_string(block - 2), UseroffsLayout};
    if (block >= kFirstFactoryTuneBlock && block <= kLastFactoryTuneBlock)
        return BlockInfo{block, "FactoryTune" + std::to_string(block - 36), FactoryTuneLayout};
    return std::nullopt;
}

std::optional<std::size_t> blockSize(int block, std::uint16_t firmwareVersion) {
    const auto info = blockInfo(block, firmwareVersion);
    if (!info) return std::nullopt;
    return layoutSize(info->layout);
}

}  // namespace kt6
