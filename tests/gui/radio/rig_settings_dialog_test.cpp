// "Config Radio": the controls show the rig settings, edits come back as settings, and the
// dialog the Hamlib server opens writes "Radio1"/"Radio2" when accepted.
#include "radio/rig_settings_dialog.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QComboBox>
#include <QCompleter>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <algorithm>
#include <filesystem>

#include "memory/profile_file.h"
#include "radio/window_rig_server.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;

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

TEST(RigSettingsDialog, ShowsTheSettingsAndGivesBackWhatWasEdited) {
    RigSettingsDialog dialog(someModels());
    EXPECT_EQ(dialog.windowTitle(), "Config Radio");
    RigSettings s = defaultRigSettings();
    s.rig(2) = {1035, "/dev/ttyUSB0", 38400, 500ms};
    dialog.setSettings(s);

    EXPECT_EQ(control<QComboBox>(dialog, "cbModel1")->currentText(), "Hamlib NET rigctl (#2)");
    EXPECT_EQ(control<QLineEdit>(dialog, "edPort1")->text(), "localhost:4532");
    EXPECT_EQ(control<QComboBox>(dialog, "cbSpeed2")->currentText(), "38400");
    EXPECT_EQ(control<QSpinBox>(dialog, "sePoll2")->value(), 500);
    EXPECT_EQ(dialog.settings(), s);

    control<QComboBox>(dialog, "cbModel1")->setEditText("Hamlib Dummy (#1)");
    control<QLineEdit>(dialog, "edPort1")->setText("  127.0.0.1:4600 ");
    control<QComboBox>(dialog, "cbSpeed1")->setEditText("fast");
    control<QSpinBox>(dialog, "sePoll1")->setValue(100);
    control<QComboBox>(dialog, "cbModel2")->setEditText("No rig (#0)");
    const RigSettings edited = dialog.settings();
    EXPECT_EQ(edited.rig(1), (RigPortSettings{1, "127.0.0.1:4600", 0, 100ms}));
    EXPECT_EQ(edited.rig(2).model, 0);
}

TEST(RigSettingsDialog, AModelTextNamingNoEntryKeepsTheModel) {
    RigSettingsDialog dialog(someModels());
    RigSettings s = defaultRigSettings();
    s.rig(1).model = 99999;  // from a newer libhamlib
    dialog.setSettings(s);
    EXPECT_EQ(control<QComboBox>(dialog, "cbModel1")->currentText(), "Model #99999");
    EXPECT_EQ(dialog.settings().rig(1).model, 99999);
    control<QComboBox>(dialog, "cbModel2")->setEditText("Yaesu FT");
    EXPECT_EQ(dialog.settings().rig(2).model, 2);
}

TEST(RigSettingsDialog, ModelsAreFoundByAnyPartOfTheirName) {
    RigSettingsDialog dialog(someModels());
    QCompleter* completer = control<QComboBox>(dialog, "cbModel1")->completer();
    completer->setCompletionPrefix("991");
    ASSERT_EQ(completer->completionCount(), 1);
    EXPECT_EQ(completer->currentCompletion(), "Yaesu FT-991 (#1035)");
}

TEST(RigSettingsDialog, ModelAndSpeedCarryTheirCaptionsWhereverTheFocusIs) {
    RigSettingsDialog dialog(someModels());
    dialog.setSettings(defaultRigSettings());
    auto nameOf = [](QObject* o) {
        QAccessibleInterface* a = QAccessible::queryAccessibleInterface(o);
        return a ? a->text(QAccessible::Name) : QString();
    };
    for (int rig = 1; rig <= 2; ++rig) {
        const std::pair<std::string, QString> kFields[] = {
            {"cbModel" + std::to_string(rig), QStringLiteral("Model")},
            {"cbSpeed" + std::to_string(rig), QStringLiteral("Speed")}};
        for (const auto& [name, caption] : kFields) {
            auto* box = control<QComboBox>(dialog, name.c_str());
            ASSERT_TRUE(box && box->lineEdit());
            auto* label = qobject_cast<QLabel*>(
                static_cast<QFormLayout*>(box->parentWidget()->layout())->labelForField(box));
            ASSERT_TRUE(label) << name;
            // The caption with its mnemonic: Alt and the underlined letter reach the list.
            EXPECT_EQ(QString(label->text()).remove(QLatin1Char('&')), caption);
            EXPECT_EQ(label->buddy(), box);
            // The list is labelled by its caption; the text inside it, where typing goes and
            // the focus with it, carries the caption as its name instead of none.
            const auto labels =
                QAccessible::queryAccessibleInterface(box)->relations(QAccessible::Label);
            EXPECT_TRUE(std::any_of(labels.begin(), labels.end(), [label](const auto& r) {
                return r.first->object() == label;
            })) << name;
            EXPECT_EQ(nameOf(box->lineEdit()), caption) << name;
        }
    }
}

TEST(RigSettingsDialog, StatusLinesBelongToTheirRig) {
    RigSettingsDialog dialog(someModels());
    dialog.setStatusLine(2, "Online, 14.074000 MHz USB");
    dialog.setStatusLine(3, "ignored");
    EXPECT_EQ(control<QLabel>(dialog, "lRigStatus2")->text(), "Online, 14.074000 MHz USB");
    EXPECT_TRUE(dialog.statusLine(1).isEmpty());
}

TEST(HamlibRigServerDialog, ListsLibhamlibModelsAndSavesAcceptedSettings) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("kt6-rigdialog-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    const auto path = dir / "skarnel.ini";
    {
        WindowRigServer server(HamlibServerOptions{path, std::nullopt, nullptr});
        server.showDialog();
        RigSettingsDialog* dialog = server.dialog();
        ASSERT_NE(dialog, nullptr);
        EXPECT_TRUE(dialog->isVisible());
        auto* models = control<QComboBox>(*dialog, "cbModel1");
        EXPECT_GT(models->count(), 100);
        EXPECT_GE(models->findData(2), 0);
        EXPECT_EQ(dialog->statusLine(1), "Disabled");

        control<QLineEdit>(*dialog, "edPort2")->setText("10.0.0.9:4532");
        control<QSpinBox>(*dialog, "sePoll2")->setValue(400);
        dialog->accept();
        EXPECT_EQ(server.settings().rig(2).port, "10.0.0.9:4532");
        EXPECT_FALSE(server.connected());
    }
    ProfileFile file(path);
    EXPECT_EQ(file.readString("Radio2", "Port", ""), "10.0.0.9:4532");
    EXPECT_EQ(file.readString("Radio2", "PollMs", ""), "400");
    EXPECT_EQ(file.readString("Radio1", "Model", ""), "2");
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kt6
