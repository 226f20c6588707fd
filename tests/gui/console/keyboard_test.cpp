// The panel for keyboard and screen-reader users, and where the window opens.
#include <QAccessible>
#include <QApplication>
#include <QScreen>
#include <QTest>

#include "console/panel/key_button.h"
#include "console/panel/lamp.h"
#include "console/window_place.h"
#include "memory/profile_file.h"
#include "window_fixture.h"

namespace kt6 {
namespace {

using testing::WindowFixture;

class KeyboardTest : public WindowFixture {
  protected:
    void showActive() {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    std::vector<int> keysFor(QKeyCombination keys) {
        controller.received.clear();
        QTest::keyClick(window.get(), keys.key(), keys.keyboardModifiers());
        settleLink();
        return controller.keys();
    }
    QString accessibleName(QObject* o) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
        return a ? a->text(QAccessible::Name) : QString();
    }
};

TEST_F(KeyboardTest, everyKeyAndLampHasANameAndEveryKeyItsShortcutInItsTip) {
    start();
    const std::pair<const char*, const char*> kNames[] = {{"SpeedButton5", "40m band"},
                                                          {"SpeedButton6", "30m band"},
                                                          {"SpeedButton7", "20m band"},
                                                          {"SpeedButton8", "17m band"},
                                                          {"SpeedButton1", "15m band"},
                                                          {"SpeedButton2", "12m band"},
                                                          {"SpeedButton3", "10m band"},
                                                          {"SpeedButton4", "6m band"},
                                                          {"SpeedButton10", "Frequency up"},
                                                          {"SpeedButton11", "Frequency down"},
                                                          {"SpeedButton12", "Direction"},
                                                          {"Chiudi", "Power"},
                                                          {"BPower_ON", "Power"},
                                                          {"BLED_ON1", "Band lamp (lit band key)"}};
    for (const auto& [object, name] : kNames) {
        EXPECT_EQ(accessibleName(find(object)), name) << object;
    }
    EXPECT_EQ(tip("SpeedButton7"), "20m band (Ctrl+3)");
    EXPECT_EQ(tip("SpeedButton4"), "6m band (Ctrl+8)");
    EXPECT_EQ(tip("SpeedButton10"), "Frequency up (Ctrl+Up)");
    EXPECT_EQ(tip("Chiudi"), "Power (Ctrl+P)");
    EXPECT_TRUE(tip("lFreq").contains("Ctrl+F"));
    EXPECT_EQ(find("lFreq")->cursor().shape(), Qt::PointingHandCursor);
    // No key of the window is left without a name.
    for (KeyButton* key : window->findChildren<KeyButton*>()) {
        EXPECT_FALSE(accessibleName(key).isEmpty()) << key->objectName().toStdString();
    }
}

TEST_F(KeyboardTest, lampsTellTheirStateInTheirDescription) {
    controller.record.heading = 1;
    start();
    auto* lamp = find<Lamp>("ld180");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(lamp);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8("180\u00B0"));
    EXPECT_EQ(a->text(QAccessible::Description), QString::fromUtf8("180\u00B0: off"));
    tick(2);
    EXPECT_EQ(a->text(QAccessible::Description), QString::fromUtf8("180\u00B0: on"));
    EXPECT_EQ(
        QAccessible::queryAccessibleInterface(find("ldBidir"))->text(QAccessible::Description),
        "Bi-dir.: off");
}

TEST_F(KeyboardTest, eachShortcutSendsWhatItsClickSends) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
    start();
    showActive();
    const std::pair<QKeyCombination, std::vector<int>> kCases[] = {
        {Qt::CTRL | Qt::Key_1, {7, 13}}, {Qt::CTRL | Qt::Key_2, {6, 13}},
        {Qt::CTRL | Qt::Key_3, {5, 13}}, {Qt::CTRL | Qt::Key_4, {4, 13}},
        {Qt::CTRL | Qt::Key_5, {3, 13}}, {Qt::CTRL | Qt::Key_6, {2, 13}},
        {Qt::CTRL | Qt::Key_7, {1, 13}}, {Qt::CTRL | Qt::Key_8, {0, 13}},
        {Qt::CTRL | Qt::Key_Up, {10}},   {Qt::CTRL | Qt::Key_Down, {11}},
        {Qt::CTRL | Qt::Key_D, {9}},     {Qt::CTRL | Qt::Key_P, {12}}};
    for (const auto& [keys, sent] : kCases) {
        EXPECT_EQ(keysFor(keys), sent) << QKeySequence(keys).toString().toStdString();
    }
    // As a click does, a band shortcut lights its key.
    keysFor(Qt::CTRL | Qt::Key_3);
    EXPECT_EQ(find("BLED_ON1")->pos(), find("SpeedButton7")->pos());

    dialogs->answer = "14074";
    controller.received.clear();
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(dialogs->inputs, 1);
    ASSERT_EQ(controller.commands(3).size(), 1u);
}

TEST_F(KeyboardTest, shortcutsOfHiddenKeysDoNothingAndPowerPressesTheKeyOnTop) {
    start();
    tick(2);  // display on: the lit power key lies over the dark one
    showActive();
    ASSERT_TRUE(shown("BPower_ON"));
    find<QAbstractButton>("Button2")->click();  // the keys hide, as under a function screen
    EXPECT_TRUE(keysFor(Qt::CTRL | Qt::Key_3).empty());
    EXPECT_TRUE(keysFor(Qt::CTRL | Qt::Key_Up).empty());
    EXPECT_EQ(keysFor(Qt::CTRL | Qt::Key_P), std::vector<int>{12});
}

TEST_F(KeyboardTest, windowPlaceIsSavedAndRestoredWhenOnAScreen) {
    start();
    window->show();
    window->move(37, 41);
    const QPoint place = window->pos();
    window->close();
    ProfileFile saved(settingsPath());
    EXPECT_EQ(saved.readString("Window", "Left", ""), std::to_string(place.x()));
    EXPECT_EQ(saved.readString("Window", "Top", ""), std::to_string(place.y()));

    start();
    window->show();
    EXPECT_EQ(window->pos(), place);
}

TEST_F(KeyboardTest, windowPlaceOffEveryScreenOpensCentred) {
    writeSettings("[Window]\nLeft=5000\nTop=4000\n");
    start();
    window->show();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_TRUE(screen.contains(window->frameGeometry().center(), false));
    EXPECT_LE(std::abs(window->frameGeometry().center().x() - screen.center().x()), 2);
}

TEST(WindowPlaceTest, savedPlaceIsKeptOnlyWhileItsTitleBarIsOnAScreen) {
    const QList<QRect> screens{QRect(0, 0, 1920, 1080), QRect(1920, 0, 1280, 1024)};
    const QSize frame(640, 400);
    EXPECT_EQ(chooseWindowPlace(QPoint(2000, 100), frame, screens), QPoint(2000, 100));
    EXPECT_EQ(chooseWindowPlace(QPoint(1700, 100), frame, screens), QPoint(1700, 100));
    const QPoint centred(960 - 320, 540 - 200);
    EXPECT_EQ(chooseWindowPlace(QPoint(3300, 100), frame, screens), centred);
    EXPECT_EQ(chooseWindowPlace(QPoint(100, -50), frame, screens), centred);
    EXPECT_EQ(chooseWindowPlace(std::nullopt, frame, screens), centred);
}

}  // namespace
}  // namespace kt6
