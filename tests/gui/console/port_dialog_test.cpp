// "Assign ports...": the devices offered, typed devices checked, the Test against a
// controller (on a port of its own, or on the open link), and the mapping saved.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <map>

#include "console/ports/port_assign_dialog.h"
#include "console/ports/serial_devices.h"
#include "console/status/status_bar.h"
#include "memory/profile_file.h"
#include "sim/simulated_serial_backend.h"
#include "support/loopback_listener.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using testing::WindowFixture;

class PortDialogTest : public WindowFixture {
  protected:
    PortAssignDialog* openDialog() {
        auto* item = find<QAction>("AssignPorts1");
        if (!item) return nullptr;
        item->trigger();
        return window->findChild<PortAssignDialog*>("PortAssignDialog");
    }
    // The window on the real network transports, its dialog open with COM6 on a server that
    // takes the connection and never negotiates (the open waits its full limit); the test
    // started.
    PortAssignDialog* testOnSilentServer(const testing::LoopbackListener& silent) {
        ConsoleOptions options = baseOptions();
        options.makeSerialBackend = nullptr;
        start(std::move(options));
        auto* dialog = openDialog();
        if (!dialog) return nullptr;
        dialog->selectCom(6);
        dialog->setDevice(QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.port()));
        dialog->test();
        return dialog;
    }
};

TEST_F(PortDialogTest, isTheLastItemOfTheComPortMenuAndListsAllThirteenPorts) {
    writeSettings("[Ports]\nCOM3=/dev/ttyUSB0\n");
    start();
    auto* menu = find<QMenu>("Comport1");
    ASSERT_TRUE(menu);
    EXPECT_EQ(caption(menu->actions().back()), "Assign ports...");
    auto* dialog = openDialog();
    ASSERT_TRUE(dialog);
    auto* list = dialog->findChild<QListWidget*>("lstPorts");
    ASSERT_EQ(list->count(), 13);
    EXPECT_EQ(list->item(0)->text(), "COM1: /dev/ttyS0 (default)");
    EXPECT_EQ(list->item(2)->text(), "COM3: /dev/ttyUSB0");
    EXPECT_EQ(dialog->currentCom(), 1);  // the port in use
}

TEST_F(PortDialogTest, theDeviceFieldCarriesItsCaptionForTheChosenPort) {
    start();
    auto* dialog = openDialog();
    ASSERT_TRUE(dialog);
    auto* device = dialog->findChild<QComboBox*>("cbDevice");
    ASSERT_TRUE(device);
    ASSERT_TRUE(device->lineEdit());
    auto* caption = qobject_cast<QLabel*>([&]() -> QObject* {
        for (auto* l : dialog->findChildren<QLabel*>())
            if (l->buddy() == device) return l;
        return nullptr;
    }());
    ASSERT_TRUE(caption);
    for (int com : {1, 4, 13}) {
        dialog->selectCom(com);
        const QString name = QStringLiteral("Device for COM%1").arg(com);
        EXPECT_EQ(QString(caption->text()).remove('&').remove(':'), name);
        // The list is labelled by the caption; the text inside it, where typing goes and the
        // focus with it, carries the caption as its name.
        const auto labels = accessible(device)->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), 1);
        EXPECT_EQ(labels.first().first->object(), caption);
        EXPECT_EQ(accessibleName(device->lineEdit()), name);
    }
}

// Each Alt+letter of the dialog reaches one control: the device field's Alt+D is its own.
TEST_F(PortDialogTest, everyMnemonicIsUsedOnceAndEachReachesItsControl) {
    start();
    auto* dialog = openDialog();
    ASSERT_TRUE(dialog);
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    std::map<QChar, QStringList> captions;
    const auto mnemonic = [](const QString& text) {
        const qsizetype at = text.indexOf(u'&');
        return at >= 0 && at + 1 < text.size() ? text[at + 1].toLower() : QChar();
    };
    for (auto* l : dialog->findChildren<QLabel*>())
        if (QChar m = mnemonic(l->text()); !m.isNull()) captions[m] << l->text();
    for (auto* b : dialog->findChildren<QAbstractButton*>())
        if (QChar m = mnemonic(b->text()); !m.isNull()) captions[m] << b->text();
    for (const auto& [letter, owners] : captions)
        EXPECT_EQ(owners.size(), 1) << owners.join(", ").toStdString();

    dialog->selectCom(3);
    auto* device = dialog->findChild<QComboBox*>("cbDevice");
    dialog->findChild<QListWidget*>("lstPorts")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_D, Qt::AltModifier);
    EXPECT_TRUE(device->hasFocus() || device->lineEdit()->hasFocus());
    dialog->setDevice("/dev/ttyUSB7");
    ASSERT_EQ(dialog->mapping()[2], "/dev/ttyUSB7");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::AltModifier);
    // A mnemonic presses its button as an animated click, a moment later.
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->mapping()[2].isEmpty(); }, 5000));
    EXPECT_EQ(device->currentText(), "/dev/ttyS2");
}

TEST_F(PortDialogTest, testAsksAControllerOnAPortOfItsOwn) {
    ConsoleOptions options = baseOptions();
    options.makeSerialBackend = [] { return sim::makeSimulatedSerialBackend(); };
    start(std::move(options));
    auto* dialog = openDialog();
    ASSERT_TRUE(dialog);
    dialog->selectCom(4);
    dialog->setDevice("/dev/ttyUSB3");
    dialog->test();
    // The window goes on while the controller is asked; the answer comes from the loop.
    EXPECT_EQ(dialog->testResult(), "Testing /dev/ttyUSB3...");
    EXPECT_FALSE(dialog->findChild<QWidget*>("btTest")->isEnabled());
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return dialog->testResult() == "Controller answers: firmware 1.13, 3 drivers"; },
        5000))
        << dialog->testResult().toStdString();
    EXPECT_TRUE(dialog->findChild<QWidget*>("btTest")->isEnabled());
}

