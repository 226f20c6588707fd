// The setup panel, backup and restore in the window, on the in-process simulated controller
// whose clock moves only when the link waits for it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <fstream>
#include <optional>
#include <sstream>

#include "console/setup/setup_panel.h"
#include "console/status/status_bar.h"
#include "memory/block_codec.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using sim::Firmware;

// Types the text key by key, as a keyboard with any layout would deliver it.
void type(QWidget* w, const QString& text) {
    for (QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
        QApplication::sendEvent(w, &release);
    }
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class SetupPanelTest : public testing::WindowFixture {
  protected:
    // Every file dialog of a backup or a load offers setup files, whatever the test.
    void TearDown() override {
        for (const QString& filter : dialogs->filters)
            EXPECT_EQ(filter, "Skarnel setup data (*.skarnel)");
        for (const QString& suffix : dialogs->suffixes) EXPECT_EQ(suffix, "skarnel");
    }
    // The window on the simulated controller, online: its first reply has set FirmwareVersion.
    void start(Firmware firmware, int units = 1, sim::BlockFaults faults = {}) {
        far = Far::Simulator;
        simulated.controller.firmware = firmware;
        simulated.controller.units = units;
        simulated.blockFaults = std::move(faults);
        ConsoleOptions options = transferOptions();
        options.runPollTimer = pollTimer;
        WindowFixture::start(std::move(options));
        pollTwice();
        ASSERT_TRUE(window->poll().ControllerOnline());
    }
    QLineEdit* edit(const char* name) { return find<QLineEdit>(name); }
    bool transferRunning() { return window && window->setupPanel().transfer().running(); }
    sim::ControllerMemory& memory() { return simulator->model().controller().memory(); }
    QString result() { return text("lResult"); }
    void openPanel() {
        click("btImposta");
        ASSERT_TRUE(find("pnImposta")->isVisible() || !find("pnImposta")->isHidden());
    }
    std::string path(const char* name) const { return (dir.path() + "/" + name).toStdString(); }
    // A whole backup of the controller as it is now, taken through "Salva...".
    std::string backupText() {
        dialogs->saveAnswer = QString::fromStdString(path("whole.skarnel"));
        click("btRicevi");
        EXPECT_TRUE(dialogs->messages.empty());
        dialogs->saveAnswer.reset();
        return slurp(path("whole.skarnel"));
    }
    void setResultText(const char* text) { find<QLabel>("lResult")->setText(text); }
    // The buttons and poll a transfer switches are all back.
    void expectRestored() {
        EXPECT_TRUE(window->pollRunning());
        EXPECT_TRUE(find<QPushButton>("btRicevi")->isEnabled());
        EXPECT_TRUE(find<QPushButton>("btInvia")->isEnabled());
        EXPECT_TRUE(find<QPushButton>("btImposta")->isEnabled());
        EXPECT_TRUE(find<QPushButton>("btRetract")->isEnabled());
        EXPECT_FALSE(window->setupPanel().transfer().SourceIni());
        EXPECT_FALSE(window->setupPanel().transfer().running());
    }

    // The window's own 400 ms poll timer runs (else the tests tick the poll by hand).
    bool pollTimer = false;
};

// --- the service strip ---

TEST_F(SetupPanelTest, TheServiceStripIsHiddenUntilAskedForAndThenGrowsTheWindow) {
    start(Firmware::V1_13);
    EXPECT_TRUE(find("Panel2")->isHidden());
    EXPECT_EQ(window->centralWidget()->size(), QSize(623, 330));
    auto* shortcut = find<QShortcut>("scService");
    EXPECT_EQ(shortcut->key(), QKeySequence(QStringLiteral("Ctrl+Alt+S")));
    emit shortcut->activated();
    EXPECT_FALSE(find("Panel2")->isHidden());
    EXPECT_EQ(window->centralWidget()->size(), QSize(623, 362));
    EXPECT_EQ(find("Panel2")->geometry(), QRect(0, 329, 623, 33));
    // Below the front panel, not over it.
    EXPECT_GE(find("Panel2")->geometry().top(), find("pnBlue")->geometry().bottom());
    emit shortcut->activated();
    EXPECT_TRUE(find("Panel2")->isHidden());
    EXPECT_EQ(window->centralWidget()->size(), QSize(623, 330));
    window->showServiceStrip(true);
    EXPECT_FALSE(find("Panel2")->isHidden());
}

// --- opening the panel ---

TEST_F(SetupPanelTest, OldFirmwareDisablesTheLengthBoxesAndTakesWelcomeFromUser) {
    start(Firmware::V1_12);
    memory().setText(kUserBlock, "welcome", "Ciao");
    openPanel();
    EXPECT_FALSE(find("pnImposta")->isHidden());
    EXPECT_FALSE(window->pollRunning());
    EXPECT_FALSE(find<QPushButton>("btImposta")->isEnabled());
    EXPECT_EQ(edit("edModel")->text(), "SkarNel KT-6");
    EXPECT_EQ(edit("edWelcome")->text(), "Ciao");
    EXPECT_EQ(edit("edVelMax")->text(), "1000");
    EXPECT_EQ(edit("edK")->text(), "71500000");
    EXPECT_EQ(edit("edExtMax1")->text(), "10900");
    for (const char* name : {"edExtMax2", "edExtMax3", "edExtMax4"}) {
        EXPECT_FALSE(edit(name)->isEnabled()) << name;
        EXPECT_EQ(edit(name)->text(), "0") << name;
    }
    EXPECT_EQ(edit("ed24vl1")->text(), "0");
    EXPECT_EQ(edit("edV24msg")->text(), "");
}

TEST_F(SetupPanelTest, NewerFirmwareFillsEveryBox) {
    start(Firmware::V1_13);
    openPanel();
    EXPECT_EQ(edit("edWelcome")->text(), "Welcome to SkarNel KT-6");
    EXPECT_TRUE(edit("edExtMax2")->isEnabled());
    EXPECT_EQ(edit("edExtMax2")->text(), "10500");
    EXPECT_EQ(edit("edExtMax3")->text(), "11000");
    EXPECT_EQ(edit("edExtMax4")->text(), "10400");
    EXPECT_EQ(edit("edPP")->text(), "400");
    EXPECT_EQ(edit("edPD")->text(), "100");
    EXPECT_EQ(edit("edVelMin")->text(), "200");
    EXPECT_EQ(edit("edAcc")->text(), "3");
    EXPECT_EQ(edit("edPwmF")->text(), "2");
    EXPECT_EQ(edit("edPwmR")->text(), "200");
    EXPECT_EQ(edit("edPwmC")->text(), "160");
    EXPECT_EQ(edit("edMotori")->text(), "3");
    EXPECT_EQ(edit("edBande")->text(), "11");
    EXPECT_EQ(edit("ed24vl2")->text(), "14000");
    EXPECT_EQ(edit("ed24vh3")->text(), "51000");
    EXPECT_EQ(edit("edV24msg")->text(), "+24V OUTPUT ACTIVE");
}

TEST_F(SetupPanelTest, AFailedOpeningSaysSoAndLeavesThePanelClosedWithThePollRunning) {
    start(Firmware::V1_13);
    find<QCheckBox>("ckSK2200")->click();
    find<QComboBox>("cbSlave")->setCurrentIndex(2);  // a unit the controller does not have
    click("btImposta");
    EXPECT_TRUE(find("pnImposta")->isHidden());
    EXPECT_EQ(dialogs->messages, std::vector<QString>{"Errore in ricezione dati."});
    EXPECT_EQ(result(), "Ricezione impostazioni fallita.");
    EXPECT_TRUE(window->pollRunning());
    EXPECT_TRUE(find<QPushButton>("btImposta")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("btRicevi")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("btInvia")->isEnabled());
}

TEST_F(SetupPanelTest, ClosingRestartsThePoll) {
    start(Firmware::V1_13);
    openPanel();
    click("btChiudi");
    EXPECT_TRUE(find("pnImposta")->isHidden());
    EXPECT_TRUE(window->pollRunning());
    EXPECT_TRUE(find<QPushButton>("btImposta")->isEnabled());
}

// A screen reader reads the window's default button with its status bar: "Aggiorna Skarnel"
// is that button while the panel is open, never once it is closed.
TEST_F(SetupPanelTest, AggiornaIsTheDefaultButtonOnlyWhileThePanelIsOpen) {
    start(Firmware::V1_13);
    auto* aggiorna = find<QPushButton>("btAggiorna");
    const auto defaultsInTheWindow = [&] {
        int count = 0;
        for (QAccessibleInterface* node : listedToAssistiveTechnology())
            count += node->state().defaultButton ? 1 : 0;
        return count;
    };
    window->show();
    EXPECT_FALSE(aggiorna->isDefault());
    EXPECT_EQ(defaultsInTheWindow(), 0);
    for (int round = 0; round < 2; ++round) {
        openPanel();
        EXPECT_TRUE(aggiorna->isDefault()) << round;
        EXPECT_TRUE(accessible(aggiorna)->state().defaultButton) << round;
        // Enter in a box still presses it.
        const std::size_t before = mark();
        QTest::keyClick(edit("edVelMax"), Qt::Key_Return);
        settle();
        EXPECT_GT(mark(), before) << round;
        click("btChiudi");
        EXPECT_FALSE(aggiorna->isDefault()) << round;
        EXPECT_FALSE(accessible(aggiorna)->state().defaultButton) << round;
        EXPECT_EQ(defaultsInTheWindow(), 0) << round;
    }
}

// --- the panel's controls ---

TEST_F(SetupPanelTest, EveryEditBoxHasItsCaptionAsBuddyAndTheGroupsTheirCaptions) {
    start(Firmware::V1_13);
    const auto edits = find("pnImposta")->findChildren<QLineEdit*>();
    EXPECT_EQ(edits.size(), 25);
    const auto labels = find("pnImposta")->findChildren<QLabel*>();
    for (QLineEdit* e : edits) {
        const bool hasBuddy =
            std::any_of(labels.begin(), labels.end(), [e](QLabel* l) { return l->buddy() == e; });
        EXPECT_TRUE(hasBuddy) << e->objectName().toStdString();
    }
    const auto captionOf = [&](const char* box) {
        for (QLabel* l : labels) {
            if (l->buddy() == edit(box)) return l->text();
        }
        return QString();
    };
    EXPECT_EQ(captionOf("edModel"), "Descrizione modello");
    EXPECT_EQ(captionOf("edMotori"), "Num. driver");
    EXPECT_EQ(captionOf("edPP"), "Numero passi (400) per conversione:");
    EXPECT_EQ(captionOf("edPwmC"), "PWM crociera 0..255:");
    EXPECT_EQ(captionOf("ed24vh2"), "a KHz:");
    QStringList titles;
    for (auto* g : find("pnImposta")->findChildren<QGroupBox*>()) titles << g->title();
    EXPECT_EQ(titles, (QStringList{"Tipo / modello antenna ", " Formula per movimento ",
                                   " Caratteristiche dei motori ", " Gestione +24V "}));
    // Initial texts: empty or "0" as each box starts.
    EXPECT_EQ(edit("edAcc")->text(), "");
    EXPECT_EQ(edit("edBande")->text(), "");
    EXPECT_EQ(edit("edVelMax")->text(), "0");
    EXPECT_EQ(edit("ed24vl1")->text(), "0");
}

TEST_F(SetupPanelTest, GroupTitlesSitOnTheirFramesWithEveryControlInside) {
    start(Firmware::V1_13);
    openPanel();
    for (auto* group : find("pnImposta")->findChildren<QGroupBox*>()) {
        const std::string name = group->objectName().toStdString();
        const QImage picture = group->grab().toImage();
        const QColor face = group->palette().color(QPalette::Window);
        // The frame's top line, looked for at the right, clear of the title.
        const int x = picture.width() - 4;
        int line = -1;
        for (int y = 0; y < picture.height() && line < 0; ++y) {
            if (picture.pixelColor(x, y) != face) line = y;
        }
        const int titleHeight = group->fontMetrics().height();
        EXPECT_GT(line, 0) << name;
        EXPECT_LT(line, titleHeight - 1) << name;
        // The title's ink lies above and below that line.
        bool above = false, below = false;
        const int titleWidth = group->fontMetrics().horizontalAdvance(group->title());
        for (int y = 0; y < titleHeight && y < picture.height(); ++y) {
            for (int tx = 8; tx < titleWidth + 8 && tx < picture.width(); ++tx) {
                if (picture.pixelColor(tx, y) == face) continue;
                if (y < line) above = true;
                if (y > line) below = true;
            }
        }
        EXPECT_TRUE(above && below) << name;
        for (auto* child : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            EXPECT_GT(child->y(), line) << name << " " << child->objectName().toStdString();
            EXPECT_TRUE(group->rect().contains(child->geometry()))
                << name << " " << child->objectName().toStdString();
        }
    }
}

TEST_F(SetupPanelTest, TheFullStepNoteStandsUnderPwmFreqAndCrossesNothing) {
    start(Firmware::V1_13);
    QWidget* note = find("lPwmFNote");
    QWidget* caption = find("lPwmF");
    EXPECT_EQ(note->parentWidget(), caption->parentWidget());
    EXPECT_EQ(note->x(), caption->x());
    const int gap = note->y() - caption->geometry().bottom();
    EXPECT_GE(gap, 0);
    EXPECT_LE(gap, 2);
    // Its text fits its place, which no other control shares.
    EXPECT_GE(note->width(),
              note->fontMetrics().horizontalAdvance(find<QLabel>("lPwmFNote")->text()));
    for (auto* other : note->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == note) continue;
        EXPECT_FALSE(other->geometry().intersects(note->geometry()))
            << other->objectName().toStdString();
    }
}

