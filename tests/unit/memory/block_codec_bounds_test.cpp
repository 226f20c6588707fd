// The block codec stays inside the block, whatever the layout says: widths that would wrap an
// offset around, fields past the end, layouts larger than any frame.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <memory>

#include "link/frame.h"
#include "memory/block_codec.h"
#include "memory/layouts.h"

namespace kt6 {
namespace {

constexpr std::size_t kHuge = std::numeric_limits<std::size_t>::max();

TEST(BlockCodecBounds, fieldWhoseEndWrapsAroundIsRefusedEverywhere) {
    std::uint8_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    const std::span<std::uint8_t> bytes(block);
    for (const LayoutField field : {LayoutField{"a", 4, kHuge - 1, FieldKind::Integer},
                                    LayoutField{"?t", kHuge, 2, FieldKind::Text},
                                    LayoutField{"b", 9, 0, FieldKind::Integer}}) {
        EXPECT_FALSE(readInteger(bytes, field)) << field.name;
        EXPECT_FALSE(writeInteger(bytes, field, -1)) << field.name;
        EXPECT_FALSE(readText(bytes, field)) << field.name;
        EXPECT_FALSE(writeText(bytes, field, "xyz")) << field.name;
    }
    EXPECT_EQ(block[7], 8) << "nothing written";
}

TEST(BlockCodecBounds, layoutWidthThatWouldWrapTheOffsetEndsTheWalk) {
    // 2^64 - 1 as a width: summed with the 1 before it the next offset would wrap to 0.
    const std::string layout = "a 1;big 18446744073709551615;c 2;";
    const auto fields = layoutFields(layout);
    ASSERT_EQ(fields.size(), 1u);
    EXPECT_EQ(fields[0].name, "a");
    EXPECT_EQ(layoutSize(layout), 1u);
    EXPECT_FALSE(findField(layout, "c"));
    const Bytes bytes{0x2A, 0x01, 0x02};
    const auto decoded = decodeBlock(layout, bytes);
    ASSERT_TRUE(decoded.complete);
    ASSERT_EQ(decoded.values.size(), 1u);
    EXPECT_EQ(decoded.values[0].value, "42");
    const auto encoded = encodeBlock(layout, [](std::string_view) { return "7"; });
    ASSERT_TRUE(encoded);
    EXPECT_EQ(*encoded, Bytes{7});
}

TEST(BlockCodecBounds, noLayoutDescribesMoreThanOneFrameCarries) {
    EXPECT_EQ(layoutSize("a 255;"), kMaxFrameContent);
    EXPECT_EQ(layoutSize("a 200;b 55;c 1;"), kMaxFrameContent);
    EXPECT_EQ(layoutSize("a 256;"), 0u);
    // Every real layout is far inside the bound.
    EXPECT_EQ(layoutSize(FactoryLayout2), 108u);
}

TEST(BlockCodecBounds, shortBlockDecodesOnlyWhatItHolds) {
    const Bytes bytes{0, 1, 2};
    const auto decoded = decodeBlock("!checksum 1;x 2;y 4;", bytes, true);
    EXPECT_FALSE(decoded.complete);
    ASSERT_EQ(decoded.values.size(), 2u);
    EXPECT_EQ(decoded.values[1].value, std::to_string(1 + 2 * 256));
}

}  // namespace
}  // namespace kt6