TEST_F(PortDialogTest, testOfANetworkPortConnectsBesideTheWindow) {
    testing::LoopbackListener silent;
    ASSERT_GT(silent.port(), 0);
    auto* dialog = testOnSilentServer(silent);
    ASSERT_TRUE(dialog);
    const QString device = QStringLiteral("rfc2217://127.0.0.1:%1").arg(silent.port());
    EXPECT_EQ(dialog->testResult(), "Testing " + device + "...");
    // The window's loop runs while the server keeps silent.
    bool fired = false;
    QTimer::singleShot(100, [&] { fired = true; });
    EXPECT_TRUE(QTest::qWaitFor([&] { return fired; }, 1000));
    EXPECT_EQ(dialog->testResult(), "Testing " + device + "...");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !dialog->testResult().startsWith(QStringLiteral("Testing")); }, 10000));
    EXPECT_TRUE(dialog->findChild<QWidget*>("btTest")->isEnabled());
}

TEST_F(PortDialogTest, closingTheDialogLetsGoOfATestStillConnecting) {
    testing::LoopbackListener silent;
    ASSERT_GT(silent.port(), 0);
    QPointer<PortAssignDialog> dialog = testOnSilentServer(silent);
    ASSERT_TRUE(dialog);
    const int connection = silent.accept(std::chrono::seconds(5));
    ASSERT_GE(connection, 0);
    // A single-client serial server's one connection is free for the port the operator
    // picks next, not held until the test's open gives up.
    dialog->close();
    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }, 1000));
    EXPECT_TRUE(
        testing::LoopbackListener::closedByPeer(connection, std::chrono::milliseconds(1000)));
}

TEST_F(PortDialogTest, testTellsWhyThereIsNoAnswer) {
    wire.openResult = [](const std::string& path) { return path == "/dev/ttyUSB9" ? ENOENT : 0; };
    start();
    auto* dialog = openDialog();
    ASSERT_TRUE(dialog);
    dialog->selectCom(2);
    dialog->setDevice("/dev/ttyUSB9");
    dialog->test();
    EXPECT_TRUE(dialog->testResult().contains("/dev/ttyUSB9: no such device"))
        << dialog->testResult().toStdString();
    // The answer comes while the focus is on "Test": a screen reader is told it unasked.
    QAccessibleInterface* result = accessible(dialog->findChild<QLabel*>("lTestResult"));
    EXPECT_EQ(result->role(), QAccessible::Notification);
    EXPECT_EQ(result->text(QAccessible::Name), dialog->testResult());
    dialog->setDevice("ttyUSB9");
    dialog->test();
    EXPECT_TRUE(dialog->testResult().contains("neither a device path"));
}

TEST_F(PortDialogTest, testOnThePortInUseAsksOnTheOpenLink) {
    start();
    tick(2);
    const int opens = wire.openCount;
    auto* dialog = openDialog();
    ASSERT_TRUE(dialog);
    dialog->selectCom(1);
    controller.received.clear();
    dialog->test();
    settle();
    EXPECT_EQ(dialog->testResult(), "Controller answers: firmware 1.13, 3 drivers");
    EXPECT_EQ(wire.openCount, opens);
    EXPECT_EQ(controller.commands(1).size(), 1u);
    EXPECT_TRUE(wire.open);

    controller.answering = false;
    dialog->test();
    settle();
    EXPECT_TRUE(dialog->testResult().startsWith("No answer on the open port"));
}

TEST_F(PortDialogTest, acceptedMappingIsSavedKeepingTheRestOfTheFile) {
    writeSettings(
        "; station settings\r\n[General]\r\nSerialport=1\r\n[Ports]\r\nCOM2=/dev/ttyACM0\r\n");
    start();
    auto* dialog = openDialog();
    ASSERT_TRUE(dialog);
    dialog->selectCom(3);
    dialog->setDevice("/dev/serial/by-id/usb-FTDI-if00-port0");
    dialog->selectCom(5);
    dialog->setDevice("tcp://10.0.0.5:4001");
    dialog->accept();
    QCoreApplication::processEvents();
    const QByteArray saved = settingsText();
    EXPECT_TRUE(saved.startsWith("; station settings")) << saved.toStdString();
    ProfileFile file(settingsPath());
    EXPECT_EQ(file.readString("General", "Serialport", ""), "1");
    EXPECT_EQ(file.readString("Ports", "COM2", ""), "/dev/ttyACM0");
    EXPECT_EQ(file.readString("Ports", "COM3", ""), "/dev/serial/by-id/usb-FTDI-if00-port0");
    EXPECT_EQ(file.readString("Ports", "COM5", ""), "tcp://10.0.0.5:4001");
    EXPECT_EQ(find<QAction>("com3")->toolTip(), "/dev/serial/by-id/usb-FTDI-if00-port0");
    EXPECT_FALSE(window->consoleStatusBar()->eventText().isEmpty());
}

TEST_F(PortDialogTest, aTypedDeviceThatCannotBeRightKeepsTheDialogOpenAndWritesNothing) {
    writeSettings("[General]\r\nSerialport=1\r\n");
    start();
    auto* dialog = openDialog();
    ASSERT_TRUE(dialog);
    dialog->show();
    dialog->selectCom(7);
    dialog->setDevice("COM7");
    dialog->accept();
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->currentCom(), 7);
    EXPECT_TRUE(dialog->testResult().startsWith("COM7:"));
    EXPECT_EQ(settingsText(), QByteArray("[General]\r\nSerialport=1\r\n"));
}

}  // namespace
}  // namespace kt6