TEST_F(SetupPanelTest, TheSaveDialogProposesADatedNameInTheDocumentsFolderOrElseHome) {
    const QDate day(2024, 5, 1);
    EXPECT_EQ(datedFileName(day, "skarnel"), "KT6 2024-05-01.skarnel");
    const QString documents = dir.path() + "/Documents";
    auto prepared = [&](QFileDialog::AcceptMode mode) {
        auto dialog = std::make_unique<QFileDialog>();
        dialog->setOption(QFileDialog::DontUseNativeDialog);
        prepareFileDialog(*dialog, mode, "Skarnel setup data (*.skarnel)", "skarnel", documents,
                          day);
        return dialog;
    };
    // No documents folder: home, never "Documents" taken for the file's name.
    auto save = prepared(QFileDialog::AcceptSave);
    EXPECT_EQ(save->directory().absolutePath(), QDir::home().absolutePath());
    ASSERT_EQ(save->selectedFiles().size(), 1);
    EXPECT_EQ(save->selectedFiles().first(), QDir::home().filePath("KT6 2024-05-01.skarnel"));
    EXPECT_EQ(prepared(QFileDialog::AcceptOpen)->directory().absolutePath(),
              QDir::home().absolutePath());

    ASSERT_TRUE(QDir().mkpath(documents));
    save = prepared(QFileDialog::AcceptSave);
    EXPECT_EQ(save->directory().absolutePath(), QDir(documents).absolutePath());
    EXPECT_EQ(save->selectedFiles().first(), QDir(documents).filePath("KT6 2024-05-01.skarnel"));
    EXPECT_EQ(save->defaultSuffix(), "skarnel");
    EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
    auto open = prepared(QFileDialog::AcceptOpen);
    EXPECT_EQ(open->directory().absolutePath(), QDir(documents).absolutePath());
    EXPECT_EQ(open->acceptMode(), QFileDialog::AcceptOpen);
}

