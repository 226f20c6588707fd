// What one rig connection tells of its transmit state, and when it counts as a rig that
// cannot tell.
#include "radio/ptt_watch.h"

#include <gtest/gtest.h>

namespace kt6 {
namespace {

TEST(PttWatch, AModelWithoutItsOwnPttReaderIsNeverAskedAndNeverTransmits) {
    PttWatch ptt;
    ptt.opened(false);
    EXPECT_FALSE(ptt.asking());
    ptt.answered(true);
    EXPECT_FALSE(ptt.transmitting());
}

TEST(PttWatch, ARigRefusingItsFirstReadCannotReportPttOnThisConnection) {
    PttWatch ptt;
    ptt.opened(true);
    ASSERT_TRUE(ptt.asking());
    ptt.failed();
    EXPECT_FALSE(ptt.asking());
    EXPECT_FALSE(ptt.transmitting());
}

TEST(PttWatch, AnswersAreFollowedAndALostOneKeepsTheLastWordUntilFailuresRepeat) {
    PttWatch ptt;
    ptt.opened(true);
    ptt.answered(true);
    EXPECT_TRUE(ptt.transmitting());
    ptt.answered(false);
    EXPECT_FALSE(ptt.transmitting());
    ptt.answered(true);
    // A lost answer neither ends the transmission nor stops the asking.
    for (int i = 0; i < kPttFailuresToGiveUp - 1; ++i) ptt.failed();
    EXPECT_TRUE(ptt.transmitting());
    EXPECT_TRUE(ptt.asking());
    // An answer starts the count again.
    ptt.answered(true);
    for (int i = 0; i < kPttFailuresToGiveUp - 1; ++i) ptt.failed();
    EXPECT_TRUE(ptt.transmitting());
    // Failures in a row: the rig no longer reports PTT, and is followed as one without it.
    ptt.failed();
    EXPECT_FALSE(ptt.asking());
    EXPECT_FALSE(ptt.transmitting());
}

TEST(PttWatch, ANewConnectionStartsWithoutWhatTheLastOneSaid) {
    PttWatch ptt;
    ptt.opened(true);
    ptt.answered(true);
    ptt.opened(true);
    EXPECT_TRUE(ptt.asking());
    EXPECT_FALSE(ptt.transmitting());
    // And its first refusal is judged as a first one.
    ptt.failed();
    EXPECT_FALSE(ptt.asking());
}

}  // namespace
}  // namespace kt6
