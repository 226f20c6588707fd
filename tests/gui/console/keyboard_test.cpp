// The panel for keyboard and screen-reader users, and where the window opens.
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <map>
#include <set>
#include <string_view>

#include "console/panel/key_button.h"
#include "console/panel/lamp.h"
#include "console/window_place.h"
#include "link/status.h"
#include "memory/profile_file.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using testing::WindowFixture;

class KeyboardTest : public WindowFixture {
  protected:
    std::vector<int> keysFor(QKeyCombination keys) {
        controller.received.clear();
        QTest::keyClick(window.get(), keys.key(), keys.keyboardModifiers());
        settle();
        return controller.keys();
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
                                                          {"BLED_ON1", "Band lamp"}};
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

TEST_F(KeyboardTest, lampsTellTheirStateInTheirNameAndDescription) {
    controller.record.heading = 1;
    controller.record.moving = true;
    start();
    auto* lamp = find<Lamp>("ld180");
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(lamp);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8("180\u00B0: off"));
    EXPECT_EQ(a->text(QAccessible::Description), QString::fromUtf8("180\u00B0: off"));
    tick(2);
    EXPECT_EQ(a->text(QAccessible::Name), QString::fromUtf8("180\u00B0: on"));
    EXPECT_EQ(a->text(QAccessible::Description), QString::fromUtf8("180\u00B0: on"));
    EXPECT_EQ(QAccessible::queryAccessibleInterface(find("ldBidir"))->text(QAccessible::Name),
              "Bi-dir.: off");
    // The Moving lamp blinks while the elements move, from its next step (every fifth link
    // tick): on in both of its colours.
    QAccessibleInterface* moving = QAccessible::queryAccessibleInterface(find("ldMove"));
    EXPECT_EQ(moving->text(QAccessible::Name), "Moving: off");
    for (int i = 0; i < 5; ++i) window->tmTimerTimer();
    std::set<NamedColour> colours;
    for (int i = 0; i < 20; ++i) {
        window->tmTimerTimer();
        colours.insert(find<Lamp>("ldMove")->colour());
        EXPECT_EQ(moving->text(QAccessible::Name), "Moving: on") << i;
    }
    EXPECT_GE(colours.size(), 2u);
    // The link lamps flicker with each frame: their state is in the description only.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(find("ldTX"))->text(QAccessible::Name), "Tx");
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

// --- the menus from the keyboard ---

TEST_F(KeyboardTest, menuCaptionsReadAsEverAndEachCarriesAMnemonicOfItsOwn) {
    start();
    const std::pair<const char*, const char*> kMenus[] = {{"Comport1", "Com port"},
                                                          {"Functions1", "Functions"},
                                                          {"CatRadio1", "Cat Radio"},
                                                          {"Help1", "Help"},
                                                          {"Manual1", "Manual"}};
    QStringList barLetters;
    for (const auto& [name, title] : kMenus) {
        auto* menu = find<QMenu>(name);
        ASSERT_TRUE(menu);
        EXPECT_EQ(caption(menu->menuAction()), title) << name;
        EXPECT_FALSE(QKeySequence::mnemonic(menu->title()).isEmpty()) << name;
        // No two items of one menu answer the same letter.
        QStringList letters;
        for (QAction* item : menu->actions()) {
            const QKeySequence letter = QKeySequence::mnemonic(item->text());
            if (letter.isEmpty()) continue;
            EXPECT_FALSE(letters.contains(letter.toString())) << item->text().toStdString();
            letters << letter.toString();
        }
        if (menu->parent() == window->menuBar())
            barLetters << QKeySequence::mnemonic(menu->title()).toString();
    }
    EXPECT_EQ(barLetters.removeDuplicates(), 0);
    const std::pair<const char*, const char*> kItems[] = {{"com1", "COM1"},
                                                          {"COM9", "COM9"},
                                                          {"COM13", "COM13"},
                                                          {"AssignPorts1", "Assign ports..."},
                                                          {"Calibrate1", "Calibrate"},
                                                          {"FactoryDefault1", "Factory Default"},
                                                          {"ModifyElemets1", "Modify elemets"},
                                                          {"Retract1", "Retract"},
                                                          {"estelements1", "Test elements"},
                                                          {"ConfigRadio1", "Config Radio"},
                                                          {"Radio1", "Radio 1"},
                                                          {"Radio21", "Radio 2"},
                                                          {"NoRadio1", "No Radio"},
                                                          {"ita2", "ita"},
                                                          {"eng1", "eng"},
                                                          {"Website2", "Web site"}};
    for (const auto& [name, text] : kItems) {
        QAction* item = find<QAction>(name);
        EXPECT_EQ(caption(item), text) << name;
        // A screen reader reads the caption too, not the mnemonic's mark.
        auto* menu = qobject_cast<QMenu*>(item->parent());
        ASSERT_TRUE(menu) << name;
        QAccessibleInterface* entry = accessible(menu)->child(menu->actions().indexOf(item));
        ASSERT_TRUE(entry) << name;
        EXPECT_EQ(entry->text(QAccessible::Name), text) << name;
    }
}

TEST_F(KeyboardTest, f10OpensTheFirstMenuAltLettersTheirsAndALetterTakesTheItem) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
    start();
    showActive();
    auto popup = [] { return qobject_cast<QMenu*>(QApplication::activePopupWidget()); };
    auto closeMenus = [&] {
        while (QMenu* open = popup()) QTest::keyClick(open, Qt::Key_Escape);
        // Escape leaves the bar waiting for a letter; a click elsewhere lets it go.
        QTest::keyClick(window->menuBar(), Qt::Key_Escape);
    };

