// Service functions confirmed by a caller (the interface, kt6ctl) on the console's sequence
// runner: what it tells when the controller leaves keys unanswered or the port goes away, and
// the waits it shows, on the in-memory port and the fake loop.
#include "core/sequence_runner.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "link/commands.h"
#include "support/link_on_fake_port.h"
#include "support/poll_stage.h"
#include "unit/link/timed_controller.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::ms;
using testing::replyFrame;
using testing::TimedController;

struct NoDisplay : PollView {
    void showDisplay() override {}
    void showRetracted() override {}
    void placeBandLamp(int) override {}
    void setLinkButtonsEnabled(bool) override {}
    void setStatusLine(const std::string&) override {}
    void showRecord(const StatusRecord&) override {}
};

struct PauseLog : SequenceView {
    void pauseStarted(ms d) override { pauses.push_back(d); }
    std::vector<ms> pauses;
};

class SequenceRunnerTest : public ::testing::Test, protected testing::LinkOnFakePort {
  protected:
    SequenceRunnerTest() : controller(clock, [this](const Bytes& b) { wire.feedReceived(b); }) {
        link.enableExchanges();
        wire.onWrite = [this](const Bytes& bytes) { controller.writeFrame(bytes); };
        controller.script = [](const Bytes& content) {
            return std::vector<TimedController::Piece>{{5ms, replyFrame(content[0], 0)}};
        };
        runner.setView(&view);
    }

    // Confirms the function and turns the loop until its done: the error it told.
    std::optional<std::string> run(ServiceFunction function) {
        std::optional<std::string> told;
        EXPECT_EQ(runner.runConfirmed(function, {}, [&told](const std::string& e) { told = e; }),
                  "");
        while (!told && clock.now() < 60000ms) pump.advance(5ms);
        return told;
    }

    std::vector<int> keysReceived() const {
        std::vector<int> out;
        for (const auto& f : controller.frames) {
            if (f.content.size() == 3 && f.content[1] == code(CommandCode::Key))
                out.push_back(f.content[2]);
        }
        return out;
    }

    NoDisplay display;
    StatusPoll poll{link, display};
    SequenceRunner runner{link, poll, clock};
    PauseLog view;
    TimedController controller;
};

TEST_F(SequenceRunnerTest, retractWaitsAsLongAsTheReportedBandNeeds) {
    testing::PollStage::frequency(poll, 14074);
    EXPECT_EQ(run(ServiceFunction::Retract), "");
    EXPECT_EQ(keysReceived().back(), keys::kYes);
    // 20 m: 22 s after the yes; the opening's short gaps are pauses too.
    ASSERT_FALSE(view.pauses.empty());
    EXPECT_EQ(view.pauses.back(), 22000ms);

    // Six metres retract in 7 s.
    view.pauses.clear();
    testing::PollStage::frequency(poll, 50100);
    EXPECT_EQ(run(ServiceFunction::Retract), "");
    EXPECT_EQ(view.pauses.back(), 7000ms);
}

TEST_F(SequenceRunnerTest, keysASilentControllerLeftUnansweredAreCountedAndTold) {
    controller.script = nullptr;
    // Test: the flagged return opens the question, then yes; four tries each.
    EXPECT_EQ(run(ServiceFunction::TestElements),
              "the controller did not answer 2 of 2 keys: the function may not have run as it "
              "should");
    EXPECT_EQ(keysReceived().size(), 8u);
    EXPECT_FALSE(runner.running());
}

TEST_F(SequenceRunnerTest, keysAfterThePortWentAwayAreToldAsUnanswered) {
    // The adapter goes away as the menu key is written. The sequence keeps its time (a device
    // back during the wait gets its last key), but what it could not send is not called done.
    controller.script = [this](const Bytes& content) {
        if (content[2] == keys::kMenu) wire.unplug();
        return std::vector<TimedController::Piece>{{5ms, replyFrame(content[0], 0)}};
    };
    const auto told = run(ServiceFunction::Calibrate);
    ASSERT_TRUE(told);
    EXPECT_NE(told->find("the controller did not answer"), std::string::npos) << *told;
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(keysReceived().back(), keys::kMenu);
}

TEST(YesAnswer, isTheQuestionsYesForEachFunctionWithOne) {
    EXPECT_EQ(yesAnswer(ServiceFunction::Calibrate), ServiceAnswer::CalibrateYes);
    EXPECT_EQ(yesAnswer(ServiceFunction::FactoryDefault), ServiceAnswer::FactoryYes);
    EXPECT_EQ(yesAnswer(ServiceFunction::Retract), ServiceAnswer::RetractYes);
    EXPECT_EQ(yesAnswer(ServiceFunction::TestElements), ServiceAnswer::TestYes);
    EXPECT_FALSE(yesAnswer(ServiceFunction::ModifyElements));
}

}  // namespace
}  // namespace kt6
