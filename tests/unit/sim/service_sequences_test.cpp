// The key sequences the console's Functions menu and element editor send, and what a user
// would expect each answer to do.
#include <gtest/gtest.h>

#include "sim/element_lengths.h"
#include "sim_wire.h"

namespace kt6::sim::testing {
namespace {

constexpr std::uint8_t kYes = 6, kNo = 5;

class ServiceSequences : public ::testing::Test {
  protected:
    void settle() { wire.wait(120s); }
    Wire wire;
};

TEST_F(ServiceSequences, RetractYesSetsFrequencyZeroAndRunsTheTapesIn) {
    wire.keys({13, 13, 8, 6, 7});
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::RetractQuestion));
    wire.key(kYes);
    const auto s = wire.status();
    EXPECT_EQ(s.frequency, 0);
    EXPECT_TRUE(s.moving);
    EXPECT_EQ(wire.lengths(), (Lengths{0, 0, 0, 0}));
    settle();
    EXPECT_FALSE(wire.status().moving);
}

TEST_F(ServiceSequences, RetractNoLeavesTheAntennaTuned) {
    wire.keys({13, 13, 8, 6, 7, kNo});
    const auto s = wire.status();
    EXPECT_EQ(s.frequency, 14150);
    EXPECT_FALSE(s.moving);
    EXPECT_EQ(s.screen, static_cast<int>(Screen::Main));
}

TEST_F(ServiceSequences, RetractCommandDoesTheSameAsTheMenu) {
    EXPECT_EQ(wire.send(2)->at(1), 0);
    EXPECT_EQ(wire.status().frequency, 0);
    EXPECT_EQ(wire.lengths(), (Lengths{0, 0, 0, 0}));
}

TEST_F(ServiceSequences, CalibrateYesHomesTheTapesAndComesBackToTheSameLengths) {
    const Lengths before = wire.lengths();
    wire.keys({13, 13, 8, 6, 6});
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::CalibrateQuestion));
    const TimePoint start = wire.now;
    wire.key(kYes);
    wire.key(13);  // the console goes home at once; the homing must run on
    const Motion& motion = wire.model.controller().motion();
    EXPECT_TRUE(wire.status().moving);
    // Halfway the tapes are all the way in, by the end back out.
    const TimePoint half = start + (motion.finish() - start) / 2;
    EXPECT_LT(motion.positionAt(half)[0], before[0] / 10);
    EXPECT_EQ(wire.lengths(), before);
    settle();
    EXPECT_FALSE(wire.status().moving);
}

TEST_F(ServiceSequences, CalibrateNoMovesNothing) {
    wire.keys({13, 13, 8, 6, 6, kNo, 13});
    EXPECT_FALSE(wire.status().moving);
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::Main));
}

TEST_F(ServiceSequences, FactoryDefaultYesClearsTheUserOffsets) {
    auto& memory = wire.model.controller().memory();
    storeOffsets(memory, 8, Offsets{40, 0, 0, 0});
    wire.keys({7, 5});  // retune with the offset in place
    ASSERT_NE(wire.status().flags & StatusRecord::kCustomTuning, 0);
    const int custom = wire.lengths()[0];
    wire.keys({13, 13, 8, 4, 6});
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::FactoryQuestion));
    wire.key(kYes);
    EXPECT_EQ(storedOffsets(memory, 8), (Offsets{}));
    EXPECT_EQ(wire.status().flags & StatusRecord::kCustomTuning, 0);
    EXPECT_EQ(wire.lengths()[0], custom - 40);
}

TEST_F(ServiceSequences, FactoryDefaultNoKeepsTheOffsets) {
    storeOffsets(wire.model.controller().memory(), 8, Offsets{40, 0, 0, 0});
    wire.keys({13, 13, 8, 4, 6, kNo, 13});
    EXPECT_EQ(storedOffsets(wire.model.controller().memory(), 8)[0], 40);
}

TEST_F(ServiceSequences, TestElementsExtendsAtFrequencyZeroAndYesRetractsAgain) {
    wire.send(2);
    settle();
    wire.flaggedKey(13);
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::TestQuestion));
    wire.key(kYes);
    auto s = wire.status();
    EXPECT_EQ(s.frequency, 0);
    EXPECT_EQ(s.screen, static_cast<int>(Screen::TestActive));
    EXPECT_TRUE(s.moving);
    EXPECT_EQ(wire.lengths(), testLengths(3));
    wire.wait(6s);  // the console's wait covers the test run
    EXPECT_FALSE(wire.status().moving);
    wire.key(8);  // "Press Yes to retract"
    EXPECT_EQ(wire.lengths(), (Lengths{}));
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::Retracted));
}