    QTest::keyClick(window.get(), Qt::Key_F10);
    EXPECT_EQ(popup(), find<QMenu>("Comport1"));
    closeMenus();
    const std::pair<Qt::Key, const char*> kLetters[] = {{Qt::Key_C, "Comport1"},
                                                        {Qt::Key_F, "Functions1"},
                                                        {Qt::Key_R, "CatRadio1"},
                                                        {Qt::Key_H, "Help1"}};
    for (const auto& [letter, menu] : kLetters) {
        QTest::keyClick(window.get(), letter, Qt::AltModifier);
        EXPECT_EQ(popup(), find<QMenu>(menu)) << menu;
        closeMenus();
    }

    // Alt+R, then 1: "Radio 1" is followed.
    QTest::keyClick(window.get(), Qt::Key_R, Qt::AltModifier);
    ASSERT_EQ(popup(), find<QMenu>("CatRadio1"));
    QTest::keyClick(popup(), Qt::Key_1);
    EXPECT_EQ(popup(), nullptr);
    EXPECT_TRUE(find<QCheckBox>("ckOmni1")->isChecked());
    EXPECT_TRUE(find<QAction>("Radio1")->isChecked());
}

// --- the front panel from the keyboard ---

TEST_F(KeyboardTest, tabWalksTheKeysInShortcutOrderThenTheFrequencyLineAndNothingElse) {
    start();
    tick(2);
    showActive();
    const QStringList kCycle{"SpeedButton5",  "SpeedButton6",  "SpeedButton7",  "SpeedButton8",
                             "SpeedButton1",  "SpeedButton2",  "SpeedButton3",  "SpeedButton4",
                             "SpeedButton10", "SpeedButton11", "SpeedButton12", "Chiudi",
                             "lFreq"};
    QStringList walked;
    for (int i = 0; i < 2 * kCycle.size(); ++i) {
        QWidget* focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window.get(), Qt::Key_Tab);
        focus = QApplication::focusWidget();
        walked << (focus ? focus->objectName() : QStringLiteral("(none)"));
    }
    // Wherever the walk started, it runs round the panel in this order, and only round it:
    // no status field, no hidden control.
    const qsizetype first = walked.indexOf(kCycle.front());
    ASSERT_GE(first, 0) << walked.join(' ').toStdString();
    EXPECT_EQ(walked.mid(first, kCycle.size()), kCycle) << walked.join(' ').toStdString();
    for (const QString& name : walked) EXPECT_TRUE(kCycle.contains(name)) << name.toStdString();
}

