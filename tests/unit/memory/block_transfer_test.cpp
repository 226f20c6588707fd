#include <gtest/gtest.h>

#include "memory/block_codec.h"
#include "unit/sim/sim_wire.h"

namespace kt6::sim::testing {
namespace {

Wire wireWith(Firmware firmware, int units = 1) {
    ModelOptions options;
    options.controller.firmware = firmware;
    options.controller.units = units;
    return Wire(options);
}

std::optional<Bytes> readBlock(Wire& wire, int block, int unit = 0) {
    const auto r =
        wire.send(5, {static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(unit)});
    if (!r || (*r)[1] != 0) return std::nullopt;
    return Bytes(r->begin() + 2, r->end());
}

std::uint8_t writeBlock(Wire& wire, int block, const Bytes& bytes, int unit = 0) {
    Bytes data{static_cast<std::uint8_t>(block), static_cast<std::uint8_t>(unit)};
    data.insert(data.end(), bytes.begin(), bytes.end());
    return wire.send(4, data).value()[1];
}

TEST(BlockTransfer, ReadRepliesCarryTheLayoutSizeOfTheFirmware) {
    auto old = wireWith(Firmware::V1_12);
    EXPECT_EQ(readBlock(old, 0)->size(), 45u);
    EXPECT_EQ(readBlock(old, 1)->size(), 35u);
    auto current = wireWith(Firmware::V1_30);
    EXPECT_EQ(readBlock(current, 0)->size(), 108u);
    EXPECT_EQ(readBlock(current, 1)->size(), 42u);
    EXPECT_EQ(readBlock(current, 3)->size(), 17u);
    EXPECT_EQ(readBlock(current, 69)->size(), 9u);
}

TEST(BlockTransfer, FactoryContentsArePlausible) {
    auto wire = wireWith(Firmware::V1_13);
    const Bytes factory = readBlock(wire, 0).value();
    const auto text = [&](std::string_view key) {
        return readText(factory, findField(FactoryLayout2, key).value()).value();
    };
    const auto number = [&](std::string_view key) {
        return readInteger(factory, findField(FactoryLayout2, key).value()).value();
    };
    EXPECT_EQ(text("model"), std::string(kModelText));
    EXPECT_FALSE(text("welcome").empty());
    EXPECT_FALSE(text("v24mess").empty());
    EXPECT_GT(number("mot_maxvel"), number("mot_minvel"));
    EXPECT_GT(number("max_estensio"), number("min_estensio"));
    EXPECT_LT(number("v24l1"), number("v24h1"));
    EXPECT_EQ(number("max_driver"), 3);
    // Before 1.13 the welcome text lives in the User block.
    auto old = wireWith(Firmware::V1_12);
    const Bytes user = readBlock(old, 1).value();
    EXPECT_EQ(readText(user, findField(UserLayout1, "welcome").value()), std::string(kWelcomeText));
}

TEST(BlockTransfer, BlocksTwoAndThirtySixAndBeyondTheMapAreRefused) {
    auto wire = wireWith(Firmware::V1_13);
    for (int block : {2, 36, 70, 200}) {
        EXPECT_FALSE(readBlock(wire, block)) << block;
        EXPECT_NE(writeBlock(wire, block, Bytes(9, 0)), 0) << block;
    }
}

TEST(BlockTransfer, WrittenBlocksReadBackByteForByte) {
    auto wire = wireWith(Firmware::V1_13);
    for (int block : {0, 1, 3, 35, 37, 69}) {
        Bytes bytes = readBlock(wire, block).value();
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(block + 7 * i);
        ASSERT_EQ(writeBlock(wire, block, bytes), 0) << block;
        EXPECT_EQ(readBlock(wire, block), bytes) << block;
    }
}

TEST(BlockTransfer, AWriteOfTheWrongSizeIsRefusedAndKeepsTheBlock) {
    auto wire = wireWith(Firmware::V1_13);
    const Bytes before = readBlock(wire, 3).value();
    EXPECT_NE(writeBlock(wire, 3, Bytes(16, 1)), 0);
    EXPECT_NE(writeBlock(wire, 3, Bytes(18, 1)), 0);
    EXPECT_NE(wire.send(6, Bytes(45, 1))->at(1), 0);  // a 1.12 Factory block on 1.13
    EXPECT_EQ(readBlock(wire, 3), before);
}

TEST(BlockTransfer, DirectWritesGoToFactoryAndUser) {
    auto wire = wireWith(Firmware::V1_12);
    const Bytes factory(45, 0x11);
    const Bytes user(35, 0x22);
    EXPECT_EQ(wire.send(6, factory)->at(1), 0);
    EXPECT_EQ(wire.send(7, user)->at(1), 0);
    EXPECT_EQ(readBlock(wire, 0), factory);
    EXPECT_EQ(readBlock(wire, 1), user);
}

TEST(BlockTransfer, OtherUnitsAnswerOnlyWhenConfigured) {
    auto single = wireWith(Firmware::V1_13);
    EXPECT_FALSE(readBlock(single, 0, 1));
    EXPECT_NE(writeBlock(single, 3, Bytes(17, 0), 1), 0);
    auto linked = wireWith(Firmware::V1_13, 2);
    const Bytes bytes(17, 9);
    EXPECT_EQ(writeBlock(linked, 3, bytes, 1), 0);
    EXPECT_EQ(readBlock(linked, 3, 1), bytes);
    EXPECT_NE(readBlock(linked, 3, 0), bytes);
}

TEST(BlockTransfer, ANewFactoryFigureRetunesTheElements) {
    auto wire = wireWith(Firmware::V1_13);
    Bytes factory = readBlock(wire, 0).value();
    const int before = wire.lengths()[0];
    writeInteger(factory, findField(FactoryLayout2, "k_freq2mm").value(), 70'000'000);
    ASSERT_EQ(writeBlock(wire, 0, factory), 0);
    EXPECT_EQ(wire.lengths()[0], 70'000'000 / 14150);
    EXPECT_NE(wire.lengths()[0], before);
    EXPECT_TRUE(wire.status().moving);
}

TEST(BlockTransfer, UserOffsetsOfTheBandShowInLengthsAndCustomFlag) {
    auto wire = wireWith(Firmware::V1_13);
    const int before = wire.lengths()[0];
    Bytes offsets = readBlock(wire, 3 + 8).value();  // 20m is band index 8
    writeInteger(offsets, findField(UseroffsLayout, "offset1").value(), -30);
    ASSERT_EQ(writeBlock(wire, 11, offsets), 0);
    EXPECT_EQ(wire.lengths()[0], before - 30);
    EXPECT_EQ(wire.status().flags, StatusRecord::kCustomTuning);
}

}  // namespace
}  // namespace kt6::sim::testing
