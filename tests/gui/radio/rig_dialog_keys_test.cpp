// "Config Radio" by keyboard and by source: a page per rig whose mnemonics reach their fields,
// only the rows the chosen source uses, and a Status row that says when it describes the
// settings in use rather than those a Test just tried.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <set>

#include "radio/rig_settings_dialog.h"

namespace kt6 {
namespace {

std::vector<RigModelInfo> someModels() {
    return {{1, "Hamlib", "Dummy", false}, {2, "Hamlib", "NET rigctl", true}};
}

template <typename T>
T* control(QWidget& dialog, const QString& name) {
    T* c = dialog.findChild<T*>(name);
    EXPECT_NE(c, nullptr) << name.toStdString();
    return c;
}

QChar mnemonic(const QString& text) {
    const auto at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() ? text.at(at + 1).toLower() : QChar();
}

TEST(RigDialogKeys, EveryVisibleCaptionHasItsOwnMnemonicAndAltReachesItsField) {
    RigSettingsDialog dialog(someModels());
    dialog.setSettings(defaultRigSettings());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    for (int page = 0; page < 2; ++page) {
        control<QTabWidget>(dialog, "tcRigs")->setCurrentIndex(page);
        std::multiset<QChar> letters;
        for (QLabel* label : dialog.findChildren<QLabel*>()) {
            // A caption of a field that takes the focus needs a letter to reach it.
            if (!label->isVisible() || !label->buddy() ||
                label->buddy()->focusPolicy() == Qt::NoFocus) {
                continue;
            }
            EXPECT_FALSE(mnemonic(label->text()).isNull()) << label->text().toStdString();
            letters.insert(mnemonic(label->text()));
        }
        for (QAbstractButton* b : dialog.findChildren<QAbstractButton*>()) {
            if (b->isVisible()) letters.insert(mnemonic(b->text()));
        }
        letters.insert(QLatin1Char('1'));
        letters.insert(QLatin1Char('2'));
        for (QChar c : letters) {
            if (!c.isNull()) {
                EXPECT_EQ(letters.count(c), 1u) << "Alt+" << QString(c).toStdString();
            }
        }
        const QString n = QString::number(page + 1);
        QTest::keyClick(&dialog, Qt::Key_M, Qt::AltModifier);
        EXPECT_TRUE(control<QComboBox>(dialog, "cbModel" + n)->hasFocus() ||
                    control<QComboBox>(dialog, "cbModel" + n)->lineEdit()->hasFocus());
        QTest::keyClick(&dialog, Qt::Key_P, Qt::AltModifier);
        EXPECT_TRUE(control<QLineEdit>(dialog, "edPort" + n)->hasFocus());
    }
    // Alt+2 turns to rig 2's page.
    control<QTabWidget>(dialog, "tcRigs")->setCurrentIndex(0);
    QTest::keyClick(&dialog, Qt::Key_2, Qt::AltModifier);
    EXPECT_EQ(control<QTabWidget>(dialog, "tcRigs")->currentIndex(), 1);
}

TEST(RigDialogKeys, TheSourceShowsItsOwnRowsAndTakesItsDefaultPort) {
    RigSettingsDialog dialog(someModels());
    dialog.setSettings(defaultRigSettings());
    dialog.show();
    auto* source = control<QComboBox>(dialog, "cbSource1");
    ASSERT_EQ(source->count(), 3);
    EXPECT_EQ(source->itemText(0), "Hamlib");
    EXPECT_EQ(source->itemText(1), "N1MM / DXLog UDP");
    EXPECT_EQ(source->itemText(2), "WSJT-X UDP");
    EXPECT_TRUE(control<QWidget>(dialog, "cbModel1")->isVisible());
    EXPECT_FALSE(control<QWidget>(dialog, "seUdpPort1")->isVisible());

    source->setCurrentIndex(1);
    EXPECT_FALSE(control<QWidget>(dialog, "cbModel1")->isVisible());
    EXPECT_FALSE(control<QWidget>(dialog, "edPort1")->isVisible());
    EXPECT_TRUE(control<QWidget>(dialog, "seRadioNr1")->isVisible());
    EXPECT_EQ(control<QSpinBox>(dialog, "seUdpPort1")->value(), 12060);
    source->setCurrentIndex(2);
    EXPECT_FALSE(control<QWidget>(dialog, "seRadioNr1")->isVisible());
    EXPECT_EQ(control<QSpinBox>(dialog, "seUdpPort1")->value(), 2237);
    // A port of the operator's own stays.
    control<QSpinBox>(dialog, "seUdpPort1")->setValue(2240);
    source->setCurrentIndex(1);
    EXPECT_EQ(control<QSpinBox>(dialog, "seUdpPort1")->value(), 2240);

    control<QSpinBox>(dialog, "seRadioNr1")->setValue(2);
    control<QSpinBox>(dialog, "seStep1")->setValue(5);
    control<QLineEdit>(dialog, "edBind1")->setText("0.0.0.0");
    const RigPortSettings r = dialog.settings().rig(1);
    EXPECT_EQ(r.source, RigSource::N1mm);
    EXPECT_EQ(r.udpPort, 2240);
    EXPECT_EQ(r.radioNumber, 2);
    EXPECT_EQ(r.stepKHz, 5);
    EXPECT_EQ(r.bind, "0.0.0.0");
    control<QLineEdit>(dialog, "edBind1")->setText("shack-pc");
    EXPECT_TRUE(dialog.problems().contains("is not an IP address"));
}

TEST(RigDialogKeys, TheStatusRowSaysWhenItIsAboutTheSettingsInUse) {
    RigSettingsDialog dialog(someModels());
    dialog.setSettings(defaultRigSettings());
    dialog.setStatusLine(1, "Port busy or missing: localhost:4532: connection refused");
    EXPECT_EQ(dialog.statusLine(1), "Port busy or missing: localhost:4532: connection refused");
    // New settings typed and tested: the row no longer reads as their verdict.
    control<QLineEdit>(dialog, "edPort1")->setText("localhost:4600");
    EXPECT_EQ(dialog.statusLine(1),
              "Port busy or missing: localhost:4532: connection refused (with the settings in "
              "use; OK applies the ones above)");
    // A step is no other connection.
    control<QLineEdit>(dialog, "edPort1")->setText("localhost:4532");
    control<QSpinBox>(dialog, "seStep1")->setValue(3);
    EXPECT_EQ(dialog.statusLine(1), "Port busy or missing: localhost:4532: connection refused");
}

}  // namespace
}  // namespace kt6