TEST_F(KeyboardTest, spaceOrEnterPressesTheFocusedKeyAndOnTheFrequencyLineAsksForOne) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=0\n");
    start();
    tick(2);
    showActive();
    auto pressOn = [&](const char* name, Qt::Key key) {
        find(name)->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(QApplication::focusWidget(), find(name)) << name;
        controller.received.clear();
        QTest::keyClick(QApplication::focusWidget(), key);
        settle();
        return controller.keys();
    };
    EXPECT_EQ(pressOn("SpeedButton7", Qt::Key_Space), (std::vector<int>{5, 13}));
    EXPECT_EQ(pressOn("SpeedButton10", Qt::Key_Return), std::vector<int>{10});
    EXPECT_EQ(pressOn("SpeedButton11", Qt::Key_Enter), std::vector<int>{11});
    EXPECT_EQ(pressOn("Chiudi", Qt::Key_Space), std::vector<int>{12});

    dialogs->answer = "14074";
    pressOn("lFreq", Qt::Key_Return);
    settle();
    EXPECT_EQ(dialogs->inputs, 1);
    EXPECT_EQ(controller.commands(3).size(), 1u);
    dialogs->answer.reset();
    pressOn("lFreq", Qt::Key_Space);
    EXPECT_EQ(dialogs->inputs, 2);
}

TEST_F(KeyboardTest, theFocusedKeyShowsARingEvenUnderTheLitKeyOverIt) {
    start();
    tick(3);  // the display is on and the 40m key lit: both lie under lit faces
    showActive();
    ASSERT_TRUE(shown("BPower_ON"));
    ASSERT_EQ(find("BLED_ON1")->pos(), find("SpeedButton5")->pos());
    QWidget* panel = find("pnBlue");
    auto picture = [&](const char* name) {
        QWidget* w = find(name);
        const QRect place(w->mapTo(panel, QPoint(0, 0)), w->size());
        return panel->grab(place.adjusted(-3, -3, 3, 3)).toImage();
    };
    const char* kKeys[] = {"Chiudi", "SpeedButton5", "SpeedButton10", "lFreq"};
    std::map<std::string, QImage> unfocused;
    find("SpeedButton12")->setFocus(Qt::TabFocusReason);
    for (const char* key : kKeys) unfocused[key] = picture(key);
    for (const char* key : kKeys) {
        find(key)->setFocus(Qt::TabFocusReason);
        EXPECT_NE(picture(key), unfocused[key]) << key;
        for (const char* other : kKeys) {
            if (std::string_view(other) != key) {
                EXPECT_EQ(picture(other), unfocused[other]) << other << " while " << key;
            }
        }
    }
}

// --- what a screen reader finds ---

TEST_F(KeyboardTest, bandLampIsNamedForTheBandItLights) {
    start();
    window->show();
    EXPECT_EQ(accessibleName(find("BLED_ON1")), "Band lamp");
    tick(3);  // 7157 kHz: the reply, then the display that shows it
    EXPECT_EQ(accessibleName(find("BLED_ON1")), "Band lamp: 40m");
    find<QAbstractButton>("SpeedButton7")->click();
    settle();
    EXPECT_EQ(accessibleName(find("BLED_ON1")), "Band lamp: 20m");
    controller.record.frequency = 0;
    tick(3);
    ASSERT_FALSE(shown("BLED_ON1"));
    EXPECT_EQ(accessibleName(find("BLED_ON1")), "Band lamp");
}

TEST_F(KeyboardTest, powerIsOneKeyToAScreenReaderWhicheverFaceIsUp) {
    start();
    showActive();
    // Shown or not: a walk of the window meets one power key.
    auto powerKeys = [&] {
        int keys = 0;
        for (QAccessibleInterface* node : listedToAssistiveTechnology())
            keys += node->text(QAccessible::Name) == QStringLiteral("Power");
        return keys;
    };
    auto pressPower = [&] {
        controller.received.clear();
        for (KeyButton* key : window->findChildren<KeyButton*>()) {
            QAccessibleInterface* a = accessible(key);
            if (a->text(QAccessible::Name) == "Power" && !a->state().invisible)
                a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        }
        settle();
        return controller.keys();
    };
    tick(2);  // display on: the lit face lies over the dark one
    ASSERT_TRUE(shown("BPower_ON"));
    EXPECT_EQ(powerKeys(), 1);
    EXPECT_EQ(pressPower(), std::vector<int>{12});

    find<QAbstractButton>("Button2")->click();  // under a function screen only the lit face
    EXPECT_EQ(powerKeys(), 1);
    EXPECT_EQ(pressPower(), std::vector<int>{12});
    find<QAbstractButton>("Button3")->click();

    controller.record.flags = StatusRecord::kDisplayOff;
    tick(2);
    ASSERT_FALSE(shown("BPower_ON"));
    EXPECT_EQ(powerKeys(), 1);
    EXPECT_EQ(pressPower(), std::vector<int>{12});
}

