// A block read into the setup log, and the look-ups that pick values out of the log, on a
// controller stand-in whose replies the test writes byte by byte.
#include <gtest/gtest.h>

#include "memory/block_transfer.h"
#include "memory/setup_log.h"
#include "support/scripted_transfer.h"

namespace kt6 {
namespace {

class ReadBlockTest : public ::testing::Test, protected testing::ScriptedTransfer {
  protected:
    // The next block read is answered with these data bytes.
    void replyWith(Bytes data) { controller.replyData[5] = std::move(data); }
};

TEST_F(ReadBlockTest, FourByteFieldsWithTheTopBitSetAreLoggedNegative) {
    replyWith({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0x05, 0, 0, 0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4});
    std::vector<std::string> shown;
    transfer.setLogSink([&](std::string_view line) { shown.emplace_back(line); });
    ASSERT_FALSE(readBlock(3, UseroffsLayout, "Useroffs1"));
    EXPECT_EQ(transfer.logText(),
              "[Useroffs1]\r\noffset1=-1\r\noffset2=5\r\noffset3=-2\r\noffset4=67305985\r\n\r\n");
    // Whoever shows the log gets the same lines, without their line ends.
    EXPECT_EQ(shown, (std::vector<std::string>{"[Useroffs1]", "offset1=-1", "offset2=5",
                                               "offset3=-2", "offset4=67305985", ""}));
    // The request carried block 3 for the master.
    ASSERT_EQ(controller.commands(5).size(), 1u);
    EXPECT_EQ(controller.commands(5)[0], (Bytes{controller.commands(5)[0][0], 5, 3, 0}));
}

TEST_F(ReadBlockTest, TextDropsZeroBytesWhereverTheyStand) {
    Bytes data(35, 0);
    data[8] = 'A';
    data[9] = 'B';
    data[10] = 0;
    data[11] = 'C';
    data[20] = 0xE8;  // an 8-bit character stays a single byte
    replyWith(data);
    ASSERT_FALSE(readBlock(1, UserLayout1, "User"));
    EXPECT_NE(transfer.logText().find("\r\nwelcome=ABC\xE8\r\n"), std::string::npos);
}

TEST_F(ReadBlockTest, ChecksumIsReadButNeverLoggedAndExtraBytesAreIgnored) {
    replyWith({0x77, 1, 0, 2, 0, 3, 0, 4, 0, 0xAA, 0xBB, 0xCC});
    ASSERT_FALSE(readBlock(37, FactoryTuneLayout, "FactoryTune1"));
    EXPECT_EQ(transfer.logText(),
              "[FactoryTune1]\r\nTune1=1\r\nTune2=2\r\nTune3=3\r\nTune4=4\r\n\r\n");
}

TEST_F(ReadBlockTest, AReplyOneByteShortLogsEveryFieldButTheLastThenTheDataError) {
    // Eight of the nine bytes: the frame's checksum byte must not stand in for the ninth.
    replyWith({0, 1, 0, 2, 0, 3, 0, 4});
    EXPECT_TRUE(readBlock(37, FactoryTuneLayout, "FactoryTune1"));
    EXPECT_EQ(transfer.logText(),
              "[FactoryTune1]\r\nTune1=1\r\nTune2=2\r\nTune3=3\r\nErrore nei dati.\r\n");
    EXPECT_EQ(transfer.fileText(), transfer.logText());
}

TEST_F(ReadBlockTest, AFailedReadLogsNothing) {
    controller.answering = false;
    EXPECT_TRUE(readBlock(0, FactoryLayout2, "Factory"));
    EXPECT_EQ(transfer.logText(), "");
    EXPECT_EQ(controller.commands(5).size(), 4u);  // four tries
}

TEST_F(ReadBlockTest, TheSelectorAddressesTheChosenUnitOnlyWhileLinked) {
    replyWith(Bytes(9, 0));
    transfer.setUnits({false, 2});
    readBlock(40, FactoryTuneLayout, "FactoryTune4");
    transfer.setUnits({true, 2});
    readBlock(40, FactoryTuneLayout, "FactoryTune4");
    const auto reads = controller.commands(5);
    ASSERT_EQ(reads.size(), 2u);
    EXPECT_EQ(Bytes(reads[0].begin() + 2, reads[0].end()), (Bytes{40, 0}));
    EXPECT_EQ(Bytes(reads[1].begin() + 2, reads[1].end()), (Bytes{40, 2}));
}

TEST_F(ReadBlockTest, FileTextQuotesOnlyTextsThatReadingWouldChange) {
    Bytes data(108, 0);
    const std::string model = "  KT6  ";
    std::copy(model.begin(), model.end(), data.begin() + 35);
    const std::string welcome = "'hi'";
    std::copy(welcome.begin(), welcome.end(), data.begin() + 51);
    const std::string message = "a \"b\" c";
    std::copy(message.begin(), message.end(), data.begin() + 88);
    replyWith(data);
    ASSERT_FALSE(readBlock(0, FactoryLayout2, "Factory"));
    // The log keeps the texts as they are: the panel shows them from there.
    EXPECT_EQ(LogText(transfer.logText(), "model"), "  KT6  ");
    EXPECT_NE(transfer.fileText().find("\r\nmodel=\"  KT6  \"\r\n"), std::string::npos);
    EXPECT_NE(transfer.fileText().find("\r\nwelcome=\"'hi'\"\r\n"), std::string::npos);
    EXPECT_NE(transfer.fileText().find("\r\nv24mess=a \"b\" c\r\n"), std::string::npos);
    EXPECT_NE(transfer.fileText().find("\r\nmot_maxvel=0\r\n"), std::string::npos);
}

TEST_F(ReadBlockTest, OnlyCarriageReturnAndLineFeedOfATextBecomeSpacesInTheFile) {
    Bytes data(108, 0);
    const std::string model = "A\x01\t\x1F\x7F\xFF\r\nZ\x0B\x0C\x1A\xE8";
    std::copy(model.begin(), model.end(), data.begin() + 35);
    data[45] = 0;  // a NUL inside the text is still dropped
    replyWith(data);
    ASSERT_FALSE(readBlock(0, FactoryLayout2, "Factory"));
    EXPECT_NE(transfer.fileText().find("\r\nmodel=A\x01\t\x1F\x7F\xFF  Z\x0B\x1A\xE8\r\n"),
              std::string::npos);
    // The log keeps the text as read: the panel shows it from there.
    EXPECT_NE(transfer.logText().find("\r\nmodel=A\x01\t\x1F\x7F\xFF\r\nZ\x0B\x1A\xE8\r\n"),
              std::string::npos);
    EXPECT_EQ(transfer.spacedTexts(), std::vector<std::string>{"model [Factory]"});
    transfer.clearLog();
    EXPECT_TRUE(transfer.spacedTexts().empty());
}

TEST(LogLookups, IntegerFindsTheExactNameAndTheFirstSection) {
    const std::string log =
        "[Factory]\r\nmax_estensio2=222\r\nmax_estensio=111\r\neeprom_vers=3\r\nreser=\r\n\r\n"
        "[User]\r\neeprom_vers=9\r\nreser=\r\n\r\n";
    EXPECT_EQ(LogInteger(log, "max_estensio"), 111);
    EXPECT_EQ(LogInteger(log, "max_estensio2"), 222);
    EXPECT_EQ(LogInteger(log, "eeprom_vers"), 3);
    EXPECT_EQ(LogInteger(log, "reser"), 0);
    EXPECT_EQ(LogInteger(log, "missing"), 0);
}

TEST(LogLookups, IntegerTakesLeadingDigitsOnlyAndNegativesGiveZero) {
    EXPECT_EQ(LogInteger("a=12x\r\n", "a"), 12);
    EXPECT_EQ(LogInteger("offset1=-30\r\n", "offset1"), 0);
    EXPECT_EQ(LogInteger("a=99999999999\r\n", "a"), 0);
}

TEST(LogLookups, TextRunsToTheLineEnd) {
    const std::string log = "[Factory]\r\nmodel=  KT 6 \r\nwelcome=Ciao\r\n";
    EXPECT_EQ(LogText(log, "model"), "  KT 6 ");
    EXPECT_EQ(LogText(log, "welcome"), "Ciao");
    EXPECT_EQ(LogText("model=end", "model"), "end");
    EXPECT_EQ(LogText(log, "v24mess"), "");
}

TEST(IniQuoting, OuterBlanksAndMatchingQuotesAreProtected) {
    EXPECT_EQ(quoteIniText("plain text"), "plain text");
    EXPECT_EQ(quoteIniText(""), "");
    EXPECT_EQ(quoteIniText(" centred "), "\" centred \"");
    EXPECT_EQ(quoteIniText("tab\t"), "\"tab\t\"");
    EXPECT_EQ(quoteIniText("\"x\""), "\"\"x\"\"");
    EXPECT_EQ(quoteIniText("'x'"), "\"'x'\"");
    EXPECT_EQ(quoteIniText("'x\""), "'x\"");
    EXPECT_EQ(quoteIniText("\""), "\"");
}

}  // namespace
}  // namespace kt6
