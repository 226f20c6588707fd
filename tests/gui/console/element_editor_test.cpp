// The element length editor: its walk into the controller's menu, the lengths it shows, one
// step per "+" or "-", and the ways out, on a fake clock.
#include <QAccessible>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "console/service/element_editor.h"
#include "console/service/element_lengths.h"
#include "support/poll_stage.h"
#include "support/window_fixture.h"

namespace kt6 {
namespace {

using testing::ServiceWindowTest;
using namespace std::chrono_literals;

class ElementEditorTest : public ServiceWindowTest {
  protected:
    QString edit(const char* name) { return find<QLineEdit>(name)->text(); }
    QStringList captions() {
        QStringList out;
        for (const char* n : {"Dir2Label", "Dir1Label", "DriverLabel", "ReflLabel"}) out << text(n);
        return out;
    }
    // Opens the editor against the scripted controller with this reply to command 9.
    void openScripted(Bytes lengths, std::uint32_t kHz = 7157, std::int32_t headingMode = 0) {
        controller.replyData[9] = std::move(lengths);
        start(Far::Script);
        pollTwice();
        testing::PollStage::frequency(window->poll(), kHz);
        testing::PollStage::headingMode(window->poll(), headingMode);
        choose("ModifyElemets1");
    }
};

const Bytes kReply = {0x10, 0x02, 0x2C, 0x01, 0x58, 0x02, 0x00, 0x00};

TEST_F(ElementEditorTest, panelControlsAtTheirPlaces) {
    start();
    EXPECT_EQ(find("Panel_Menu")->geometry(), QRect(72, 96, 289, 153));
    EXPECT_EQ(find("lfreq_mod_el")->geometry().topLeft(), QPoint(8, 8));
    EXPECT_EQ(find("lband_mod_elem")->geometry().topLeft(), QPoint(8, 32));
    EXPECT_EQ(find("Dir2")->geometry().topLeft(), QPoint(8, 80));
    EXPECT_EQ(find("Refl")->geometry().topLeft(), QPoint(216, 80));
    EXPECT_EQ(find("Driver")->width(), 57);
    EXPECT_EQ(find("B_up_3")->geometry(), QRect(160, 48, 25, 17));
    EXPECT_EQ(find("B_down_1")->geometry(), QRect(24, 104, 25, 17));
    EXPECT_EQ(find("b_cancel")->geometry(), QRect(8, 128, 273, 17));
    EXPECT_EQ(find("b_save")->geometry(), QRect(8, 128, 257, 17));
    for (const auto& [name, place] :
         {std::pair{"B_yes", QRect(80, 128, 49, 17)}, std::pair{"B_no", QRect(144, 128, 49, 17)}}) {
        QWidget* b = find(name);
        EXPECT_EQ(QRect(b->mapTo(find("Panel_Menu"), QPoint()), b->size()), place) << name;
    }
    // "Save" lies under "Exit without saving".
    const auto siblings = find("Panel_Menu")->children();
    EXPECT_LT(siblings.indexOf(find("b_save")), siblings.indexOf(find("b_cancel")));
    EXPECT_EQ(find<QLabel>("DriverLabel")->buddy(), find("Driver"));
    EXPECT_EQ(find("b_cancel")->accessibleName(), "Exit without saving");
}

TEST_F(ElementEditorTest, openingWalksInAndShowsTheFourLengths) {
    start();
    pollTwice();
    const QString freq = text("lFreq");
    const QString band = text("lBanda");
    const auto from = mark();
    choose("ModifyElemets1");
    const auto keys = keysSince(from);
    EXPECT_EQ(codesSince(from), (std::vector<int>{13, 13, 8, 3, 3}));
    for (std::size_t i = 2; i < keys.size(); ++i) {
        EXPECT_GE(msBetween(keys[i - 1], keys[i]), 333);
        EXPECT_LT(msBetween(keys[i - 1], keys[i]), 345);
    }
    const auto reads = framesWith(9, from);
    ASSERT_EQ(reads.size(), 1u);
    EXPECT_TRUE(reads[0][0] & 0x80);
    EXPECT_EQ(commandsSince(from).back(), 9);
    EXPECT_EQ(simulator->model().controller().screen(), sim::Screen::Editor);

    EXPECT_TRUE(shown("Panel_Menu"));
    EXPECT_EQ(text("lfreq_mod_el"), freq);
    EXPECT_EQ(text("lband_mod_elem"), band);
    EXPECT_TRUE(shown("b_cancel"));
    EXPECT_FALSE(shown("B_yes"));
    EXPECT_TRUE(shown("B_up_1"));
    EXPECT_TRUE(frontKeysHidden());
    const auto lengths = simulator->model().controller().lengths();
    EXPECT_EQ(edit("Driver").toStdString(), lengthText(lengths[0]));
    EXPECT_EQ(edit("Dir2").toStdString(), lengthText(lengths[3]));
}

TEST_F(ElementEditorTest, replyWordsFillTheirColumns) {
    openScripted(kReply);
    EXPECT_EQ(edit("Driver"), "0528 mm");
    EXPECT_EQ(edit("Dir1"), "0300 mm");
    EXPECT_EQ(edit("Refl"), "0600 mm");
    EXPECT_EQ(edit("Dir2"), "0000 mm");
}

TEST_F(ElementEditorTest, reversedHeadingSwapsTheParasiticCaptionsFrom14000) {
    openScripted(kReply, 14000, 1);
    EXPECT_EQ(captions(), (QStringList{"Director 2", "Reflector", "Driver", "Director 1"}));
    // The words stay in their columns.
    EXPECT_EQ(edit("Dir1"), "0300 mm");
    EXPECT_EQ(edit("Refl"), "0600 mm");
    // Assistive tools read the caption it now has.
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(find("Dir1"));
    ASSERT_TRUE(a);
    EXPECT_EQ(a->text(QAccessible::Name), "Reflector");
}

TEST_F(ElementEditorTest, lengthBoxesOnlyShowWhatTheControllerHolds) {
    openScripted(kReply);
    for (const char* name : {"Dir2", "Dir1", "Driver", "Refl"}) {
        auto* box = find<QLineEdit>(name);
        EXPECT_TRUE(box->isReadOnly()) << name;
        const QString before = box->text();
        box->setFocus();
        QTest::keyClicks(box, "77");
        QTest::keyClick(box, Qt::Key_Backspace);
        EXPECT_EQ(box->text(), before) << name;
    }
}

TEST_F(ElementEditorTest, steppersAreNamedForTheElementTheyStepCaptionSwapIncluded) {
    auto names = [&] {
        QStringList out;
        for (const char* b : {"B_up_1", "B_up_2", "B_up_3", "B_up_4", "B_down_1", "B_down_2",
                              "B_down_3", "B_down_4"}) {
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(find(b));
            out << (a ? a->text(QAccessible::Name) : QString());
        }
        return out;
    };
    openScripted(kReply);
    EXPECT_EQ(names(), (QStringList{"Director 2 +", "Director 1 +", "Driver +", "Reflector +",
                                    "Director 2 \u2212", "Director 1 \u2212", "Driver \u2212",
                                    "Reflector \u2212"}));
    click("b_cancel");
    testing::PollStage::frequency(window->poll(), 14000);
    testing::PollStage::headingMode(window->poll(), 1);
    choose("ModifyElemets1");
    EXPECT_EQ(names(), (QStringList{"Director 2 +", "Reflector +", "Driver +", "Director 1 +",
                                    "Director 2 \u2212", "Reflector \u2212", "Driver \u2212",
                                    "Director 1 \u2212"}));
}

TEST_F(ElementEditorTest, captionsStayBelow14000OrWithANormalHeading) {
    openScripted(kReply, 13999, 1);
    EXPECT_EQ(captions(), (QStringList{"Director 2", "Director 1", "Driver", "Reflector"}));
    click("b_cancel");
    testing::PollStage::frequency(window->poll(), 14000);
    testing::PollStage::headingMode(window->poll(), 0);
    choose("ModifyElemets1");
    EXPECT_EQ(captions(), (QStringList{"Director 2", "Director 1", "Driver", "Reflector"}));
    click("b_cancel");
    testing::PollStage::frequency(window->poll(), 50500);
    testing::PollStage::headingMode(window->poll(), 1);
    choose("ModifyElemets1");
    EXPECT_EQ(captions(), (QStringList{"Director 2", "Reflector", "Driver", "Director 1"}));
    click("b_cancel");
    testing::PollStage::frequency(window->poll(), 50501);
    choose("ModifyElemets1");
    EXPECT_EQ(captions()[1], "Director 1");
}

TEST_F(ElementEditorTest, plusInTheDriverColumnRewritesOnlyTheDriver) {
    openScripted(kReply);
    controller.replyData[9] = {0x15, 0x02, 0x31, 0x01, 0x5D, 0x02, 0x05, 0x00};
    const auto from = mark();
    click("B_up_3");
    EXPECT_EQ(commandsSince(from), (std::vector<int>{8, 9}));
    EXPECT_EQ(codesSince(from), std::vector<int>{1});
    ASSERT_EQ(framesWith(9, from).size(), 1u);
    EXPECT_FALSE(framesWith(9, from)[0][0] & 0x80);
    EXPECT_EQ(edit("Driver"), "0533 mm");
    EXPECT_EQ(edit("Dir1"), "0300 mm");
    EXPECT_EQ(edit("Refl"), "0600 mm");
    EXPECT_EQ(edit("Dir2"), "0000 mm");
    EXPECT_FALSE(shown("b_cancel"));
    EXPECT_TRUE(shown("b_save"));
}

TEST_F(ElementEditorTest, eachStepperSendsItsColumnsKeyAndOnlyDriverMinusReadsFlagged) {
    openScripted(kReply);
    const std::pair<const char*, int> buttons[] = {
        {"B_up_1", 3}, {"B_down_1", 7}, {"B_up_2", 2}, {"B_down_2", 6},
        {"B_up_3", 1}, {"B_down_3", 5}, {"B_up_4", 0}, {"B_down_4", 4}};
    for (const auto& [name, code] : buttons) {
        const auto from = mark();
        click(name);
        EXPECT_EQ(codesSince(from), std::vector<int>{code}) << name;
        ASSERT_EQ(framesWith(9, from).size(), 1u) << name;
        EXPECT_EQ((framesWith(9, from)[0][0] & 0x80) != 0, std::string(name) == "B_down_3") << name;
    }
}

TEST_F(ElementEditorTest, shortOrFailedReadLeavesEditsAndExitAsTheyWere) {
    openScripted(kReply);
    controller.replyData[9] = {0x15, 0x02, 0x31, 0x01, 0x5D, 0x02};  // status 0, six bytes
    click("B_up_3");
    EXPECT_EQ(edit("Driver"), "0528 mm");
    EXPECT_TRUE(shown("b_cancel"));
    EXPECT_FALSE(shown("b_save"));
    controller.answering = false;
    click("B_down_2");
    EXPECT_EQ(edit("Dir1"), "0300 mm");
    EXPECT_TRUE(shown("b_cancel"));
}

TEST_F(ElementEditorTest, exitSendsEightEight200msApartThenReturn) {
    start();
    pollTwice();
    choose("ModifyElemets1");
    const auto from = mark();
    click("b_cancel");
    const auto keys = keysSince(from);
    ASSERT_EQ(codesSince(from), (std::vector<int>{8, 8, 13}));
    EXPECT_GE(msBetween(keys[0], keys[1]), 200);
    EXPECT_LT(msBetween(keys[0], keys[1]), 212);
    EXPECT_FALSE(shown("Panel_Menu"));
    EXPECT_TRUE(frontKeysShown());
    EXPECT_EQ(simulator->model().controller().screen(), sim::Screen::Main);
}

TEST_F(ElementEditorTest, saveThenYesStoresAndSaveThenNoDiscards) {
    start();
    pollTwice();
    choose("ModifyElemets1");
    const QString before = edit("Driver");
    click("B_up_3");
    ASSERT_NE(edit("Driver"), before);
    auto from = mark();
    click("b_save");
    EXPECT_EQ(codesSince(from), std::vector<int>{8});
    EXPECT_EQ(text("lfreq_mod_el"), "Do you want to save data?");
    EXPECT_EQ(text("lband_mod_elem"), "Press YES to memorize");
    EXPECT_TRUE(shown("B_yes"));
    EXPECT_TRUE(shown("B_no"));
    EXPECT_FALSE(shown("b_save"));
    EXPECT_FALSE(shown("B_up_3"));
    // Any front key would take the controller off its store screen.
    EXPECT_TRUE(frontKeysHidden());
    EXPECT_EQ(simulator->model().controller().screen(), sim::Screen::SaveQuestion);
    from = mark();
    click("B_yes");
    EXPECT_EQ(codesSince(from), std::vector<int>{6});
    EXPECT_FALSE(shown("Panel_Menu"));
    EXPECT_TRUE(frontKeysShown());
    const int stored = simulator->model().controller().lengths()[0];
    EXPECT_EQ(QString::fromStdString(lengthText(stored)), edit("Driver"));

    choose("ModifyElemets1");
    click("B_up_3");
    click("b_save");
    from = mark();
    click("B_no");
    EXPECT_EQ(codesSince(from), std::vector<int>{8});
    EXPECT_FALSE(shown("Panel_Menu"));
    EXPECT_EQ(simulator->model().controller().lengths()[0], stored);
}

TEST_F(ElementEditorTest, aFunctionOpenedOverTheEditorLiesAboveIt) {
    start();
    pollTwice();
    choose("ModifyElemets1");
    choose("Calibrate1");
    EXPECT_TRUE(shown("Panel_Menu"));
    EXPECT_TRUE(shown("Panel_calibrate"));
    click("Press_No");
    EXPECT_TRUE(shown("Panel_Menu"));
}

TEST(LengthText, fourDigitsAtLeastThenMillimetres) {
    EXPECT_EQ(lengthText(420), "0420 mm");
    EXPECT_EQ(lengthText(0), "0000 mm");
    EXPECT_EQ(lengthText(12345), "12345 mm");
    EXPECT_EQ(lengthText(65535), "65535 mm");
}

TEST(ElementLengthsReply, eightDataBytesMakeARecordAndSevenDoNot) {
    Bytes data = kReply;
    data.resize(7);
    EXPECT_FALSE(decodeElementLengths(data));
    data = kReply;
    const auto l = decodeElementLengths(data);
    ASSERT_TRUE(l);
    EXPECT_EQ(l->driver, 528);
    EXPECT_EQ(l->director1, 300);
    EXPECT_EQ(l->reflector, 600);
    EXPECT_EQ(l->director2, 0);
}

}  // namespace
}  // namespace kt6