TEST_F(KeyboardTest, hiddenHelpersAreNeitherShownNorPressableByAssistiveTechnology) {
    writeSettings("[OmniRig]\nRig1=0\nRig2=1\n");
    start();
    tick(2);
    showActive();
    for (const char* name :
         {"Panel1", "lStatus", "Label1", "ldTX", "ldRX", "ckOmni1", "ckOmni2", "btSetOmni",
          "Button1", "Button2", "Button3", "Button4", "lProgressBG", "lProgressFG", "SpeedButton9",
          "SpeedButton14", "BLED_ON", "BLED_MENU_ON", "mmLog"}) {
        QWidget* w = find(name);
        EXPECT_FALSE(w->isVisible()) << name;
        QAccessibleInterface* a = accessible(w);
        EXPECT_TRUE(a->state().invisible) << name;
        EXPECT_EQ(a->childCount(), 0) << name;
        if (QAccessibleActionInterface* actions = a->actionInterface()) {
            EXPECT_TRUE(actions->actionNames().isEmpty()) << name;
        }
    }
    // Not even listed, shown or not.
    std::vector<QObject*> listed;
    for (QAccessibleInterface* node : listedToAssistiveTechnology())
        listed.push_back(node->object());
    for (const char* name : {"Panel1", "lStatus", "ckOmni1", "btSetOmni", "Button2", "lProgressBG",
                             "SpeedButton14", "BLED_ON", "mmLog"}) {
        EXPECT_EQ(std::count(listed.begin(), listed.end(), find(name)), 0) << name;
    }
    EXPECT_EQ(std::count(listed.begin(), listed.end(), find("SpeedButton1")), 1);
    const QStringList seen = shownToAssistiveTechnology();
    for (const char* text :
         {"OK Vrenk v1.13 DRVs=3", "Porta seriale:", "Omnirig: use rig #1", "Omnirig: use rig #2",
          "Setup Omnirig", "disable sel COM PORT", "disable BUTTONS", "enable_bottons",
          "enable up_down", "Return", "Progress"}) {
        EXPECT_FALSE(seen.contains(QString::fromLatin1(text))) << text;
    }

    // Asked to press "disable BUTTONS" or tick a rig box, nothing happens.
    for (const char* name : {"Button2", "ckOmni1"}) {
        QAccessibleInterface* a = accessible(find(name));
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    }
    EXPECT_TRUE(find("SpeedButton1")->isVisible());
    EXPECT_FALSE(find<QCheckBox>("ckOmni1")->isChecked());

    // A key out of sight is out of reach too, as it is for the mouse.
    find<QAbstractButton>("Button2")->click();
    ASSERT_FALSE(find("SpeedButton1")->isVisible());
    controller.received.clear();
    for (const char* name : {"SpeedButton1", "SpeedButton14"}) {
        QAccessibleInterface* a = accessible(find(name));
        EXPECT_FALSE(
            a->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()))
            << name;
        a->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    }
    EXPECT_TRUE(controller.keys().empty());
    // On screen, a key is pressed as a click presses it.
    find<QAbstractButton>("Button3")->click();
    accessible(find("SpeedButton10"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    settle();
    EXPECT_EQ(controller.keys(), std::vector<int>{10});
}

TEST_F(KeyboardTest, whileTheDisplayIsOffItsLinesSaySoToAScreenReader) {
    controller.record.flags = StatusRecord::kDisplayOff;
    start();
    tick(2);
    ASSERT_FALSE(text("lFreq").isEmpty());
    EXPECT_EQ(accessibleName(find("lFreq")), "Frequency: display off");
    EXPECT_EQ(accessibleName(find("lBanda")), "Band: display off");
    EXPECT_EQ(accessibleName(find("Heading")), "Heading: display off");
    controller.record.flags = 0;
    tick(2);
    for (const char* line : {"lFreq", "lBanda", "Heading"}) {
        EXPECT_EQ(accessibleName(find(line)), text(line)) << line;
        EXPECT_FALSE(text(line).isEmpty()) << line;
    }
}

// --- where the window opens ---

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
