// Profile-file rules: defaults, case, quotes, duplicates, written form.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "memory/profile_file.h"

namespace kt6 {
namespace {

class ProfileFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("kt6-profile-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        path = dir / "skarnel.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    void write(const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
    std::string read() {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::filesystem::path dir, path;
};

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

TEST(ProfileValue, trimRules) {
    EXPECT_EQ(trimProfileValue("  a b  "), "a b");
    EXPECT_EQ(trimProfileValue("'x'"), "x");
    EXPECT_EQ(trimProfileValue("\"x'"), "\"x'");
    EXPECT_EQ(trimProfileValue("\""), "\"");
    EXPECT_EQ(trimProfileValue("   "), "");
}

}  // namespace
}  // namespace kt6
