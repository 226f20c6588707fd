// Service functions played to their end without an event loop, as kt6ctl runs them: the keys,
// flags and gaps the window sends, on an in-memory port and a fake clock.
#include "core/service_walk.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "link/commands.h"
#include "support/fake_clock.h"
#include "support/fake_port_waiter.h"
#include "support/fake_serial.h"
#include "unit/link/timed_controller.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using testing::FakeClock;
using testing::FakePortWaiter;
using testing::FakeSerialBackend;
using testing::FakeSerialState;
using testing::ms;
using testing::replyFrame;
using testing::TimedController;

// One key press as it reached the controller.
struct Press {
    ms at;
    int key;
    bool flag;
    bool operator==(const Press&) const = default;
};

void PrintTo(const Press& p, std::ostream* os) {
    *os << "{" << p.at.count() << "ms key " << p.key << (p.flag ? " flagged}" : "}");
}

class ServiceWalkTest : public ::testing::Test {
  protected:
    ServiceWalkTest()
        : port(std::make_unique<FakeSerialBackend>(wire), nullptr),
          link(port),
          waiter(clock, [this] { return !wire.input.empty(); }),
          controller(clock, [this](const Bytes& bytes) { wire.feedReceived(bytes); }) {
        port.OpenPort("bio1");
        port.SetPortParams(19200, 'n', 8, 1, 'N');
        link.enableExchanges();
        wire.onWrite = [this](const Bytes& bytes) { controller.writeFrame(bytes); };
        // Every key answered 5 ms after it was written.
        controller.script = [](const Bytes& content) {
            return std::vector<TimedController::Piece>{{5ms, replyFrame(content[0], 0)}};
        };
    }

    ServiceWalk walk(std::uint32_t kHz) {
        return ServiceWalk(
            link, waiter, [this](ms d) { clock.advance(d); }, kHz,
            [this](ms d) { told.push_back(d); });
    }

    // Every key frame the controller received, retries included.
    std::vector<Press> presses() const {
        std::vector<Press> out;
        for (const auto& f : controller.frames) {
            if (f.content.size() == 3 && f.content[1] == code(CommandCode::Key)) {
                out.push_back({f.at, f.content[2], (f.content[0] & kSequenceFlag) != 0});
            }
        }
        return out;
    }

    FakeSerialState wire;
    Comm32 port;
    Link link;
    FakeClock clock;
    FakePortWaiter waiter;
    TimedController controller;
    std::vector<ms> told;
};

TEST_F(ServiceWalkTest, calibrateSendsTheWindowsKeysAndWaitsFromTheReturnKeysAnswer) {
    ServiceWalk w = walk(14074);
    const ServiceWalkResult r = runServiceFunction(w, ServiceFunction::Calibrate);
    // Opening: the hidden return key, the flagged return, then menu, service, calibrate a
    // third of a second apart; the answer: yes, the return key, and 26 s after its answer the
    // return key.
    const std::vector<Press> expected = {
        {0ms, keys::kReturn, false},    {5ms, keys::kReturn, true},     {343ms, keys::kMenu, false},
        {681ms, keys::kYes, false},     {1019ms, keys::kYes, false},    {1024ms, keys::kYes, false},
        {1029ms, keys::kReturn, false}, {27034ms, keys::kReturn, false}};
    EXPECT_EQ(presses(), expected);
    EXPECT_EQ(r.keys, 8);
    EXPECT_EQ(r.unanswered, 0);
    EXPECT_FALSE(r.portClosed);
    EXPECT_FALSE(r.factoryRecalled);
    // Only the wait behind "please wait" is told, not the menu's short gaps.
    EXPECT_EQ(told, std::vector<ms>{26000ms});
}