TEST_F(SetupPanelTest, TabRunsThroughTheGroupsInOrderThenTheButtons) {
    start(Firmware::V1_13);
    const char* expected[] = {"edModel",   "edWelcome", "edMotori",   "edBande",   "edExtMin",
                              "edExtMax1", "edExtMax2", "edExtMax3",  "edExtMax4", "edPP",
                              "edPD",      "edK",       "edVelMin",   "edVelMax",  "edAcc",
                              "edPwmF",    "edPwmR",    "edPwmC",     "edV24msg",  "ed24vl1",
                              "ed24vh1",   "ed24vl2",   "ed24vh2",    "ed24vl3",   "ed24vh3",
                              "btRicevi",  "btInvia",   "btAggiorna", "btChiudi"};
    QWidget* w = edit("edModel");
    for (std::size_t i = 1; i < std::size(expected); ++i) {
        do {
            w = w->nextInFocusChain();
        } while (w->focusPolicy() == Qt::NoFocus || !(w->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(w->objectName().toStdString(), expected[i]);
    }
}

TEST_F(SetupPanelTest, EntryLimitsStopTypingButKeepALongerTextFromTheController) {
    start(Firmware::V1_13);
    memory().setText(kFactoryBlock, "model", "ABCDEFGHIJKLMNOP");
    openPanel();
    QLineEdit* model = edit("edModel");
    EXPECT_EQ(model->text(), "ABCDEFGHIJKLMNOP");
    model->setFocus();
    model->end(false);
    type(model, "Q");
    EXPECT_EQ(model->text(), "ABCDEFGHIJKLMNOP");
    QTest::keyClick(model, Qt::Key_Backspace);
    type(model, "XY");
    EXPECT_EQ(model->text(), "ABCDEFGHIJKLMNO");
    model->clear();
    type(model, "123456789012345678");
    EXPECT_EQ(model->text().size(), 15);
    QLineEdit* welcome = edit("edWelcome");
    welcome->clear();
    type(welcome, QString(30, QChar('w')));
    EXPECT_EQ(welcome->text().size(), 23);
    // Characters the controller's code page lacks are not taken.
    welcome->clear();
    type(welcome, QString::fromUtf8("Caff\u00E8 \u20AC \u0416"));
    EXPECT_EQ(welcome->text(), QString::fromUtf8("Caff\u00E8 \u20AC "));
}

// --- the update ---

TEST_F(SetupPanelTest, OldFirmwareUpdateSendsFactoryAndUserDirectWithTheWelcomeInUser) {
    start(Firmware::V1_12);
    memory().setInteger(kFactoryBlock, "pwm_azzera", 5);
    memory().setInteger(kFactoryBlock, "vel_azzera", 7);
    openPanel();
    edit("edVelMax")->setText("1500");
    edit("edWelcome")->setText("Buongiorno");
    click("btAggiorna");
    EXPECT_TRUE(dialogs->messages.empty());
    const auto factory = framesWith(6);
    const auto user = framesWith(7);
    ASSERT_EQ(factory.size(), 1u);
    ASSERT_EQ(user.size(), 1u);
    EXPECT_EQ(factory[0].size(), 2u + 45u);
    EXPECT_EQ(user[0].size(), 2u + 35u);
    EXPECT_EQ(memory().integer(kFactoryBlock, "mot_maxvel"), 1500);
    EXPECT_EQ(memory().integer(kFactoryBlock, "pwm_azzera"), 130);
    EXPECT_EQ(memory().integer(kFactoryBlock, "vel_azzera"), 1000);
    EXPECT_EQ(memory().text(kUserBlock, "welcome"), "Buongiorno");
    EXPECT_EQ(memory().integer(kUserBlock, "contrasto"), 8);
    EXPECT_EQ(memory().integer(kUserBlock, "civ_brate"), 3);
    // The panel stays open, the poll stopped.
    EXPECT_FALSE(find("pnImposta")->isHidden());
    EXPECT_FALSE(window->pollRunning());
}

TEST_F(SetupPanelTest, ANegativeKIsShownAndWrittenBackAsTheControllerHoldsIt) {
    start(Firmware::V1_13);
    memory().setInteger(kFactoryBlock, "k_freq2mm", -71500000);
    openPanel();
    EXPECT_EQ(edit("edK")->text(), "-71500000");
    edit("edVelMax")->setText("1500");
    click("btAggiorna");
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(memory().integer(kFactoryBlock, "mot_maxvel"), 1500);
    EXPECT_EQ(memory().integer(kFactoryBlock, "k_freq2mm"), -71500000);
}

TEST_F(SetupPanelTest, PlusTwentyFourVoltsAreWrittenOnlyFromFirmware130) {
    for (Firmware firmware : {Firmware::V1_13, Firmware::V1_30}) {
        log.frames.clear();
        start(firmware);
        memory().setInteger(kFactoryBlock, "pwm_azzera", 5);
        memory().setInteger(kFactoryBlock, "v24l1", 16053);
        memory().setInteger(kFactoryBlock, "v24h3", 62432);
        memory().setText(kFactoryBlock, "v24mess", "17 characters msg");
        openPanel();
        edit("ed24vl1")->setText("1234");
        edit("edV24msg")->setText("AMP ON");
        edit("edExtMax3")->setText("9999");
        click("btAggiorna");
        ASSERT_EQ(framesWith(6).size(), 1u);
        EXPECT_EQ(memory().integer(kFactoryBlock, "max_estensio3"), 9999);
        EXPECT_EQ(memory().integer(kFactoryBlock, "pwm_azzera"), 130);
        if (firmware == Firmware::V1_30) {
            EXPECT_EQ(memory().integer(kFactoryBlock, "v24l1"), 1234);
            EXPECT_EQ(memory().text(kFactoryBlock, "v24mess"), "AMP ON");
        } else {
            // Before 1.30 the boxes are not written: the controller keeps what it held.
            EXPECT_EQ(memory().integer(kFactoryBlock, "v24l1"), 16053);
            EXPECT_EQ(memory().integer(kFactoryBlock, "v24h3"), 62432);
            EXPECT_EQ(memory().text(kFactoryBlock, "v24mess"), "17 characters msg");
        }
        // Both generations: the User block's unseen values, and the Factory block's version.
        EXPECT_EQ(memory().integer(kUserBlock, "rtx_commpars"), 3);
        EXPECT_EQ(memory().integer(kUserBlock, "eeprom_vers"), 3);
        EXPECT_EQ(memory().integer(kFactoryBlock, "eeprom_vers"), 3);
    }
}

TEST_F(SetupPanelTest, ALetterInVelMaxSendsNothingWithTheParserMessage) {
    start(Firmware::V1_13);
    openPanel();
    edit("edVelMax")->setText("12a");
    click("btAggiorna");
    EXPECT_EQ(dialogs->messages,
              std::vector<QString>{"'12a' is not a valid integer value in [Factory] mot_maxvel"});
    EXPECT_TRUE(framesWith(6).empty());
    EXPECT_TRUE(framesWith(7).empty());
    EXPECT_TRUE(edit("edVelMax")->hasFocus() || !window->isVisible());
}

TEST_F(SetupPanelTest, ANumberTooLargeForItsFieldSendsNothing) {
    start(Firmware::V1_13);
    openPanel();
    edit("edAcc")->setText("300");
    click("btAggiorna");
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0], "Accel 1..5 300 does not fit its 1-byte field (0 to 255).");
    EXPECT_TRUE(framesWith(6).empty());
}