TEST_F(ServiceSequences, TestElementsNoStaysRetracted) {
    wire.send(2);
    settle();
    wire.flaggedKey(13);
    wire.key(kNo);
    const auto s = wire.status();
    EXPECT_EQ(s.frequency, 0);
    EXPECT_EQ(s.screen, static_cast<int>(Screen::Retracted));
    EXPECT_EQ(wire.lengths(), (Lengths{}));
}

TEST_F(ServiceSequences, EveryBandKeyTunesOutOfTheRetractedState) {
    // 30 m and 20 m share their codes with the yes and no answers; retracted, they are bands.
    wire.send(2);
    wire.keys({6, 13});
    EXPECT_EQ(wire.status().frequency, 10120);
    wire.send(2);
    wire.keys({5, 13});
    EXPECT_EQ(wire.status().frequency, 14150);
}

TEST_F(ServiceSequences, ABandKeyTunesOutOfTheRetractedState) {
    wire.send(2);
    wire.key(3);
    const auto s = wire.status();
    EXPECT_EQ(s.frequency, 21200);
    EXPECT_EQ(s.screen, static_cast<int>(Screen::Main));
    EXPECT_NE(wire.lengths()[0], 0);
}

class ElementEditor : public ServiceSequences {
  protected:
    void open() {
        wire.keys({13, 13, 8, 3, 3});
        ASSERT_EQ(wire.status().screen, static_cast<int>(Screen::Editor));
        before = wire.lengths();
    }
    Lengths before;
};

TEST_F(ElementEditor, EachKeyStepsOneElementOnce) {
    open();
    wire.key(1);  // "+" over the driver column
    EXPECT_TRUE(wire.status().moving);
    Lengths expected = before;
    expected[0] += kEditStepMm;
    EXPECT_EQ(wire.lengths(), expected);
    wire.key(6);  // "-" under director 1
    expected[1] -= kEditStepMm;
    EXPECT_EQ(wire.lengths(), expected);
    wire.key(0);  // "+" over the reflector
    expected[2] += kEditStepMm;
    EXPECT_EQ(wire.lengths(), expected);
}

TEST_F(ElementEditor, AnElementTheAntennaLacksCannotBeStepped) {
    open();
    wire.key(3);  // "+" over director 2, not fitted with three drivers
    EXPECT_EQ(wire.lengths(), before);
}

TEST_F(ElementEditor, SaveYesStoresTheOffsetForTheBand) {
    open();
    wire.keys({1, 1, 8});
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::SaveQuestion));
    wire.key(kYes);
    EXPECT_EQ(storedOffsets(wire.model.controller().memory(), 8),
              (Offsets{2 * kEditStepMm, 0, 0, 0}));
    EXPECT_NE(wire.status().flags & StatusRecord::kCustomTuning, 0);
    EXPECT_EQ(wire.lengths()[0], before[0] + 2 * kEditStepMm);
    // Another band is untouched; coming back finds the stored trim.
    wire.key(7);
    EXPECT_EQ(wire.status().flags & StatusRecord::kCustomTuning, 0);
    wire.key(5);
    EXPECT_EQ(wire.lengths()[0], before[0] + 2 * kEditStepMm);
}

TEST_F(ElementEditor, SaveNoDiscardsAndRunsTheTapesBack) {
    open();
    wire.keys({1, 8, 8});
    EXPECT_EQ(wire.lengths(), before);
    EXPECT_EQ(storedOffsets(wire.model.controller().memory(), 8), (Offsets{}));
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::Main));
}

TEST_F(ElementEditor, ExitWithoutSavingLeavesEverythingAsItWas) {
    open();
    const auto generation = wire.model.controller().memoryGeneration();
    wire.keys({8, 8, 13});
    EXPECT_EQ(wire.lengths(), before);
    EXPECT_EQ(wire.model.controller().memoryGeneration(), generation);
    EXPECT_EQ(wire.status().screen, static_cast<int>(Screen::Main));
}

TEST_F(ElementEditor, ReversedHeadingTrimsTheElementThatActsAsReflector) {
    wire.key(keys::kDirection);
    open();
    wire.key(2);  // "+" on the director 1 word, the reflector when reversed
    wire.keys({8, kYes});
    EXPECT_EQ(storedOffsets(wire.model.controller().memory(), 8), (Offsets{0, 0, kEditStepMm, 0}));
}

}  // namespace
}  // namespace kt6::sim::testing
