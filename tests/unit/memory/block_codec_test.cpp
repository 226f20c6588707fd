#include <gtest/gtest.h>

#include <map>

#include "memory/block_codec.h"

namespace kt6 {
namespace {

ValueLookup from(std::map<std::string, std::string> values) {
    return [values](std::string_view key) -> std::optional<std::string> {
        const auto it = values.find(std::string(key));
        if (it == values.end()) return std::nullopt;
        return it->second;
    };
}

TEST(BlockCodec, IntegersAreCutToTheirWidthLowByteFirst) {
    const auto block =
        encodeBlock("!checksum 1;a 1;b 2;c 4;", from({{"a", "300"}, {"b", "-1"}, {"c", "258"}}));
    ASSERT_TRUE(block);
    EXPECT_EQ(*block, (Bytes{0, 44, 0xFF, 0xFF, 0x02, 0x01, 0, 0}));
}

TEST(BlockCodec, FourByteFieldsReadSignedAndRoundTrip) {
    const Bytes bytes{0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    const auto decoded = decodeBlock("!checksum 1;offset1 4;small 2;", bytes);
    ASSERT_EQ(decoded.values.size(), 2u);
    EXPECT_EQ(decoded.values[0].value, "-1");
    EXPECT_EQ(decoded.values[1].value, "65535");
    const auto again = encodeBlock("!checksum 1;offset1 4;small 2;",
                                   from({{"offset1", "-1"}, {"small", "65535"}}));
    EXPECT_EQ(*again, bytes);
}

TEST(BlockCodec, TextDropsZeroBytesWhereverTheyStand) {
    const Bytes bytes{0, 'A', 'B', 0, 'C'};
    const auto decoded = decodeBlock("!checksum 1;?name 4;", bytes);
    ASSERT_EQ(decoded.values.size(), 1u);
    EXPECT_EQ(decoded.values[0].key, "name");
    EXPECT_EQ(decoded.values[0].value, "ABC");
}

TEST(BlockCodec, TextIsCutOrPaddedToItsWidth) {
    const auto full = encodeBlock("?model 16;", from({{"model", "ABCDEFGHIJKLMNOPQ"}}));
    EXPECT_EQ(std::string(full->begin(), full->end()), "ABCDEFGHIJKLMNOP");
    const auto shorter = encodeBlock("?model 4;", from({{"model", "AB"}}));
    EXPECT_EQ(*shorter, (Bytes{'A', 'B', 0, 0}));
}

TEST(BlockCodec, ChecksumIsDecodedOnlyOnRequestAndMissingKeysAreZero) {
    const Bytes bytes{7, 1};
    EXPECT_EQ(decodeBlock("!checksum 1;a 1;", bytes).values.size(), 1u);
    const auto with = decodeBlock("!checksum 1;a 1;", bytes, true);
    ASSERT_EQ(with.values.size(), 2u);
    EXPECT_EQ(with.values[0].key, "!checksum");
    EXPECT_EQ(with.values[0].value, "7");
    EXPECT_EQ(*encodeBlock("!checksum 1;a 1;?t 2;", from({})), (Bytes{0, 0, 0, 0}));
}

TEST(BlockCodec, ShortBytesStopTheDecodeAtTheLastWholeField) {
    const auto decoded = decodeBlock("!checksum 1;a 1;b 2;", Bytes{0, 5, 1});
    EXPECT_FALSE(decoded.complete);
    ASSERT_EQ(decoded.values.size(), 1u);
    EXPECT_EQ(decoded.values[0].value, "5");
}

TEST(BlockCodec, ANonNumberRefusesTheWholeBlock) {
    EXPECT_FALSE(encodeBlock("a 2;", from({{"a", "12x"}})));
    EXPECT_FALSE(encodeBlock("a 2;", from({{"a", ""}})));
    EXPECT_FALSE(parseInteger("4294967296"));
    EXPECT_EQ(parseInteger("-2147483648"), INT32_MIN);
}

}  // namespace
}  // namespace kt6