TEST_F(SetupPanelTest, ANegativeUnsignedNumberOrAnOverlongTextSendsNothing) {
    start(Firmware::V1_30);
    openPanel();
    edit("edVelMax")->setText("-1");
    click("btAggiorna");
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0], "Vel. max -1 does not fit its 2-byte field (0 to 65535).");
    edit("edVelMax")->setText("1000");
    // The +24 V message has no entry limit; its field holds 18 characters.
    edit("edV24msg")->setText(QString(19, QLatin1Char('v')));
    // As the link timer's next 250 ms step would.
    find<QPushButton>("btAggiorna")->setEnabled(true);
    click("btAggiorna");
    ASSERT_EQ(dialogs->messages.size(), 2u);
    EXPECT_EQ(dialogs->messages[1],
              "Messaggio di +24V attivo is 19 characters long; its field holds 0 to 18 "
              "characters.");
    EXPECT_TRUE(framesWith(6).empty());
}

TEST_F(SetupPanelTest, ASixteenCharacterModelAndAnOuterBlankEightBitWelcomeGoBackWhole) {
    start(Firmware::V1_30);
    memory().setText(kFactoryBlock, "model", "ABCDEFGHIJKLMNOP");
    memory().setText(kFactoryBlock, "welcome", "  Caff\xE8 \x80  ");
    openPanel();
    EXPECT_EQ(edit("edWelcome")->text(), QString::fromUtf8("  Caff\u00E8 \u20AC  "));
    memory().setText(kFactoryBlock, "model", "x");
    memory().setText(kFactoryBlock, "welcome", "x");
    click("btAggiorna");
    const Bytes factory = memory().read(kFactoryBlock).value();
    EXPECT_EQ(std::string(factory.begin() + 35, factory.begin() + 51), "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(memory().text(kFactoryBlock, "welcome"), "  Caff\xE8 \x80  ");
    // The blocks are built in memory: no scratch file is left anywhere near the settings.
    EXPECT_FALSE(std::filesystem::exists(path("tmp.ini")));
}

TEST_F(SetupPanelTest, TheUpdateReadsTheUserBlockAgainInsteadOfTrustingTheLog) {
    start(Firmware::V1_13);
    openPanel();
    // The log after a load holds only empty lines; the controller has changed meanwhile.
    dialogs->saveAnswer = QString::fromStdString(path("a.skarnel"));
    click("btRicevi");
    dialogs->openAnswer = dialogs->saveAnswer;
    click("btInvia");
    ASSERT_EQ(result(), "Trasmissione dati eseguita correttamente.");
    memory().setInteger(kUserBlock, "lingua", 2);
    memory().setInteger(kUserBlock, "rtx_addr", 77);
    click("btAggiorna");
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(memory().integer(kUserBlock, "lingua"), 2);
    EXPECT_EQ(memory().integer(kUserBlock, "rtx_addr"), 77);
    EXPECT_EQ(memory().integer(kFactoryBlock, "eeprom_vers"), 3);
}

// --- backup and restore ---

TEST_F(SetupPanelTest, SaveWritesTheSetupFileAndCountsTheBlocks) {
    start(Firmware::V1_13);
    dialogs->saveAnswer = QString::fromStdString(path("backup.skarnel"));
    QSignalSpy progress(find<QProgressBar>("pbTransfer"), &QProgressBar::valueChanged);
    click("btRicevi");
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(result(), "Ricezione dati eseguita correttamente.");
    EXPECT_EQ(find<QProgressBar>("pbTransfer")->maximum(), 68);
    EXPECT_GE(progress.count(), 68);
    EXPECT_TRUE(find("pbTransfer")->isHidden());
    const std::string text = slurp(path("backup.skarnel"));
    EXPECT_EQ(text, window->setupPanel().transfer().fileText());
    EXPECT_EQ(text.rfind("[Factory]\r\nmot_maxvel=1000\r\n", 0), 0u);
    EXPECT_NE(text.find("\r\n[FactoryTune33]\r\nTune1=0\r\nTune2=0\r\nTune3=0\r\nTune4=0\r\n\r\n"),
              std::string::npos);
    expectRestored();
}

TEST_F(SetupPanelTest, SaveWithoutTheFactoryBlockOffersNoFileAndRestoresEverything) {
    start(Firmware::V1_13);
    find<QCheckBox>("ckSK2200")->click();
    find<QComboBox>("cbSlave")->setCurrentIndex(1);
    click("btRicevi");
    EXPECT_EQ(dialogs->messages, std::vector<QString>{"Errore in ricezione dati."});
    EXPECT_EQ(result(), "Ricezione impostazioni fallita.");
    EXPECT_EQ(dialogs->saves, 0);
    expectRestored();
}

TEST_F(SetupPanelTest, ASaveThatCannotBeWrittenSaysSoAndKeepsTheOlderFile) {
    start(Firmware::V1_13);
    dialogs->saveAnswer = QString::fromStdString(path("missing/dir/backup.skarnel"));
    click("btRicevi");
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(dialogs->messages[0].startsWith("The setup file was not saved: "));
    expectRestored();
}

TEST_F(SetupPanelTest, ASaveOntoASymbolicLinkIsRefusedAndWhatItNamesIsKept) {
    start(Firmware::V1_13);
    const std::filesystem::path victim = path("victim.txt");
    std::ofstream(victim) << "precious\n";
    const std::filesystem::path link = path("backup.skarnel");
    std::error_code linkError;
    std::filesystem::create_symlink(victim, link, linkError);
#ifdef _WIN32
    // Wine, and Windows without the right to make links, make none: nothing to refuse then.
    if (linkError) GTEST_SKIP() << "no symbolic link here: " << linkError.message();
#endif
    ASSERT_FALSE(linkError) << linkError.message();
    dialogs->saveAnswer = QString::fromStdString(link.string());
    click("btRicevi");
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(dialogs->messages[0].contains("is a symbolic link"))
        << dialogs->messages[0].toStdString();
    std::ifstream in(victim);
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "precious");
    EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(link)));
    expectRestored();
}

