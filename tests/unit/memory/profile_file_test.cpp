// Profile-file rules: defaults, case, quotes, duplicates, written form; edits in place that
// keep every other byte; atomic replacement; files that are not INI text left alone.
#include <gtest/gtest.h>

#include <filesystem>

#include "memory/profile_file.h"
#include "profile_file_fixture.h"

namespace kt6 {
namespace {

TEST_F(ProfileFileTest, missingFileAndKeysReadAsDefaults) {
    ProfileFile f(path);
    EXPECT_FALSE(f.existed());
    EXPECT_EQ(f.readString("General", "Serialport", "1"), "1");
    EXPECT_EQ(f.readInt("General", "Serialport", 7), 7);
    EXPECT_TRUE(f.sectionKeys("General").empty());
}

TEST_F(ProfileFileTest, namesIgnoreCaseAndValuesLoseBlanksAndOneQuotePair) {
    write("[general]\nSERIALPORT =  \"3\" \n[Ports]\ncom3='/dev/ttyUSB0'\nCOM4=\"\"x\"\"\n");
    ProfileFile f(path);
    EXPECT_EQ(f.readString("General", "Serialport", "1"), "3");
    EXPECT_EQ(f.readInt("GENERAL", "serialport", 1), 3);
    EXPECT_EQ(f.readString("ports", "COM3", ""), "/dev/ttyUSB0");
    EXPECT_EQ(f.readString("ports", "COM4", ""), "\"x\"");
}

TEST_F(ProfileFileTest, firstOfDuplicateKeysWins) {
    write("[OmniRig]\nRig1=0\nRig1=1\n");
    ProfileFile f(path);
    EXPECT_EQ(f.readString("OmniRig", "Rig1", "9"), "0");
}

TEST_F(ProfileFileTest, integersAreReadFromTheirLeadingDigits) {
    write("[General]\nSerialport=abc\nOther=12x\nNeg=-3\nHuge=99999999999\n");
    ProfileFile f(path);
    EXPECT_EQ(f.readInt("General", "Serialport", -1), -1);
    EXPECT_EQ(f.readInt("General", "Other", -1), 12);
    EXPECT_EQ(f.readInt("General", "Neg", 0), -3);
    EXPECT_EQ(f.readInt("General", "Huge", 7), 7);
}

TEST_F(ProfileFileTest, writesKeyEqualsValueAndCreatesDirectories) {
    path = dir / "sub" / "dir" / "skarnel.ini";
    {
        ProfileFile f(path);
        f.writeString("General", "Serialport", "1");
        f.writeString("OmniRig", "Rig1", "0");
        f.writeString("OmniRig", "Rig2", "1");
        ASSERT_TRUE(f.flush());
    }
    const std::string text = read();
    EXPECT_NE(text.find("Serialport=1"), std::string::npos);
    EXPECT_NE(text.find("Rig2=1"), std::string::npos);
    EXPECT_EQ(text.find(" = "), std::string::npos);
    ProfileFile again(path);
    EXPECT_EQ(again.sectionKeys("omnirig"), (std::vector<std::string>{"Rig1", "Rig2"}));
}

TEST_F(ProfileFileTest, rewritingAKeyKeepsOneCopyAndOtherContent) {
    write("[General]\nSerialport=2\n[Ports]\nCOM1=/dev/pts/9\n");
    {
        ProfileFile f(path);
        f.writeString("general", "SerialPort", "5");
        ASSERT_TRUE(f.flush());
    }
    ProfileFile f(path);
    EXPECT_EQ(f.readString("General", "Serialport", ""), "5");
    EXPECT_EQ(f.sectionKeys("General").size(), 1u);
    EXPECT_EQ(f.readString("Ports", "COM1", ""), "/dev/pts/9");
}

TEST_F(ProfileFileTest, crLfLineEndsStayCrLfAndNewLinesTakeThem) {
    write("[General]\r\nSerialport=2\r\n[OmniRig]\r\nRig1=1\r\n");
    {
        ProfileFile f(path);
        f.writeString("General", "Serialport", "5");
        f.writeString("OmniRig", "Rig2", "0");
        f.writeString("Radio1", "Model", "1");
        ASSERT_TRUE(f.flush());
    }
    EXPECT_EQ(read(),
              "[General]\r\nSerialport=5\r\n[OmniRig]\r\nRig1=1\r\nRig2=0\r\n"
              "[Radio1]\r\nModel=1\r\n");
}

TEST_F(ProfileFileTest, editingAKeyKeepsEveryOtherByte) {
    const std::string before =
        "; station settings\n"
        "\n"
        "[Ports]\n"
        "  COM3 = /dev/ttyUSB0   \n"
        "COM1=/dev/pts/9\n"
        "\n"
        "# the operator's own notes\n"
        "[Notes]\n"
        "antenna=4 el\n"
        "no equals sign here\n"
        "[General]\n"
        "Zeta=last\n"
        "Serialport =  2\t\n"
        "Alpha=first\n"
        "\n";
    write(before);
    {
        ProfileFile f(path);
        f.writeString("GENERAL", "serialport", "7");
        ASSERT_TRUE(f.flush());
    }
    std::string after = before;
    const std::string old = "Serialport =  2\t";
    after.replace(after.find(old), old.size(), "Serialport =  7");
    EXPECT_EQ(read(), after);
}

TEST_F(ProfileFileTest, newKeyGoesAfterTheLastKeyOfItsSection) {
    write("[OmniRig]\nRig1=1\n\n; next: ports\n[Ports]\nCOM1=/dev/ttyS0\n");
    {
        ProfileFile f(path);
        f.writeString("omnirig", "Rig2", "0");
        ASSERT_TRUE(f.flush());
    }
    EXPECT_EQ(read(), "[OmniRig]\nRig1=1\nRig2=0\n\n; next: ports\n[Ports]\nCOM1=/dev/ttyS0\n");
}

TEST_F(ProfileFileTest, newKeyInASectionWithNoKeysFollowsItsHeader) {
    write("[General]\n; nothing yet\n[Ports]\n");
    {
        ProfileFile f(path);
        f.writeString("General", "Serialport", "3");
        ASSERT_TRUE(f.flush());
    }
    EXPECT_EQ(read(), "[General]\nSerialport=3\n; nothing yet\n[Ports]\n");
}

TEST_F(ProfileFileTest, newSectionGoesAtTheEndAndAnUnendedLastLineIsEndedFirst) {
    write("[Ports]\r\nCOM1=/dev/ttyS0");
    {
        ProfileFile f(path);
        f.writeString("OmniRig", "Rig1", "0");
        f.writeString("OmniRig", "Rig2", "1");
        ASSERT_TRUE(f.flush());
    }
    EXPECT_EQ(read(), "[Ports]\r\nCOM1=/dev/ttyS0\r\n[OmniRig]\r\nRig1=0\r\nRig2=1\r\n");
}

TEST_F(ProfileFileTest, newFileTakesTheChosenLineEnd) {
    {
        ProfileFile f(path);
        f.setNewFileLineEnd("\r\n");
        f.writeString("Factory", "mot_maxvel", "1200");
        ASSERT_TRUE(f.flush());
    }
    EXPECT_EQ(read(), "[Factory]\r\nmot_maxvel=1200\r\n");
}

TEST_F(ProfileFileTest, quotedValuesKeepTheirOuterBlanksAndOtherValuesLoseThem) {
    {
        ProfileFile f(path);
        ASSERT_TRUE(f.writeString("User", "welcome", "\"  CIAO  \""));
        ASSERT_TRUE(f.writeString("User", "plain", "  x  "));
        ASSERT_TRUE(f.writeString("User", "inner", "a = b ; c"));
        ASSERT_TRUE(f.flush());
    }
    ProfileFile f(path);
    EXPECT_EQ(f.readString("User", "welcome", ""), "  CIAO  ");
    EXPECT_EQ(f.readString("User", "plain", ""), "x");
    EXPECT_EQ(f.readString("User", "inner", ""), "a = b ; c");
}

TEST_F(ProfileFileTest, namesAndValuesALineCannotCarryAreRefused) {
    write("[General]\nSerialport=2\n");
    ProfileFile f(path);
    EXPECT_FALSE(f.writeString("General", "Serialport", "3\n[Evil]"));
    EXPECT_FALSE(f.writeString("General", "Serialport", "3\r"));
    EXPECT_FALSE(f.writeString("General", "Serialport", std::string("3\0", 2)));
    EXPECT_FALSE(f.writeString("General", "a=b", "1"));
    EXPECT_FALSE(f.writeString("General", "", "1"));
    EXPECT_FALSE(f.writeString("General", " padded", "1"));
    EXPECT_FALSE(f.writeString("General", ";note", "1"));
    EXPECT_FALSE(f.writeString("General", "[x", "1"));
    EXPECT_FALSE(f.writeString("Gen]eral", "k", "1"));
    EXPECT_FALSE(f.writeString("General\n", "k", "1"));
    EXPECT_FALSE(f.writeString(" General", "k", "1"));
    ASSERT_TRUE(f.flush());
    EXPECT_EQ(read(), "[General]\nSerialport=2\n");
}

TEST_F(ProfileFileTest, duplicateSectionsReadAsOneAndEditWhereTheKeyIs) {
    write("[A]\nx=1\n[B]\nz=0\n[a]\ny=2\nX=9\n");
    {
        ProfileFile f(path);
        EXPECT_EQ(f.sectionKeys("A"), (std::vector<std::string>{"x", "y"}));
        EXPECT_EQ(f.sections(), (std::vector<std::string>{"A", "B"}));
        EXPECT_EQ(f.readString("a", "x", ""), "1");
        f.writeString("A", "y", "3");
        f.writeString("A", "w", "4");
        ASSERT_TRUE(f.flush());
    }
    EXPECT_EQ(read(), "[A]\nx=1\nw=4\n[B]\nz=0\n[a]\ny=3\nX=9\n");
}

TEST_F(ProfileFileTest, erasingASectionRemovesEveryCopyAndNothingElse) {
    write("; top\n[Keep]\nk=1\n[Gone]\ng=1\n; about gone\n[Keep2]\nk=2\n[gone]\ng=2\n");
    {
        ProfileFile f(path);
        f.eraseSection("GONE");
        EXPECT_FALSE(f.hasSection("Gone"));
        ASSERT_TRUE(f.flush());
    }
    EXPECT_EQ(read(), "; top\n[Keep]\nk=1\n[Keep2]\nk=2\n");
}

TEST_F(ProfileFileTest, aByteOrderMarkAndLoneCarriageReturnsAreReadAndKept) {
    write("\xEF\xBB\xBF[General]\rSerialport=4\r");
    {
        ProfileFile f(path);
        EXPECT_EQ(f.readInt("General", "Serialport", 0), 4);
        f.writeString("General", "Serialport", "6");
        f.writeString("General", "Extra", "1");
        ASSERT_TRUE(f.flush());
    }
    EXPECT_EQ(read(), "\xEF\xBB\xBF[General]\rSerialport=6\rExtra=1\r");
}

TEST_F(ProfileFileTest, aKeyAddedBeforeABlankLfLineInALoneCrFileKeepsTheBlankLine) {
    // The file's own line end is a lone CR; the new key's CR must not join the next LF.
    write("[a]\rk=1\n\n[b]\nx=2\n");
    {
        ProfileFile f(path);
        f.writeString("a", "z", "v");
        ASSERT_TRUE(f.flush());
    }
    EXPECT_EQ(read(), "[a]\rk=1\nz=v\r\n\n[b]\nx=2\n");
    ProfileFile again(path);
    EXPECT_EQ(again.readString("a", "z", ""), "v");
    EXPECT_EQ(again.text(), read());
}

TEST_F(ProfileFileTest, fileWithANulByteIsNeitherReadNorWritten) {
    const std::string before =
        std::string("[General]\nSerialport=3\n[Ports]\nCOM3=x\0y\n", 40) + "[OmniRig]\nRig1=1\n";
    write(before);
    ProfileFile f(path);
    EXPECT_TRUE(f.existed());
    EXPECT_NE(f.problem().find("NUL"), std::string::npos);
    EXPECT_EQ(f.readString("General", "Serialport", "1"), "1") << "defaults, not a part of it";
    EXPECT_FALSE(f.writeString("OmniRig", "Rig1", "0"));
    std::string error;
    EXPECT_FALSE(f.flush(&error));
    EXPECT_NE(error.find(path.string()), std::string::npos);
    EXPECT_EQ(read(), before);
}

TEST_F(ProfileFileTest, textWithNoSectionIsNotTakenForSettings) {
    const std::string before = "#!/bin/sh\nPORT=/dev/ttyS0\nexec skarnel-kt6\n";
    write(before);
    ProfileFile f(path);
    EXPECT_FALSE(f.problem().empty());
    EXPECT_FALSE(f.flush());
    EXPECT_EQ(read(), before);
    // Comments and blank lines alone are an empty settings file, not some other file.
    write("; nothing set yet\n\n");
    EXPECT_TRUE(ProfileFile(path).problem().empty());
}

TEST_F(ProfileFileTest, pathThatIsNotARegularFileIsNeverReplaced) {
    std::filesystem::create_directories(path);
    ProfileFile f(path);
    EXPECT_TRUE(f.existed());
    EXPECT_FALSE(f.problem().empty());
    EXPECT_FALSE(f.flush());
    EXPECT_TRUE(std::filesystem::is_directory(path));
}

TEST_F(ProfileFileTest, folderThatCannotBeMadeFailsTheWrite) {
    write("not a folder");
    ProfileFile f(path / "skarnel.ini");
    f.writeString("General", "Serialport", "1");
    std::string error;
    EXPECT_FALSE(f.flush(&error));
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(read(), "not a folder");
}

TEST(ProfileValue, trimRules) {
    EXPECT_EQ(trimProfileValue("  a b  "), "a b");
    EXPECT_EQ(trimProfileValue("'x'"), "x");
    EXPECT_EQ(trimProfileValue("\"x'"), "\"x'");
    EXPECT_EQ(trimProfileValue("\""), "\"");
    EXPECT_EQ(trimProfileValue("   "), "");
}

}  // namespace
}  // namespace kt6
