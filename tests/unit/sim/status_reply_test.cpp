#include <gtest/gtest.h>

#include "sim_wire.h"

namespace kt6::sim::testing {
namespace {

TEST(StatusReply, WorkedExampleFrameIsAnsweredWithAllThirteenFields) {
    Wire wire;
    wire.model.receive(Bytes{0xF5, 0x0D, 0x01, 0x59, 0xFA}, wire.now);
    const auto frames = framesIn(wire.model.takeDue(wire.now + 1s));
    ASSERT_EQ(frames.size(), 1u);
    const Bytes& r = frames[0];
    ASSERT_EQ(r.size(), 13u);
    EXPECT_EQ(r[0], 0x0D);
    EXPECT_EQ(r[1], 0);
    EXPECT_EQ(r[2], 13);  // minor
    EXPECT_EQ(r[3], 1);   // major
    EXPECT_EQ(r[5] | r[6] << 8, 14150);
    EXPECT_EQ(r[7], 8);  // 20m in BandNames
    EXPECT_EQ(r[8], 0);
    EXPECT_EQ(r[9] | r[10] << 8, 0);
    EXPECT_EQ(r[11], 0);
    EXPECT_EQ(r[12], 3);
}

TEST(StatusReply, SequenceByteIsEchoedWholeFlagBitIncluded) {
    Wire wire;
    EXPECT_EQ(wire.sendWithSequence(0x8E, 1).value()[0], 0x8E);
    EXPECT_EQ(wire.sendWithSequence(0x80, 1).value()[0], 0x80);
}

TEST(StatusReply, FirmwareBytesAndDriverCountFollowTheConfiguration) {
    for (auto [firmware, minor] :
         {std::pair{Firmware::V1_12, 12}, {Firmware::V1_13, 13}, {Firmware::V1_30, 30}}) {
        ModelOptions options;
        options.controller.firmware = firmware;
        options.controller.drivers = 4;
        Wire wire(options);
        const auto s = wire.status();
        EXPECT_EQ(s.firmwareMinor, minor);
        EXPECT_EQ(s.firmwareMajor, 1);
        EXPECT_EQ(s.drivers, 4);
    }
}

TEST(StatusReply, MalformedAndUnknownCommandsGetANonZeroStatusAndNoData) {
    Wire wire;
    const auto unknown = wire.send(42);
    ASSERT_TRUE(unknown);
    EXPECT_NE((*unknown)[1], 0);
    EXPECT_EQ(unknown->size(), 2u);
    EXPECT_NE(wire.send(1, {0})->at(1), 0);  // status takes no data
    EXPECT_NE(wire.send(8, {})->at(1), 0);   // a key needs its code
    EXPECT_NE(wire.send(8, {5, 5})->at(1), 0);
    EXPECT_NE(wire.send(3, {0x58})->at(1), 0);  // half a frequency
    EXPECT_NE(wire.send(8, {14})->at(1), 0);    // no such key
    EXPECT_EQ(wire.send(8, {77})->at(1), 0);    // the band lamp is a key
}

TEST(StatusReply, SetFrequencyOutsideEveryBandIsRefusedAndChangesNothing) {
    Wire wire;
    EXPECT_NE(wire.send(3, {0xAC, 0x0D})->at(1), 0);  // 3500 kHz
    EXPECT_EQ(wire.status().frequency, 14150);
    EXPECT_EQ(wire.send(3, {0xF5, 0x1B})->at(1), 0);  // 7157 kHz, the worked example
    const auto s = wire.status();
    EXPECT_EQ(s.frequency, 7157);
    EXPECT_EQ(s.band, 10);
}

TEST(StatusReply, TenMetresIsReportedInFourSegments) {
    Wire wire;
    const auto bandAt = [&](int kHz) {
        wire.send(3, {static_cast<std::uint8_t>(kHz & 0xFF), static_cast<std::uint8_t>(kHz >> 8)});
        return wire.status().band;
    };
    EXPECT_EQ(bandAt(28000), 1);
    EXPECT_EQ(bandAt(28499), 1);
    EXPECT_EQ(bandAt(28500), 2);
    EXPECT_EQ(bandAt(29000), 3);
    EXPECT_EQ(bandAt(29700), 4);
    EXPECT_EQ(bandAt(50150), 0);
}

TEST(ElementLengthsReply, FourLittleEndianWordsDriverFirst) {
    Wire wire;
    const Bytes r = wire.send(9).value();
    ASSERT_EQ(r.size(), 10u);
    const int driver = r[2] | r[3] << 8;
    EXPECT_EQ(driver, 71'500'000 / 14150);
    const Lengths l = wire.lengths();
    EXPECT_LT(l[1], l[0]);  // a director is shorter than the driver
    EXPECT_GT(l[2], l[0]);  // the reflector longer
    EXPECT_EQ(l[3], 0);     // three drivers: no second director
}

}  // namespace
}  // namespace kt6::sim::testing