TEST_F(SetupPanelTest, TheEventsFieldSaysWhereABackupWentAndNeverSaysSavedWhenItFailed) {
    start(Firmware::V1_13);
    const auto event = [this] { return window->consoleStatusBar()->eventText(); };
    const QString saved = QString::fromStdString(path("backup.skarnel"));
    dialogs->saveAnswer = saved;
    click("btRicevi");
    ASSERT_TRUE(dialogs->messages.empty());
    // The operator reads the folder as the system writes it ("C:\\..." on Windows).
    EXPECT_EQ(event(), "Backup saved to " + QDir::toNativeSeparators(saved));

    // A file that cannot be written: the earlier "saved" must not stay up.
    dialogs->saveAnswer = QString::fromStdString(path("missing/dir/backup.skarnel"));
    click("btRicevi");
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_TRUE(event().startsWith("Backup not saved: ")) << event().toStdString();
    EXPECT_FALSE(event().contains("saved to")) << event().toStdString();

    // Nor when the controller's blocks never arrive and no file is offered.
    dialogs->saveAnswer = saved;
    click("btRicevi");
    ASSERT_EQ(event(), "Backup saved to " + QDir::toNativeSeparators(saved));
    find<QCheckBox>("ckSK2200")->click();
    find<QComboBox>("cbSlave")->setCurrentIndex(1);
    click("btRicevi");
    EXPECT_EQ(event(), "Backup not saved: Factory (block 0) refused (status 3)");
}

