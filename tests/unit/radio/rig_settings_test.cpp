// The "Radio1"/"Radio2" settings: defaults, round trip, and hand-edited values.
#include "radio/rig_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "memory/profile_file.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;

class RigSettingsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() /
              ("kt6-rigsettings-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        path = dir / "skarnel.ini";
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir, path;
};

TEST_F(RigSettingsTest, MissingFileGivesNetRigctlOnTheTwoRigctldPorts) {
    const RigSettings s = loadRigSettings(ProfileFile(path));
    EXPECT_EQ(s.rig(1).model, 2);
    EXPECT_EQ(s.rig(1).port, "localhost:4532");
    EXPECT_EQ(s.rig(2).model, 2);
    EXPECT_EQ(s.rig(2).port, "localhost:4534");
    EXPECT_EQ(s.rig(1).speed, 0);
    EXPECT_EQ(s.rig(2).poll, 100ms);
}

TEST_F(RigSettingsTest, SavedSettingsReadBackAndLeaveOtherSectionsAlone) {
    {
        ProfileFile f(path);
        f.writeString("OmniRig", "Rig1", "1");
        ASSERT_TRUE(f.flush());
    }
    RigSettings s = defaultRigSettings();
    s.rig(1) = {1035, "/dev/ttyUSB0", 38400, 500ms};
    s.rig(2) = {0, "", 0, 1000ms};
    {
        ProfileFile f(path);
        saveRigSettings(f, s);
        ASSERT_TRUE(f.flush());
    }
    ProfileFile f(path);
    EXPECT_EQ(loadRigSettings(f), s);
    EXPECT_EQ(f.readString("OmniRig", "Rig1", ""), "1");
    EXPECT_EQ(f.readString("Radio1", "Model", ""), "1035");
    EXPECT_EQ(f.readString("radio2", "pollms", ""), "1000");
}

TEST_F(RigSettingsTest, HandEditedValuesAreBroughtIntoRange) {
    std::ofstream(path) << "[Radio1]\r\nModel=-7\r\nSpeed=99999999\r\nPollMs=1\r\n"
                           "[Radio2]\r\nModel=abc\r\nPort=\" 10.0.0.5:4532 \"\r\nPollMs=600000\r\n";
    const RigSettings s = loadRigSettings(ProfileFile(path));
    EXPECT_EQ(s.rig(1).model, 0);
    EXPECT_EQ(s.rig(1).speed, kMaxSerialSpeed);
    EXPECT_EQ(s.rig(1).poll, kMinRigPoll);
    EXPECT_EQ(s.rig(1).port, "localhost:4532");
    EXPECT_EQ(s.rig(2).model, 2);
    EXPECT_EQ(s.rig(2).port, "10.0.0.5:4532");
    EXPECT_EQ(s.rig(2).poll, kMaxRigPoll);
}

TEST_F(RigSettingsTest, LoggerSourcesKeepTheirPortAddressRadioAndStep) {
    RigSettings s = defaultRigSettings();
    EXPECT_EQ(s.rig(1).source, RigSource::Hamlib);
    EXPECT_EQ(s.rig(1).radioNumber, 1);
    EXPECT_EQ(s.rig(2).radioNumber, 2);
    EXPECT_EQ(s.rig(2).stepKHz, 1);
    EXPECT_EQ(s.rig(2).bind, "127.0.0.1");
    s.rig(1).source = RigSource::N1mm;
    s.rig(1).udpPort = 12061;
    s.rig(1).radioNumber = 2;
    s.rig(1).stepKHz = 5;
    s.rig(2).source = RigSource::Wsjtx;
    s.rig(2).udpPort = 2237;
    s.rig(2).bind = "0.0.0.0";
    {
        ProfileFile f(path);
        saveRigSettings(f, s);
        ASSERT_TRUE(f.flush());
    }
    ProfileFile f(path);
    EXPECT_EQ(loadRigSettings(f), s);
    EXPECT_EQ(f.readString("Radio1", "Source", ""), "N1MM");
    EXPECT_EQ(f.readString("Radio2", "Source", ""), "WSJTX");
    EXPECT_EQ(f.readString("Radio1", "StepKHz", ""), "5");
}

TEST_F(RigSettingsTest, AHandWrittenLoggerSourceTakesItsDefaultsAndRangesHold) {
    std::ofstream(path) << "[Radio1]\r\nSource=wsjtx\r\nStepKHz=0\r\n"
                           "[Radio2]\r\nSource=Omni\r\nUdpPort=70000\r\nRadioNr=500\r\n"
                           "StepKHz=99999\r\n";
    const RigSettings s = loadRigSettings(ProfileFile(path));
    EXPECT_EQ(s.rig(1).source, RigSource::Wsjtx);
    EXPECT_EQ(s.rig(1).udpPort, 2237);
    EXPECT_EQ(s.rig(1).stepKHz, 1);
    // An unknown source is Hamlib, as before there were others.
    EXPECT_EQ(s.rig(2).source, RigSource::Hamlib);
    EXPECT_EQ(s.rig(2).radioNumber, 99);
    EXPECT_EQ(s.rig(2).stepKHz, kMaxStepKHz);
    RigPortSettings udp = s.rig(1);
    EXPECT_EQ(rigUdpProblem(udp), "");
    udp.bind = "shack-pc";
    EXPECT_NE(rigUdpProblem(udp).find("is not an IP address"), std::string::npos);
}

}  // namespace
}  // namespace kt6
