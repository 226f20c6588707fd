// "Config Radio" checks what is typed before accepting it, and its Test buttons test the
// rig with what the dialog holds.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "radio/rig_settings_dialog.h"

namespace kt6 {
namespace {

std::vector<RigModelInfo> someModels() {
    return {{1, "Hamlib", "Dummy", false},
            {2, "Hamlib", "NET rigctl", true},
            {1035, "Yaesu", "FT-991", false}};
}

template <typename T>
T* control(QWidget& dialog, const char* name) {
    T* c = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

TEST(RigPortChecks, portsAndSpeedsAreCheckedForTheirModel) {
    RigPortSettings net;  // NET rigctl
    for (const char* good : {"localhost:4532", "10.0.0.9:4532", ""}) {
        net.port = good;
        EXPECT_EQ(rigPortProblem(net), "") << good;
    }
    for (const char* bad : {"localhost", "localhost:", "host:45x", ":4532"}) {
        net.port = bad;
        EXPECT_NE(rigPortProblem(net), "") << bad;
    }
    // A port number out of range says so, in every form it may be typed.
    const std::pair<const char*, const char*> kOutOfRange[] = {
        {"host:0", "port 0 is out of range 1-65535"},
        {"host:70000", "port 70000 is out of range 1-65535"},
        {"localhost:99999", "port 99999 is out of range 1-65535"},
        {"10.0.0.9:123456789012", "port 123456789012 is out of range 1-65535"}};
    for (const auto& [port, problem] : kOutOfRange) {
        net.port = port;
        EXPECT_EQ(rigPortProblem(net), problem) << port;
    }
    for (const char* edge : {"host:1", "host:65535", "host:000080"}) {
        net.port = edge;
        EXPECT_EQ(rigPortProblem(net), "") << edge;
    }
    RigPortSettings serial{1035, "/dev/null", 38400};
#ifndef _WIN32
    // A serial port is a device file that must be there: POSIX paths.
    EXPECT_EQ(rigPortProblem(serial), "");
    serial.port = "/dev/kt6-no-such-radio";
    EXPECT_EQ(rigPortProblem(serial), "/dev/kt6-no-such-radio: no such device");
#endif
    serial.port = "ttyUSB0";
    EXPECT_NE(rigPortProblem(serial), "");
    serial.model = 0;  // no rig: nothing to check
    EXPECT_EQ(rigPortProblem(serial), "");

    for (const char* good : {"", "Default", "9600", "4000000"})
        EXPECT_EQ(rigSpeedProblem(good), "") << good;
    for (const char* bad : {"fast", "0", "4000001", "-9600", "96 00"}) {
        EXPECT_NE(rigSpeedProblem(bad), "") << bad;
    }
}

TEST(RigDialogChecks, wrongSettingsKeepTheDialogOpenWithTheReason) {
    RigSettingsDialog dialog(someModels());
    dialog.setSettings(defaultRigSettings());
    dialog.show();
    control<QLineEdit>(dialog, "edPort1")->setText("localhost");
    control<QComboBox>(dialog, "cbSpeed2")->setEditText("fast");
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    const QString problems = control<QLabel>(dialog, "lRigProblems")->text();
    EXPECT_TRUE(problems.contains("Rig 1: \"localhost\" needs a host and a port"))
        << problems.toStdString();
    EXPECT_TRUE(problems.contains("Rig 2: speed \"fast\"")) << problems.toStdString();
    control<QLineEdit>(dialog, "edPort1")->setText("localhost:99999");
    dialog.accept();
    EXPECT_TRUE(control<QLabel>(dialog, "lRigProblems")
                    ->text()
                    .contains("Rig 1: port 99999 is out of range 1-65535"));

    control<QLineEdit>(dialog, "edPort1")->setText("localhost:4532");
    control<QComboBox>(dialog, "cbSpeed2")->setEditText("19200");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST(RigDialogChecks, testUsesTheDialogsSettingsAndShowsTheAnswer) {
    RigSettingsDialog dialog(someModels());
    dialog.setSettings(defaultRigSettings());
    std::vector<std::pair<int, RigPortSettings>> asked;
    std::function<void(const QString&)> pending;
    dialog.setTester(
        [&](int n, const RigPortSettings& s, std::function<void(const QString&)> done) {
            asked.emplace_back(n, s);
            pending = std::move(done);
        });
    control<QLineEdit>(dialog, "edPort2")->setText("127.0.0.1:4600");
    control<QPushButton>(dialog, "btTest2")->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, 2);
    EXPECT_EQ(asked[0].second.port, "127.0.0.1:4600");
    EXPECT_EQ(dialog.testResult(2), "Testing...");
    pending("Online, 14.074000 MHz, USB");
    EXPECT_EQ(dialog.testResult(2), "Online, 14.074000 MHz, USB");
    EXPECT_EQ(dialog.testResult(1), "");

    // Settings that cannot be tried are not handed to the tester.
    control<QLineEdit>(dialog, "edPort1")->setText("localhost");
    dialog.test(1);
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_TRUE(dialog.testResult(1).contains("needs a host and a port"));

    // An answer that comes after a newer test started is not shown.
    control<QPushButton>(dialog, "btTest2")->click();
    auto stale = pending;
    control<QPushButton>(dialog, "btTest2")->click();
    stale("Not responding (old)");
    EXPECT_EQ(dialog.testResult(2), "Testing...");
}

}  // namespace
}  // namespace kt6