TEST_F(SetupPanelTest, ASavedBackupSaysWhichTextHadALineBreakSavedAsASpace) {
    start(Firmware::V1_13);
    memory().setText(kFactoryBlock, "welcome", "Hi\r\n[User]");
    const QString saved = QString::fromStdString(path("backup.skarnel"));
    dialogs->saveAnswer = saved;
    click("btRicevi");
    ASSERT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(window->consoleStatusBar()->eventText(),
              "Backup saved to " + QDir::toNativeSeparators(saved) +
                  "; a control character in welcome [Factory] was saved as a space");
    EXPECT_NE(slurp(path("backup.skarnel")).find("\r\nwelcome=Hi  [User]\r\n"), std::string::npos);
}

TEST_F(SetupPanelTest, LoadBringsBackTheSavedMemory) {
    start(Firmware::V1_30);
    memory().setText(kFactoryBlock, "welcome", " centred ");
    dialogs->saveAnswer = QString::fromStdString(path("backup.skarnel"));
    click("btRicevi");
    const Bytes factory = memory().read(kFactoryBlock).value();
    const Bytes offsets = memory().read(20).value();
    memory().setInteger(kFactoryBlock, "mot_maxvel", 1);
    memory().setText(kFactoryBlock, "welcome", "x");
    memory().setInteger(20, "offset2", -5);
    dialogs->openAnswer = dialogs->saveAnswer;
    click("btInvia");
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(result(), "Trasmissione dati eseguita correttamente.");
    // The checksum byte is the controller's own: the file does not carry it.
    const auto fields = [](const Bytes& b) { return Bytes(b.begin() + 1, b.end()); };
    EXPECT_EQ(fields(memory().read(kFactoryBlock).value()), fields(factory));
    EXPECT_EQ(fields(memory().read(20).value()), fields(offsets));
    EXPECT_EQ(memory().text(kFactoryBlock, "welcome"), " centred ");
    expectRestored();
}

TEST_F(SetupPanelTest, LoadOfABadFileSendsNothingAndLeavesTheStatusText) {
    start(Firmware::V1_13);
    std::string text = backupText();
    text.replace(text.find("lingua=1"), 8, "lingua=300");
    std::ofstream(path("bad.skarnel"), std::ios::binary) << text;
    log.frames.clear();
    setResultText("--");
    dialogs->openAnswer = QString::fromStdString(path("bad.skarnel"));
    click("btInvia");
    ASSERT_EQ(dialogs->messages.size(), 1u);
    EXPECT_EQ(dialogs->messages[0],
              "The value 300 of lingua in [User] does not fit its 1-byte field (0 to 255).");
    EXPECT_EQ(result(), "--");
    EXPECT_TRUE(framesWith(4).empty());
    expectRestored();
}

TEST_F(SetupPanelTest, ARefusedFileClearsTheLastResultAndNamesTheKeyThatIsNoInteger) {
    start(Firmware::V1_13);
    const std::string good = backupText();
    std::ofstream(path("good.skarnel"), std::ios::binary) << good;
    dialogs->openAnswer = QString::fromStdString(path("good.skarnel"));
    click("btInvia");
    ASSERT_EQ(result(), "Trasmissione dati eseguita correttamente.");

    std::string text = good;
    text.replace(text.find("lingua=1"), 8, "lingua=1x");
    std::ofstream(path("bad.skarnel"), std::ios::binary) << text;
    log.frames.clear();
    dialogs->openAnswer = QString::fromStdString(path("bad.skarnel"));
    click("btInvia");
    EXPECT_EQ(dialogs->messages,
              std::vector<QString>{"'1x' is not a valid integer value in [User] lingua"});
    // The last load's success is not this file's.
    EXPECT_EQ(result(), "--");
    EXPECT_TRUE(framesWith(4).empty());
    expectRestored();
}

TEST_F(SetupPanelTest, ALoadThatFailsHalfWaySaysSoAndRestoresEverything) {
    start(Firmware::V1_13, 2);
    std::ofstream(path("in.skarnel"), std::ios::binary) << backupText();
    find<QCheckBox>("ckSK2200")->click();
    find<QComboBox>("cbSlave")->setCurrentIndex(2);  // not fitted: every write fails
    dialogs->openAnswer = QString::fromStdString(path("in.skarnel"));
    click("btInvia");
    EXPECT_EQ(dialogs->messages, std::vector<QString>{"Errore in invio dati. Prego riprovare"});
    EXPECT_EQ(result(), "Trasmissione dati non eseguita.");
    EXPECT_EQ(window->consoleStatusBar()->eventText(),
              "Restore stopped at Factory (block 0): it was refused (status 3)");
    expectRestored();
}

TEST_F(SetupPanelTest, ABackupAskedForFromOutsideNamesTheMainBlockThatFailedAndWhy) {
    // The box's one line stays the window's; whoever asked hears which block and why.
    start(Firmware::V1_13, 1, {{0}, {}, {}});
    std::optional<std::string> told;
    ASSERT_TRUE(
        window->controller()
            .transfers()
            .backup(TransferRequest{
                path("remote.skarnel"), {}, [&told](const std::string& error) { told = error; }})
            .empty());
    settle();
    ASSERT_TRUE(told);
    EXPECT_EQ(*told, "Backup not saved: Factory (block 0) did not answer");
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(result(), "Ricezione impostazioni fallita.");
    EXPECT_FALSE(std::filesystem::exists(path("remote.skarnel")));
    expectRestored();
}

