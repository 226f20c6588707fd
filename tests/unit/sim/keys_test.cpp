#include <gtest/gtest.h>

#include "sim_wire.h"

namespace kt6::sim::testing {
namespace {

TEST(FrontPanelKeys, BandKeysTuneToTheBandDefaults) {
    struct Case {
        std::uint8_t key;
        std::uint16_t kHz;
        std::uint8_t band;
    };
    const Case cases[] = {{0, 50150, 0}, {1, 28500, 2}, {2, 24940, 5}, {3, 21200, 6},
                          {4, 18100, 7}, {5, 14150, 8}, {6, 10120, 9}, {7, 7050, 10}};
    Wire wire;
    for (const auto& c : cases) {
        EXPECT_EQ(wire.key(c.key), 0);
        const auto s = wire.status();
        EXPECT_EQ(s.frequency, c.kHz) << int(c.key);
        EXPECT_EQ(s.band, c.band) << int(c.key);
    }
}

TEST(FrontPanelKeys, EachBandRemembersItsLastFrequency) {
    Wire wire;
    wire.keys({7, keys::kUp, keys::kUp});
    EXPECT_EQ(wire.status().frequency, 7050 + 2 * kFrequencyStepKHz);
    wire.keys({5, keys::kDown});
    EXPECT_EQ(wire.status().frequency, 14150 - kFrequencyStepKHz);
    wire.key(7);
    EXPECT_EQ(wire.status().frequency, 7060);
    wire.key(5);
    EXPECT_EQ(wire.status().frequency, 14145);
}

TEST(FrontPanelKeys, UpAndDownStayInsideTheBand) {
    Wire wire;
    wire.send(3, {0x84, 0x1C});  // 7300 kHz, the top of 40m
    wire.key(keys::kUp);
    EXPECT_EQ(wire.status().frequency, 7300);
    wire.send(3, {0x58, 0x1B});  // 7000 kHz
    wire.key(keys::kDown);
    EXPECT_EQ(wire.status().frequency, 7000);
}

TEST(FrontPanelKeys, DirectionKeyCyclesNormalReversedBidirectional) {
    Wire wire;
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) {
        wire.key(keys::kDirection);
        seen.push_back(wire.status().heading);
    }
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 0, 1}));
}

TEST(FrontPanelKeys, ReversingSwapsDirectorAndReflectorLengths) {
    Wire wire;
    const Lengths normal = wire.lengths();
    wire.key(keys::kDirection);
    const Lengths reversed = wire.lengths();
    EXPECT_EQ(reversed[0], normal[0]);
    EXPECT_EQ(reversed[1], normal[2]);
    EXPECT_EQ(reversed[2], normal[1]);
    EXPECT_TRUE(wire.status().moving);
}

TEST(FrontPanelKeys, PowerKeyTogglesTheDisplayOffFlagOnly) {
    Wire wire;
    wire.key(keys::kPower);
    auto s = wire.status();
    EXPECT_EQ(s.flags, StatusRecord::kDisplayOff);
    EXPECT_EQ(s.frequency, 14150);
    wire.key(keys::kPower);
    EXPECT_EQ(wire.status().flags & StatusRecord::kDisplayOff, 0);
}

TEST(FrontPanelKeys, MenuKeyChangesTheScreenAndReturnGoesBackToMain) {
    Wire wire;
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::Main));
    wire.key(keys::kMenu);
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::Menu));
    wire.key(6);
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::ServiceMenu));
    // In a menu the band keys choose items; they do not tune.
    EXPECT_EQ(wire.status().frequency, 14150);
    wire.key(keys::kReturn);
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::Main));
}

TEST(FrontPanelKeys, BandLampKeyChangesNothing) {
    Wire wire;
    const auto before = wire.status();
    wire.key(keys::kBandLamp);
    const auto after = wire.status();
    EXPECT_EQ(after.frequency, before.frequency);
    EXPECT_EQ(after.screen, before.screen);
    EXPECT_FALSE(after.moving);
}

}  // namespace
}  // namespace kt6::sim::testing
