// Blocks built from INI sections and written to the controller stand-in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "memory/block_transfer.h"
#include "memory/setup_log.h"
#include "support/scripted_transfer.h"

namespace kt6 {
namespace {

// An INI file with this text, removed again at the end of the test.
class IniText {
  public:
    explicit IniText(const std::string& text) {
        static int count = 0;
        path_ =
            std::filesystem::temp_directory_path() /
            ("kt6-write-" + std::to_string(::getpid()) + "-" + std::to_string(++count) + ".ini");
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~IniText() { std::filesystem::remove(path_); }
    std::unique_ptr<ProfileFile> open() const { return std::make_unique<ProfileFile>(path_); }

  private:
    std::filesystem::path path_;
};

Bytes encoded(std::string_view layout, const std::string& text, std::string_view section,
              bool checkFit = false) {
    const IniText ini(text);
    const auto result = encodeSection(layout, *ini.open(), section, checkFit);
    EXPECT_FALSE(result.error) << (result.error ? encodeErrorText(*result.error) : "");
    return result.bytes;
}

TEST(EncodeSection, IntegersAreCutToTheirWidthAndMissingKeysAreZero) {
    EXPECT_EQ(encoded("!checksum 1;a 1;b 2;c 4;d 2;", "[S]\r\na=300\r\nb=-1\r\nc=258\r\n", "S"),
              (Bytes{0, 44, 0xFF, 0xFF, 0x02, 0x01, 0, 0, 0, 0}));
}

TEST(EncodeSection, ChecksumComesFromItsOwnKeyWhenAUserAddedIt) {
    EXPECT_EQ(
        encoded(FactoryTuneLayout, "[FactoryTune1]\r\n!checksum=7\r\nTune1=1\r\n", "FactoryTune1"),
        (Bytes{7, 1, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(EncodeSection, TextsAreCutToTheirWidthAndPaddedWithZeros) {
    const Bytes sixteen =
        encoded(FactoryLayout1, "[Factory]\r\nmodel=ABCDEFGHIJKLMNOP\r\n", "Factory");
    EXPECT_EQ(std::string(sixteen.begin() + 29, sixteen.end()), "ABCDEFGHIJKLMNOP");
    const Bytes seventeen =
        encoded(FactoryLayout1, "[Factory]\r\nmodel=ABCDEFGHIJKLMNOPQ\r\n", "Factory");
    EXPECT_EQ(seventeen, sixteen);
    const Bytes fifteen =
        encoded(FactoryLayout1, "[Factory]\r\nmodel=ABCDEFGHIJKLMNO\r\n", "Factory");
    EXPECT_EQ(fifteen.back(), 0);
    EXPECT_EQ(fifteen.size(), 45u);
}

TEST(EncodeSection, NamesMatchWithoutRegardToCaseAndQuotedTextsComeBackWhole) {
    const Bytes block = encoded(
        FactoryLayout1, "[factory]\r\nMOT_MAXVEL=1000\r\nmodel=\"  KT 6  \"\r\n", "Factory");
    EXPECT_EQ(block[1], 0xE8);
    EXPECT_EQ(block[2], 0x03);
    EXPECT_EQ(std::string(block.begin() + 29, block.begin() + 37), "  KT 6  ");
}

TEST(EncodeSection, AValueThatIsNoIntegerIsRefusedNamingItsSectionAndKey) {
    const IniText ini("[User]\r\nlingua=due\r\n");
    const auto result = encodeSection(UserLayout2, *ini.open(), "User", false);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(encodeErrorText(*result.error),
              "'due' is not a valid integer value in [User] lingua");
}

TEST(EncodeSection, CheckingFitRefusesWhatTheFieldCannotHold) {
    const IniText ini("[User]\r\nlingua=300\r\n");
    auto result = encodeSection(UserLayout2, *ini.open(), "User", true);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(encodeErrorText(*result.error),
              "The value 300 of lingua in [User] does not fit its 1-byte field (0 to 255).");
    // The same value without the check is cut to its low byte.
    result = encodeSection(UserLayout2, *ini.open(), "User", false);
    EXPECT_FALSE(result.error);
    EXPECT_EQ(result.bytes[6], 44);
}

TEST(EncodeSection, CheckingFitRefusesANegativeUnsignedFieldAndAnOverlongText) {
    // The controller would hold 65535 for -1, and the first 24 characters of the text.
    const IniText negative("[Factory]\r\nmot_maxvel=-1\r\n");
    auto result = encodeSection(FactoryLayout2, *negative.open(), "Factory", true);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(encodeErrorText(*result.error),
              "The value -1 of mot_maxvel in [Factory] does not fit its 2-byte field (0 to "
              "65535).");
    const IniText longText("[Factory]\r\nwelcome=" + std::string(37, 'w') + "\r\n");
    result = encodeSection(FactoryLayout2, *longText.open(), "Factory", true);
    ASSERT_TRUE(result.error);
    EXPECT_EQ(encodeErrorText(*result.error),
              "The text of welcome in [Factory] is 37 characters long; its field holds 0 to 24 "
              "characters.");
    // A text that fills its field exactly goes whole, without a terminating zero.
    const IniText full("[Factory]\r\nwelcome=" + std::string(24, 'w') + "\r\n");
    EXPECT_FALSE(encodeSection(FactoryLayout2, *full.open(), "Factory", true).error);
}

TEST(EncodeSection, FitFollowsTheFieldsTypeAsTheCodecReadsItBack) {
    EXPECT_TRUE(fitsFieldWidth(0, 1));
    EXPECT_TRUE(fitsFieldWidth(255, 1));
    EXPECT_FALSE(fitsFieldWidth(-1, 1));
    EXPECT_FALSE(fitsFieldWidth(256, 1));
    EXPECT_TRUE(fitsFieldWidth(65535, 2));
    EXPECT_FALSE(fitsFieldWidth(-1, 2));
    EXPECT_FALSE(fitsFieldWidth(65536, 2));
    // A 4-byte field reads back signed: a backup writes its top bit as a minus sign.
    EXPECT_TRUE(fitsFieldWidth(-2147483648LL, 4));
    EXPECT_TRUE(fitsFieldWidth(2147483647LL, 4));
    EXPECT_FALSE(fitsFieldWidth(2147483648LL, 4));
    EXPECT_EQ(fieldRangeText(2), "0 to 65535");
    EXPECT_EQ(fieldRangeText(4), "-2147483648 to 2147483647");
}

class WriteBlockTest : public ::testing::Test, protected testing::ScriptedTransfer {
  protected:
    Bytes dataOf(const Bytes& command) const { return Bytes(command.begin() + 2, command.end()); }
};

TEST_F(WriteBlockTest, ASectionWithoutKeysSendsNothingAndCountsAsDone) {
    const IniText ini("[Factory]\r\nmot_maxvel=1\r\n[Useroffs1]\r\n");
    transfer.setSourceIni(ini.open());
    EXPECT_FALSE(writeBlock(3, UseroffsLayout, "Useroffs1"));
    EXPECT_FALSE(writeBlock(4, UseroffsLayout, "Useroffs2"));
    EXPECT_TRUE(controller.received.empty());
    EXPECT_EQ(transfer.logText(), "");
}

TEST_F(WriteBlockTest, AFileBlockGoesOutAddressedWithTheFlagAndLogsAnEmptyLine) {
    const IniText ini("[Useroffs1]\r\noffset1=-1\r\noffset4=2\r\n");
    transfer.setSourceIni(ini.open());
    transfer.setUnits({true, 1});
    ASSERT_FALSE(writeBlock(3, UseroffsLayout, "Useroffs1"));
    const auto writes = controller.commands(4);
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_TRUE(writes[0][0] & 0x80);
    EXPECT_EQ(dataOf(writes[0]),
              (Bytes{3, 1, 0, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0}));
    EXPECT_EQ(transfer.logText(), "\r\n");
}

TEST_F(WriteBlockTest, AWriteWithoutAnswerFailsAfterFourTries) {
    const IniText ini("[FactoryTune1]\r\nTune1=5\r\n");
    transfer.setSourceIni(ini.open());
    controller.answering = false;
    EXPECT_TRUE(writeBlock(37, FactoryTuneLayout, "FactoryTune1"));
    EXPECT_EQ(controller.commands(4).size(), 4u);
    EXPECT_EQ(transfer.logText(), "");
}

TEST_F(WriteBlockTest, SetupBlocksGoDirectToTheMasterAndAddressedToALinkedUnit) {
    Bytes factory(45, 0);
    Bytes user(35, 0);
    user[6] = 1;
    ASSERT_FALSE(writeSetup(6, factory));
    ASSERT_FALSE(writeSetup(7, user));
    transfer.setUnits({true, 2});
    ASSERT_FALSE(writeSetup(7, Bytes(42, 0)));
    // Ticked but "Master": still the direct command.
    transfer.setUnits({true, 0});
    ASSERT_FALSE(writeSetup(6, factory));
    ASSERT_EQ(controller.commands(6).size(), 2u);
    ASSERT_EQ(controller.commands(7).size(), 1u);
    ASSERT_EQ(controller.commands(4).size(), 1u);
    EXPECT_EQ(dataOf(controller.commands(6)[0]).size(), 45u);
    EXPECT_EQ(dataOf(controller.commands(7)[0])[6], 1);
    const Bytes addressed = dataOf(controller.commands(4)[0]);
    EXPECT_EQ(addressed.size(), 44u);
    EXPECT_EQ(addressed[0], 1);
    EXPECT_EQ(addressed[1], 2);
}

TEST_F(WriteBlockTest, AllOnesOffsetReadAsMinusOneIsWrittenBackAsTheSameBytes) {
    const Bytes original{0x10, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 0, 0x80, 0, 0, 0, 0, 9, 9, 9, 9};
    controller.replyData[5] = original;
    ASSERT_FALSE(readBlock(3, UseroffsLayout, "Useroffs1"));
    const IniText ini(transfer.fileText());
    transfer.setSourceIni(ini.open());
    ASSERT_FALSE(writeBlock(3, UseroffsLayout, "Useroffs1"));
    Bytes expected{3, 0};
    expected.insert(expected.end(), original.begin(), original.end());
    expected[2] = 0;  // the checksum byte is not in the file
    EXPECT_EQ(dataOf(controller.commands(4).at(0)), expected);
}

// A restore's block writes on a line that loses frames: how long each try waits.
class AdaptiveWriteTest : public WriteBlockTest {
  protected:
    AdaptiveWriteTest() {
        controller.clock = &clock;
        transfer.setSourceIni(ini.open());
    }
    // Writes one Useroffs block; the fake clock's time it took, and whether it failed.
    std::pair<std::chrono::milliseconds, bool> timedWrite(int n) {
        const auto start = clock.now();
        const bool failed = writeBlock(n + 2, UseroffsLayout, "Useroffs" + std::to_string(n));
        return {clock.now() - start, failed};
    }

    const IniText ini{
        "[Useroffs1]\r\noffset1=1\r\n[Useroffs2]\r\noffset1=2\r\n"
        "[Useroffs3]\r\noffset1=3\r\n"};
};

TEST_F(AdaptiveWriteTest, BeforeAnyAnswerALostTryWaitsTheWholeSixSeconds) {
    controller.unansweredFor[4] = 1;
    const auto [took, failed] = timedWrite(1);
    EXPECT_FALSE(failed);
    EXPECT_GE(took, std::chrono::milliseconds(kWriteTimeoutMs));
    EXPECT_EQ(controller.commands(4).size(), 2u);
}

TEST_F(AdaptiveWriteTest, OnceAnsweredALostTryGoesAgainAfterFourTimesTheSlowestReply) {
    controller.replyDelay[4] = std::chrono::milliseconds(25);
    ASSERT_FALSE(timedWrite(1).second);
    // 4 x 25 ms is under the floor: the floor holds.
    EXPECT_EQ(transfer.writeRetryAfter(), kAdaptiveWriteFloor);
    controller.unansweredFor[4] = 1;
    auto [took, failed] = timedWrite(2);
    EXPECT_FALSE(failed);
    EXPECT_LT(took, kAdaptiveWriteFloor + std::chrono::milliseconds(100));
    // A slower controller earns a longer wait, so its own writes are not cut short.
    controller.replyDelay[4] = std::chrono::milliseconds(200);
    ASSERT_FALSE(timedWrite(3).second);
    EXPECT_EQ(transfer.writeRetryAfter(), std::chrono::milliseconds(800));
    // A new restore learns its controller afresh.
    transfer.resetWriteTimes();
    EXPECT_FALSE(transfer.writeRetryAfter());
}

TEST_F(AdaptiveWriteTest, AWriteNeverAnsweredKeepsItsFourTriesAndTheLastWaitsSixSeconds) {
    ASSERT_FALSE(timedWrite(1).second);
    controller.answering = false;
    const auto [took, failed] = timedWrite(2);
    EXPECT_TRUE(failed);
    EXPECT_EQ(controller.commands(4).size(), 5u);  // one for block 3, four tries for block 4
    EXPECT_GE(took, 3 * kAdaptiveWriteFloor + std::chrono::milliseconds(kWriteTimeoutMs));
    EXPECT_LT(took, std::chrono::milliseconds(kWriteTimeoutMs + 1500));
    ASSERT_TRUE(transfer.lastFault());
    EXPECT_EQ(transfer.lastFault()->kind, BlockFault::Kind::NoAnswer);
}

TEST_F(AdaptiveWriteTest, TurnedOffEveryTryWaitsTheWholeSixSeconds) {
    transfer.setAdaptiveWrite(false);
    ASSERT_FALSE(timedWrite(1).second);
    EXPECT_FALSE(transfer.writeRetryAfter());
    controller.unansweredFor[4] = 1;
    const auto [took, failed] = timedWrite(2);
    EXPECT_FALSE(failed);
    EXPECT_GE(took, std::chrono::milliseconds(kWriteTimeoutMs));
}

}  // namespace
}  // namespace kt6