TEST_F(SetupPanelTest, ABackupWithASilentShortOrRefusedBlockWritesNoFileAndNamesTheBlock) {
    const std::pair<sim::BlockFaults, QString> cases[] = {
        {{{12}, {}, {}}, "Backup not saved: Useroffs10 (block 12) did not answer"},
        {{{}, {50}, {}}, "Backup not saved: FactoryTune14 (block 50) came short"},
        {{{}, {}, {3}}, "Backup not saved: Useroffs1 (block 3) refused (status 3)"},
    };
    for (const auto& [faults, text] : cases) {
        start(Firmware::V1_13, 1, faults);
        std::ofstream(path("older.skarnel"), std::ios::binary) << "older backup\r\n";
        dialogs->messages.clear();
        dialogs->saves = 0;
        dialogs->saveAnswer = QString::fromStdString(path("older.skarnel"));
        click("btRicevi");
        EXPECT_EQ(dialogs->messages, std::vector<QString>{text});
        EXPECT_EQ(result(), text);
        EXPECT_EQ(window->consoleStatusBar()->eventText(), text);
        EXPECT_EQ(dialogs->saves, 0);
        EXPECT_EQ(slurp(path("older.skarnel")), "older backup\r\n");
        expectRestored();
    }
}

TEST_F(SetupPanelTest, AnUpdateWhoseReReadFailsSendsNothingAndSaysWhichBlock) {
    start(Firmware::V1_13, 2);
    openPanel();
    // The panel now addresses a unit that is not fitted: its reads are refused.
    find<QCheckBox>("ckSK2200")->click();
    find<QComboBox>("cbSlave")->setCurrentIndex(2);
    log.frames.clear();
    click("btAggiorna");
    EXPECT_EQ(dialogs->messages,
              std::vector<QString>{"Errore in ricezione dati.\nUpdate not sent: Factory (block 0) "
                                   "refused (status 3)"});
    EXPECT_TRUE(framesWith(4).empty());
    EXPECT_TRUE(framesWith(6).empty());
    EXPECT_TRUE(framesWith(7).empty());
    EXPECT_FALSE(window->setupPanel().transfer().running());
}

TEST_F(SetupPanelTest, AfterALoadThePanelShowsWhatTheControllerNowHolds) {
    start(Firmware::V1_13);
    const std::string saved = backupText();  // mot_maxvel 1000, lingua 1
    std::ofstream(path("saved.skarnel"), std::ios::binary) << saved;
    memory().setInteger(kFactoryBlock, "mot_maxvel", 1500);
    openPanel();
    ASSERT_EQ(edit("edVelMax")->text(), "1500");
    dialogs->openAnswer = QString::fromStdString(path("saved.skarnel"));
    click("btInvia");
    ASSERT_EQ(result(), "Trasmissione dati eseguita correttamente.");
    EXPECT_EQ(edit("edVelMax")->text(), "1000");
    // An update now (Enter presses it) keeps what was restored.
    click("btAggiorna");
    EXPECT_EQ(memory().integer(kFactoryBlock, "mot_maxvel"), 1000);
    // The panel stays open and the poll stopped.
    EXPECT_FALSE(find("pnImposta")->isHidden());
    EXPECT_FALSE(window->pollRunning());
}

TEST_F(SetupPanelTest, AfterAnUpdateThePanelShowsTheValuesTheControllerTook) {
    start(Firmware::V1_13);
    memory().setInteger(kFactoryBlock, "v24l1", 16053);
    openPanel();
    edit("edVelMax")->setText("1700");
    // Firmware 1.13 takes no +24 V values from the panel: what was typed was never sent.
    edit("ed24vl1")->setText("1234");
    click("btAggiorna");
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(memory().integer(kFactoryBlock, "mot_maxvel"), 1700);
    EXPECT_EQ(edit("edVelMax")->text(), "1700");
    EXPECT_EQ(edit("ed24vl1")->text(), "16053");
}

TEST_F(SetupPanelTest, SetupStaysOffUnderTheOpenPanelAfterABackupAndComesBackWithChiudi) {
    start(Firmware::V1_13);
    openPanel();
    ASSERT_FALSE(find<QPushButton>("btImposta")->isEnabled());
    backupText();
    EXPECT_FALSE(find<QPushButton>("btImposta")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("btRicevi")->isEnabled());
    click("btChiudi");
    EXPECT_TRUE(find<QPushButton>("btImposta")->isEnabled());
    EXPECT_TRUE(window->pollRunning());
}

TEST_F(SetupPanelTest, OnlyOneTransferRunsAtATime) {
    start(Firmware::V1_13);
    openPanel();
    const std::size_t readsBefore = framesWith(5).size();
    const std::string logBefore = window->setupPanel().transfer().logText();
    // Inside the save's first exchange (a timer event) and while its dialog is up.
    int refusedInside = 0;
    QTimer::singleShot(0, window.get(), [&] {
        window->setupPanel().btAggiornaClick();
        window->setupPanel().btInviaClick();
        ++refusedInside;
    });
    dialogs->saveAnswer = std::nullopt;
    dialogs->whileAsking = [&] {
        dialogs->whileAsking = nullptr;
        window->setupPanel().btImpostaClick();
        window->setupPanel().btAggiornaClick();
        window->setupPanel().btRiceviClick();
        window->setupPanel().btInviaClick();
    };
    click("btRicevi");
    EXPECT_EQ(refusedInside, 1);
    EXPECT_EQ(dialogs->saves, 1);
    EXPECT_EQ(dialogs->opens, 0);
    EXPECT_TRUE(framesWith(6).empty());
    EXPECT_TRUE(framesWith(7).empty());
    EXPECT_EQ(framesWith(5).size(), readsBefore + 68);
    EXPECT_NE(window->setupPanel().transfer().logText(), logBefore);
    EXPECT_EQ(result(), "Ricezione dati eseguita correttamente.");
}

TEST_F(SetupPanelTest, ClosingTheWindowDuringASaveEndsItQuietly) {
    start(Firmware::V1_13);
    QTimer::singleShot(0, window.get(), [&] { window->close(); });
    click("btRicevi");
    EXPECT_TRUE(dialogs->messages.empty());
    EXPECT_EQ(dialogs->saves, 0);
    EXPECT_FALSE(window->setupPanel().transfer().running());
}

// --- on the window's loop ---