TEST_F(ServiceWalkTest, anUnansweredReturnKeyTimesTheWaitFromItsLastTry) {
    // The return key before the calibration's wait goes unanswered, every try: the wait starts
    // once its exchange is over, so the controller gets its whole 26 s after the key.
    int returns = 0;
    controller.script = [&returns](const Bytes& content) {
        std::vector<TimedController::Piece> answer{{5ms, replyFrame(content[0], 0)}};
        if (content[2] == keys::kReturn && ++returns <= 4) answer.clear();
        return answer;
    };
    ServiceWalk w = walk(14074);
    const ServiceWalkResult r = w.play(answerSteps(ServiceAnswer::CalibrateYes));
    const auto p = presses();
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[0], (Press{0ms, keys::kYes, false}));
    // The four tries of the unanswered return key, the first as soon as it was asked for.
    EXPECT_EQ(p[1], (Press{5ms, keys::kReturn, false}));
    for (std::size_t i = 2; i <= 4; ++i) {
        EXPECT_EQ(p[i].key, keys::kReturn);
        EXPECT_LT(p[i].at, 1000ms);
    }
    // 26 s from the end of its last try (four of 150 ms), not from when it was asked for.
    EXPECT_EQ(p[5], (Press{26600ms, keys::kReturn, false}));
    EXPECT_EQ(r.unanswered, 1);
}

TEST_F(ServiceWalkTest, retractWaitsAsLongAsTheReportedBandNeeds) {
    ServiceWalk w = walk(14074);
    const ServiceWalkResult r = runServiceFunction(w, ServiceFunction::Retract);
    const auto p = presses();
    ASSERT_FALSE(p.empty());
    // The yes is the last key; the walk ends once the 20 m band's 22 s have passed after it.
    EXPECT_EQ(p.back().key, keys::kYes);
    EXPECT_EQ(clock.now(), p.back().at + 5ms + 22000ms);
    EXPECT_EQ(told, std::vector<ms>{22000ms});
    EXPECT_EQ(r.unanswered, 0);

    // Six metres retract in 7 s.
    told.clear();
    ServiceWalk six = walk(50100);
    six.play(answerSteps(ServiceAnswer::RetractYes));
    EXPECT_EQ(told, std::vector<ms>{7000ms});
}

TEST_F(ServiceWalkTest, factoryDefaultsSayTheyWereRecalled) {
    ServiceWalk w = walk(7100);
    const ServiceWalkResult r = runServiceFunction(w, ServiceFunction::FactoryDefault);
    EXPECT_TRUE(r.factoryRecalled);
    std::vector<int> keyCodes;
    for (const Press& p : presses()) keyCodes.push_back(p.key);
    EXPECT_EQ(keyCodes, (std::vector<int>{keys::kReturn, keys::kReturn, keys::kMenu, keys::k17m,
                                          keys::kYes, keys::kYes}));
}

TEST_F(ServiceWalkTest, aSilentControllerIsCountedAndTheWalkStillEndsAsTheWindowsDoes) {
    controller.script = nullptr;
    ServiceWalk w = walk(0);
    const ServiceWalkResult r = runServiceFunction(w, ServiceFunction::TestElements);
    // Test: the flagged return opens the question, then yes; four tries each.
    EXPECT_EQ(r.keys, 2);
    EXPECT_EQ(r.unanswered, 2);
    EXPECT_EQ(presses().size(), 8u);
    EXPECT_FALSE(r.portClosed);
    EXPECT_EQ(told, std::vector<ms>{6000ms});
}

TEST_F(ServiceWalkTest, aPortThatClosesEndsTheWalkWithoutWaitingOutItsPauses) {
    // The adapter goes away as the menu key is written.
    controller.script = [this](const Bytes& content) {
        if (content[2] == keys::kMenu) wire.unplug();
        return std::vector<TimedController::Piece>{{5ms, replyFrame(content[0], 0)}};
    };
    ServiceWalk w = walk(14074);
    const ServiceWalkResult r = runServiceFunction(w, ServiceFunction::Calibrate);
    EXPECT_TRUE(r.portClosed);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(presses().back().key, keys::kMenu);
    // Nowhere near the 26 s the calibration would have waited.
    EXPECT_LT(clock.now(), 1000ms);
    EXPECT_TRUE(told.empty());
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
