// What the display shows of a status record: its lines, the heading lamps, the display-off
// face and the moving indicator's steps.
#include "core/status_view.h"

#include <gtest/gtest.h>

namespace kt6 {
namespace {

StatusRecord exampleRecord() {
    StatusRecord r;
    r.firmwareMinor = 13;
    r.firmwareMajor = 1;
    r.screen = 4;
    r.frequency = 7157;
    r.band = 10;
    r.heading = 0;
    r.drivers = 3;
    return r;
}

TEST(DisplayLines, exampleRecordGivesEveryLine) {
    const DisplayLines lines = displayLines(exampleRecord());
    EXPECT_EQ(lines.status, "OK Vrenk v1.13 DRVs=3");
    EXPECT_EQ(lines.screen, "ACT screen=4");
    EXPECT_EQ(lines.frequency, "07.157 Mhz");
    EXPECT_EQ(lines.band, "Banda 40m (default)");
    EXPECT_EQ(displayLines(exampleRecord(), ',').frequency, "07,157 Mhz");
}

TEST(DisplayLines, frequencyKeepsTwoDigitsBeforeAndThreeAfterTheSeparator) {
    EXPECT_EQ(frequencyLine(14074), "14.074 Mhz");
    EXPECT_EQ(frequencyLine(0), "00.000 Mhz");
    EXPECT_EQ(frequencyLine(65535), "65.535 Mhz");
    EXPECT_EQ(frequencyLine(7001, ','), "07,001 Mhz");
}

TEST(DisplayLines, customFlagAndUnknownBand) {
    EXPECT_EQ(bandLine(8, 0x0102), "Banda 20m (custom)");
    EXPECT_EQ(bandLine(0, 0), "Banda 6m (default)");
    EXPECT_EQ(bandLine(11, 0), "Banda ? (default)");
    EXPECT_EQ(bandLine(255, 0x0100), "Banda ? (custom)");
}

TEST(HeadingLamps, eachHeadingLightsItsLampAndLine) {
    const auto normal = headingLamps(0);
    ASSERT_TRUE(normal);
    EXPECT_EQ(normal->line, "Heading: normal ->");
    EXPECT_EQ(normal->reversedLamp, NamedColour::clGreen);
    EXPECT_EQ(normal->bidirLamp, NamedColour::clMaroon);
    const auto reversed = headingLamps(1);
    ASSERT_TRUE(reversed);
    EXPECT_EQ(reversed->line, "Heading: <-180\u00B0");
    EXPECT_EQ(reversed->reversedLamp, NamedColour::clLime);
    EXPECT_EQ(reversed->reversedCaption, NamedColour::clWhite);
    EXPECT_EQ(reversed->bidirCaption, NamedColour::clGray);
    const auto both = headingLamps(2);
    ASSERT_TRUE(both);
    EXPECT_EQ(both->line, "Heading: <- Bi-Dir ->");
    EXPECT_EQ(both->bidirLamp, NamedColour::clRed);
    EXPECT_EQ(both->bidirCaption, NamedColour::clWhite);
    EXPECT_EQ(both->reversedCaption, NamedColour::clGray);
}

TEST(HeadingLamps, unknownHeadingLeavesTheLampsAlone) {
    EXPECT_FALSE(headingLamps(3).has_value());
    EXPECT_FALSE(headingLamps(255).has_value());
}

TEST(DisplayFace, displayOffBlacksOutAndPutsOutThePowerKey) {
    const DisplayFace off = displayFace(StatusRecord::kDisplayOff | StatusRecord::kCustomTuning);
    EXPECT_EQ(off.background, NamedColour::clBlack);
    EXPECT_FALSE(off.powerKeyLit);
    EXPECT_FALSE(off.headingInked);
    const DisplayFace on = displayFace(StatusRecord::kCustomTuning);
    EXPECT_EQ(on.background, NamedColour::clMoneyGreen);
    EXPECT_TRUE(on.powerKeyLit);
    EXPECT_TRUE(on.headingInked);
}

TEST(MovingIndicator, blinksOnlyWhileMoving) {
    const MovingIndicator bright = movingIndicatorStep(true, false);
    EXPECT_EQ(bright.caption, NamedColour::clRed);
    EXPECT_EQ(bright.lamp, NamedColour::clYellow);
    EXPECT_TRUE(bright.hideBandLamp);
    EXPECT_TRUE(bright.showBanner);
    const MovingIndicator dark = movingIndicatorStep(true, bright.caption == NamedColour::clRed);
    EXPECT_EQ(dark.caption, NamedColour::clGray);
    EXPECT_EQ(dark.lamp, NamedColour::clBlack);
    EXPECT_FALSE(dark.hideBandLamp);
    EXPECT_FALSE(dark.showBanner);
    const MovingIndicator idle = movingIndicatorStep(false, true);
    EXPECT_EQ(idle.caption, NamedColour::clGray);
    EXPECT_EQ(idle.lamp, NamedColour::clGray);
    EXPECT_FALSE(idle.hideBandLamp);
    EXPECT_FALSE(idle.showBanner);
}

}  // namespace
}  // namespace kt6