TEST_F(SetupPanelTest, AClickReturnsBeforeTheFirstBlockIsReadAndTheSaveEndsOnTheLoop) {
    start(Firmware::V1_13);
    dialogs->saveAnswer = QString::fromStdString(path("backup.skarnel"));
    log.frames.clear();
    find<QPushButton>("btRicevi")->click();
    EXPECT_TRUE(transferRunning());
    EXPECT_TRUE(framesWith(1).empty());
    EXPECT_TRUE(framesWith(5).empty());
    EXPECT_EQ(result(), "blocco 0/68");
    EXPECT_FALSE(find<QPushButton>("btRicevi")->isEnabled());
    EXPECT_FALSE(window->pollRunning());
    // Input is dropped while the blocks go, the cursor says so.
    ASSERT_TRUE(QApplication::overrideCursor());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    settle();
    EXPECT_EQ(framesWith(5).size(), 68u);
    EXPECT_EQ(dialogs->saves, 1);
    EXPECT_EQ(slurp(path("backup.skarnel")), window->setupPanel().transfer().fileText());
    EXPECT_FALSE(QApplication::overrideCursor());
    expectRestored();
}

TEST_F(SetupPanelTest, TheSettlePauseLeavesTheLoopFreeAndNothingGoesOutNotEvenThePoll) {
    pollTimer = true;
    start(Firmware::V1_13);
    ASSERT_TRUE(window->pollTimer().active());
    log.frames.clear();
    bool ran = false;
    std::size_t framesWhenRan = 0;
    QTimer::singleShot(0, window.get(), [&] {
        ran = true;
        framesWhenRan = log.frames.size();
    });
    find<QPushButton>("btRicevi")->click();
    // The click ran no loop of its own.
    EXPECT_FALSE(ran);
    EXPECT_FALSE(window->pollTimer().active());
    // 90 ms into the 100 ms pause the loop has served the posted task, and the line is quiet.
    std::chrono::milliseconds into{0};
    clock->runNext(std::chrono::milliseconds(10), [&](std::chrono::milliseconds step) {
        into += step;
        QCoreApplication::processEvents();
        return into < std::chrono::milliseconds(90);
    });
    EXPECT_TRUE(ran);
    EXPECT_EQ(framesWhenRan, 0u);
    EXPECT_TRUE(log.frames.empty());
    EXPECT_FALSE(window->pollTimer().active());
    settle();
    EXPECT_EQ(framesWith(5).size(), 68u);
    EXPECT_TRUE(window->pollTimer().active());
}

TEST_F(SetupPanelTest, TheLinkCheckGoesOutAfterAHundredMillisecondsOfTheSchedulersClock) {
    using std::chrono::milliseconds;
    start(Firmware::V1_13);
    log.frames.clear();
    find<QPushButton>("btImposta")->click();
    // A millisecond at a time up to the 100th: the line stays quiet.
    milliseconds waited{0};
    EXPECT_FALSE(clock->runNext(milliseconds(1), [&](milliseconds step) {
        waited += step;
        EXPECT_TRUE(log.frames.empty()) << waited.count() << " ms";
        return waited < milliseconds(100);
    }));
    EXPECT_EQ(waited, milliseconds(100));
    EXPECT_TRUE(log.frames.empty());
    // The reply to the poll's last request has come in meanwhile: stale for the transfer.
    const auto stale = static_cast<int>(window->port().InputCount());
    ASSERT_GT(stale, 0);
    // Then each stale byte is dropped and followed by 10 ms before the link check goes out.
    while (log.frames.empty()) {
        ASSERT_TRUE(clock->runNext(milliseconds(1), [&](milliseconds step) {
            waited += step;
            EXPECT_TRUE(log.frames.empty()) << waited.count() << " ms";
            return true;
        }));
    }
    EXPECT_EQ(waited, milliseconds(100 + 10 * stale));
    EXPECT_EQ(window->port().InputCount(), 0u);
    // The first reads follow as the controller answers.
    for (int i = 0; i < 100 && log.frames.size() < 3; ++i) {
        linkStep(milliseconds(1));
        clock->runNext(milliseconds(1));
    }
    const auto& frames = log.frames;
    ASSERT_GE(frames.size(), 3u);
    EXPECT_EQ(frames[0].code(), 1);
    EXPECT_EQ(frames[1].code(), 5);
    EXPECT_EQ(frames[2].code(), 5);
    settle();
    EXPECT_FALSE(find("pnImposta")->isHidden());
}

TEST_F(SetupPanelTest, ClosingTheWindowMidTransferEndsItQuietlyWithEverythingPutBack) {
    for (const char* button : {"btRicevi", "btInvia"}) {
        start(Firmware::V1_13);
        std::ofstream(path("in.skarnel"), std::ios::binary) << backupText();
        dialogs->saves = 0;
        dialogs->saveAnswer = QString::fromStdString(path("out.skarnel"));
        dialogs->openAnswer = QString::fromStdString(path("in.skarnel"));
        log.frames.clear();
        find<QPushButton>(button)->click();
        const auto blocksMoved = [&] { return framesWith(5).size() + framesWith(4).size(); };
        // Turn by turn, the link answering in between, until ten blocks have moved.
        for (int turn = 0; blocksMoved() < 10 && turn < 10000; ++turn) {
            if (!clock->runOne()) linkStep(std::chrono::milliseconds(1));
            QCoreApplication::processEvents();
        }
        ASSERT_TRUE(transferRunning()) << button;
        window->close();
        EXPECT_FALSE(transferRunning()) << button;
        while (clock->runNext(std::chrono::milliseconds(10))) {
        }
        QCoreApplication::processEvents();
        EXPECT_EQ(blocksMoved(), 10u) << button;
        EXPECT_TRUE(dialogs->messages.empty()) << button;
        EXPECT_EQ(dialogs->saves, 0) << button;
        EXPECT_FALSE(std::filesystem::exists(path("out.skarnel"))) << button;
        EXPECT_TRUE(find("pbTransfer")->isHidden()) << button;
        EXPECT_TRUE(find("mmLog")->isHidden()) << button;
        EXPECT_FALSE(QApplication::overrideCursor()) << button;
        EXPECT_FALSE(window->link().busy()) << button;
        expectRestored();
    }
}

}  // namespace
}  // namespace kt6
