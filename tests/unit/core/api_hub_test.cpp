// The interface's requests, events and rules on a fake station: no sockets, no window.
#include "core/api_hub.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "hub_fixture.h"
#include "link/commands.h"
#include "support/fake_clock.h"
#include "support/temp_dir.h"

namespace kt6::api {
namespace {

TEST_F(HubTest, statusRepliesWithEveryFieldAndEchoesTheId) {
    make();
    const auto c = client();
    hub->line(c, R"({"id":7,"cmd":"status"})");
    hub->line(c, R"({"id":"a","cmd":"status"})");
    hub->line(c, R"({"cmd":"status"})");
    auto got = take(c);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0]["id"], 7);
    EXPECT_EQ(got[0]["ok"], true);
    EXPECT_EQ(got[0]["online"], true);
    EXPECT_EQ(got[0]["frequency"], 14074);
    EXPECT_EQ(got[0]["band"], "20m");
    EXPECT_EQ(got[0]["heading"], "normal");
    EXPECT_EQ(got[0]["firmware"], "1.13");
    EXPECT_EQ(got[0]["drivers"], 3);
    EXPECT_EQ(got[0]["link"], "Link: COM1 online");
    EXPECT_EQ(got[1]["id"], "a");
    EXPECT_FALSE(got[2].contains("id"));
}

TEST_F(HubTest, aBadLineIsAnsweredWithAnErrorAndTheConnectionStays) {
    make();
    const auto c = client();
    hub->line(c, "not json");
    hub->line(c, R"({"id":3,"cmd":"fly"})");
    hub->line(c, R"({"id":4,"cmd":"status"})");
    auto got = take(c);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0]["ok"], false);
    EXPECT_FALSE(got[0]["error"].get<std::string>().empty());
    EXPECT_EQ(got[1]["id"], 3);
    EXPECT_EQ(got[1]["ok"], false);
    EXPECT_EQ(got[2]["ok"], true);
    EXPECT_TRUE(closed.empty());
}

TEST_F(HubTest, watchersHearStatusThenMovingStartAndStopAndLinkChanges) {
    make();
    const auto watcher = client();
    const auto other = client();
    hub->changed();
    hub->line(watcher, R"({"id":1,"cmd":"watch"})");
    auto got = take(watcher);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0]["ok"], true);
    EXPECT_EQ(got[1]["event"], "status");

    hub->changed();  // nothing changed: nothing said
    EXPECT_TRUE(take(watcher).empty());

    station.now.band = "40m";
    station.now.moving = true;
    hub->changed();
    station.now.moving = false;
    hub->changed();
    station.link = LinkState::Lost;
    station.now.online = false;
    hub->changed();
    got = take(watcher);
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0]["event"], "status");
    EXPECT_EQ(got[0]["band"], "40m");
    EXPECT_EQ(got[1], json::parse(R"({"event":"moving","moving":true})"));
    EXPECT_EQ(got[2]["event"], "status");
    EXPECT_EQ(got[3], json::parse(R"({"event":"moving","moving":false})"));
    EXPECT_EQ(got[4], json::parse(R"({"event":"link","state":"lost"})"));
    EXPECT_EQ(got[5]["online"], false);
    EXPECT_TRUE(take(other).empty());
}

TEST_F(HubTest, keysAndTuningAreRefusedWithTheReasonWhileBusyOrOffline) {
    make();
    const auto c = client();
    station.busyWhy = "busy: a service function is running";
    hub->line(c, R"({"id":1,"cmd":"key","key":"up"})");
    hub->line(c, R"({"id":2,"cmd":"freq","khz":14074})");
    station.busyWhy.clear();
    station.link = LinkState::Offline;
    hub->line(c, R"({"id":3,"cmd":"band","band":"20m"})");
    auto got = take(c);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0]["error"], "busy: a service function is running");
    EXPECT_EQ(got[1]["error"], "busy: a service function is running");
    EXPECT_EQ(got[2]["ok"], false);
    EXPECT_TRUE(station.keys.empty());
    EXPECT_TRUE(station.freqs.empty());
}

TEST_F(HubTest, functionsAndTransfersAreRefusedWhileBusyOrBeforeTheControllerAnswers) {
    make();
    const auto c = client();
    const auto path = (std::filesystem::temp_directory_path() / "hub_test_busy.skarnel").string();
    std::ofstream(path) << "[Factory]\n";
    // A function's keys would walk the menus between a transfer's blocks.
    station.busyWhy = "busy: a backup or restore is running";
    hub->line(c, R"({"id":1,"cmd":"function","name":"calibrate","confirm":true})");
    hub->line(c, R"({"id":2,"cmd":"backup","path":)" + json(path).dump() + "}");
    // Until the controller answers, its firmware and so every block's layout is unknown.
    station.busyWhy.clear();
    station.link = LinkState::Offline;
    hub->line(c, R"({"id":3,"cmd":"restore","path":)" + json(path).dump() + "}");
    hub->line(c, R"({"id":4,"cmd":"backup","path":)" + json(path).dump() + "}");
    hub->line(c, R"({"id":5,"cmd":"function","name":"retract","confirm":true})");
    auto got = take(c);
    ASSERT_EQ(got.size(), 5u);
    EXPECT_EQ(got[0]["error"], "busy: a backup or restore is running");
    EXPECT_EQ(got[1]["error"], "busy: a backup or restore is running");
    for (std::size_t i = 2; i < got.size(); ++i) {
        EXPECT_EQ(got[i]["error"], "the controller is not online") << got[i];
    }
    EXPECT_TRUE(station.functions.empty());
    EXPECT_TRUE(station.transferPath.empty());
    std::filesystem::remove(path);
}

TEST_F(HubTest, aWatcherDroppedWhileAnEventIsWrittenLeavesTheOthersHearingIt) {
    make();
    const auto asker = client();
    const auto slow = watchingClient();
    const auto watcher = watchingClient();
    const auto path = (std::filesystem::temp_directory_path() / "hub_test_slow.skarnel").string();
    hub->line(asker, R"({"id":1,"cmd":"backup","path":)" + json(path).dump() + "}");
    ASSERT_EQ(station.transferPath, path);
    afterWrite = [&](Hub::ClientId id) {
        if (id == slow) hub->disconnect(id);
    };
    station.transferProgress(1, 68);
    station.transferProgress(2, 68);
    EXPECT_EQ(take(slow).size(), 1u);
    EXPECT_EQ(take(watcher).size(), 2u);
    EXPECT_EQ(take(asker).size(), 2u);
}

TEST_F(HubTest, aKeyIsAnsweredWhenTheControllerAnswersIt) {
    make();
    const auto c = client();
    hub->line(c, R"({"id":1,"cmd":"key","key":"up"})");
    hub->line(c, R"({"id":2,"cmd":"band","band":"20m"})");
    hub->line(c, R"({"id":3,"cmd":"freq","khz":7050})");
    ASSERT_EQ(station.keys, (std::vector<std::uint8_t>{keys::kUp, keys::k20m}));
    ASSERT_EQ(station.freqs, std::vector<std::uint32_t>{7050});
    EXPECT_TRUE(take(c).empty());  // nothing before the controller answers
    station.keyDone[0](0);
    station.keyDone[1](255);
    station.freqDone(0);
    auto got = take(c);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0]["id"], 1);
    EXPECT_EQ(got[0]["status"], 0);
    EXPECT_EQ(got[1]["ok"], false);
    EXPECT_EQ(got[1]["error"], "the controller did not answer");
    EXPECT_EQ(got[2]["ok"], true);
}

TEST_F(HubTest, directionPressesTheKeyUntilTheStatusShowsTheHeading) {
    make();
    const auto c = client();
    hub->line(c, R"({"id":1,"cmd":"direction","heading":"bidir"})");
    ASSERT_EQ(station.keys.size(), 1u);
    EXPECT_EQ(station.keys[0], keys::kDirection);
    station.keyDone[0](0);
    hub->changed();  // no record since the answer: not looked at yet
    EXPECT_EQ(station.keys.size(), 1u);
    station.record("180");
    hub->changed();
    ASSERT_EQ(station.keys.size(), 2u);
    station.keyDone[1](0);
    station.record("bidir");
    hub->changed();
    auto got = take(c);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]["ok"], true);
    EXPECT_EQ(got[0]["presses"], 2);

    // Already there: nothing pressed.
    hub->line(c, R"({"id":2,"cmd":"direction","heading":"bidir"})");
    EXPECT_EQ(station.keys.size(), 2u);
    EXPECT_EQ(take(c)[0]["presses"], 0);
}

TEST_F(HubTest, directionGivesUpAfterThreePresses) {
    make();
    const auto c = client();
    hub->line(c, R"({"id":1,"cmd":"direction","heading":"180"})");
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(station.keys.size(), i + 1);
        station.keyDone[i](0);
        station.record("normal");
        hub->changed();
    }
    EXPECT_EQ(station.keys.size(), 3u);
    auto got = take(c);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]["ok"], false);
}

TEST_F(HubTest, directionWithNoStatusReadIsRefusedAndAWaitingOneGivesUp) {
    make();
    const auto c = client();
    const std::string why = "the status is not read while the setup panel is open";
    station.notPollingWhy = why;
    hub->line(c, R"({"id":1,"cmd":"direction","heading":"180"})");
    EXPECT_TRUE(station.keys.empty());
    station.notPollingWhy.clear();
    hub->line(c, R"({"id":2,"cmd":"direction","heading":"180"})");
    ASSERT_EQ(station.keys.size(), 1u);
    station.keyDone[0](0);
    // The poll stops before a record shows the heading: none ever will until it runs again.
    station.notPollingWhy = why;
    hub->changed();
    auto got = take(c);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0]["id"], 1);
    EXPECT_EQ(got[0]["error"], why);
    EXPECT_EQ(got[1]["id"], 2);
    EXPECT_EQ(got[1]["error"], why);
    EXPECT_EQ(station.keys.size(), 1u);
}

TEST_F(HubTest, aFunctionNeedsConfirmAndIsAnsweredWhenItsSequenceEnds) {
    make();
    const auto c = client();
    hub->line(c, R"({"id":1,"cmd":"function","name":"retract"})");
    EXPECT_TRUE(station.functions.empty());
    hub->line(c, R"({"id":2,"cmd":"function","name":"retract","confirm":true})");
    ASSERT_EQ(station.functions, std::vector<ServiceFunction>{ServiceFunction::Retract});
    auto got = take(c);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]["id"], 1);
    EXPECT_EQ(got[0]["ok"], false);
    station.functionDone({});
    got = take(c);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0]["id"], 2);
    EXPECT_EQ(got[0]["ok"], true);

    station.functionRefusal = "The elements are moving: wait until they stop.";
    hub->line(c, R"({"id":3,"cmd":"function","name":"calibrate","confirm":true})");
    EXPECT_EQ(take(c)[0]["error"], station.functionRefusal);
}

TEST_F(HubTest, transfersCheckTheirPathAndReportProgressToTheAskerAndWatchers) {
    make();
    const auto asker = client();
    const auto watcher = watchingClient();
    const auto bystander = client();
    hub->line(asker, R"({"id":1,"cmd":"backup","path":"relative.skarnel"})");
    hub->line(asker, R"({"id":2,"cmd":"backup","path":"/no/such/folder/x.skarnel"})");
    hub->line(asker, R"({"id":3,"cmd":"restore","path":"/no/such/file.skarnel"})");
    auto got = take(asker);
    ASSERT_EQ(got.size(), 3u);
    for (const json& reply : got) EXPECT_EQ(reply["ok"], false) << reply;
    EXPECT_TRUE(station.transferPath.empty());

    const auto path = (std::filesystem::temp_directory_path() / "hub_test.skarnel").string();
    hub->line(asker, R"({"id":4,"cmd":"backup","path":)" + json(path).dump() + "}");
    ASSERT_EQ(station.transferPath, path);
    station.transferProgress(0, 68);
    station.transferProgress(1, 68);
    station.transferDone({});
    got = take(asker);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], json::parse(R"({"event":"progress","block":1,"blocks":68})"));
    EXPECT_EQ(got[1]["id"], 4);
    EXPECT_EQ(got[1]["ok"], true);
    ASSERT_EQ(take(watcher).size(), 1u);
    EXPECT_TRUE(take(bystander).empty());

    // A restore tells how much of the controller it wrote and how much the file left alone.
    std::ofstream(path) << "[Factory]\n";
    hub->line(asker, R"({"id":5,"cmd":"restore","path":)" + json(path).dump() + "}");
    ASSERT_TRUE(station.restoreDone);
    station.restoreDone({}, 12, 56);
    got = take(asker);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], json::parse(R"({"id":5,"ok":true,"sent":12,"skipped":56})"));
    std::filesystem::remove(path);
}

TEST_F(HubTest, aListenerWithATokenServesOnlyWhoSendsIt) {
    make(HubOptions{true, "s3cret"});
    const auto stranger = client();
    hub->line(stranger, R"({"id":1,"cmd":"status"})");
    EXPECT_EQ(take(stranger)[0]["ok"], false);
    EXPECT_TRUE(closed.count(stranger));

    const auto guesser = client();
    hub->line(guesser, R"({"cmd":"auth","token":"s3creT"})");
    EXPECT_EQ(take(guesser)[0]["ok"], false);
    EXPECT_TRUE(closed.count(guesser));

    const auto friendly = client();
    hub->line(friendly, R"({"cmd":"auth","token":"s3cret"})");
    hub->line(friendly, R"({"id":2,"cmd":"status"})");
    auto got = take(friendly);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0]["ok"], true);
    EXPECT_EQ(got[1]["online"], true);
    EXPECT_FALSE(closed.count(friendly));
}

TEST_F(HubTest, theSeventeenthClientAndAnOverlongLineAreTurnedAway) {
    make();
    std::vector<Hub::ClientId> ids;
    for (int i = 0; i < kMaxClients; ++i) ids.push_back(client());
    EXPECT_FALSE(hub->connect().id);
    hub->disconnect(ids[0]);
    EXPECT_TRUE(hub->connect().id);

    hub->line(ids[1], std::string(kMaxLine + 1, ' '));
    EXPECT_TRUE(closed.count(ids[1]));
    EXPECT_EQ(take(ids[1])[0]["ok"], false);
}

TEST_F(HubTest, answersForAClientThatLeftOrAfterTheHubWentGoNowhere) {
    make();
    const auto c = client();
    hub->line(c, R"({"id":1,"cmd":"key","key":"up"})");
    hub->line(c, R"({"id":2,"cmd":"key","key":"down"})");
    hub->disconnect(c);
    station.keyDone[0](0);
    EXPECT_TRUE(take(c).empty());
    hub.reset();
    station.keyDone[1](0);  // must not reach the destroyed hub
    EXPECT_TRUE(take(c).empty());
}

TEST_F(HubTest, closingTellsEveryClientAndClosesThem) {
    make();
    const auto a = client();
    const auto b = client();
    hub->closing();
    EXPECT_EQ(take(a)[0], json::parse(R"({"event":"closing"})"));
    EXPECT_EQ(take(b)[0], json::parse(R"({"event":"closing"})"));
    EXPECT_EQ(closed, (std::set<Hub::ClientId>{a, b}));
    EXPECT_EQ(hub->clients(), 0);
}

TEST_F(HubTest, strangersAreClosedAfterFiveSilentSecondsOrTenWithAHalfLineAndEachIsLogged) {
    make(HubOptions{true, "0123456789abcdef"});
    const auto silent = client("10.0.0.9:5000");
    const auto trickling = client();
    const auto friendly = client();
    hub->line(friendly, R"({"cmd":"auth","token":"0123456789abcdef"})");
    clock.advance(std::chrono::milliseconds(4900));
    EXPECT_TRUE(closed.empty());
    clock.advance(std::chrono::milliseconds(200));
    EXPECT_EQ(closed, (std::set<Hub::ClientId>{silent, trickling}));
    EXPECT_EQ(take(silent).at(0)["error"], "no authentication within 5 s");
    ASSERT_FALSE(logged.empty());
    EXPECT_NE(logged[0].find("10.0.0.9:5000"), std::string::npos) << logged[0];

    // An authenticated client may be silent for ever, but not hold half a line for 10 s, and
    // ending the line in time resets the clock for the next one.
    hub->unfinished(friendly, true);
    clock.advance(std::chrono::milliseconds(9000));
    hub->line(friendly, R"({"cmd":"status"})");
    hub->unfinished(friendly, true);
    clock.advance(std::chrono::milliseconds(9000));
    EXPECT_FALSE(closed.count(friendly));
    hub->unfinished(friendly, true);  // more of the same line: its clock runs on
    clock.advance(std::chrono::milliseconds(1001));
    EXPECT_TRUE(closed.count(friendly));
    EXPECT_EQ(take(friendly).back()["error"], "a line left unfinished for 10 s");
}

TEST_F(HubTest, strangersNeverTakeTheLastFourSlotsSoTheyCannotLockAnyoneOut) {
    make(HubOptions{true, "0123456789abcdef"});
    std::vector<Hub::ClientId> strangers;
    for (int i = 0; i < kMaxClients - kReservedSlots; ++i) strangers.push_back(client());
    // Each newcomer who authenticates gets in; the stranger waiting longest makes room.
    for (int i = 0; i < kMaxClients; ++i) {
        hub->line(client(), R"({"cmd":"auth","token":"0123456789abcdef"})");
    }
    EXPECT_EQ(closed, std::set<Hub::ClientId>(strangers.begin(), strangers.end()));
    EXPECT_EQ(take(strangers[0]).at(0)["error"], "too many clients waiting to authenticate");
    EXPECT_EQ(hub->clients(), kMaxClients);
    const Hub::Admission full = hub->connect("10.0.0.9:5000");
    EXPECT_FALSE(full.id);
    EXPECT_NE(full.refusal.find("too many clients: 16"), std::string::npos) << full.refusal;
    EXPECT_NE(logged.back().find("10.0.0.9:5000"), std::string::npos) << logged.back();
}

TEST_F(HubTest, wrongTokensBeyondFiveASecondWaitTheirTurnAndEachClosesItsClient) {
    make(HubOptions{true, "0123456789abcdef"});
    std::vector<Hub::ClientId> guessers;
    for (int i = 0; i < 8; ++i) guessers.push_back(client());
    for (const auto g : guessers) hub->line(g, R"({"cmd":"auth","token":"guess"})");
    // Five are looked at and closed; the rest wait, and so do new connections.
    EXPECT_EQ(closed.size(), 5u);
    EXPECT_FALSE(accepting);
    EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                            [](const std::string& l) { return l.find("wrong token") != l.npos; }),
              5);
    // A right token behind them waits too, then gets in with what it sent meanwhile, in order.
    hub->disconnect(guessers[7]);
    const auto late = client();
    hub->line(late, R"({"id":1,"cmd":"auth","token":"0123456789abcdef"})");
    hub->line(late, R"({"id":2,"cmd":"status"})");
    EXPECT_TRUE(take(late).empty());
    clock.advance(std::chrono::milliseconds(1000));
    EXPECT_EQ(closed.size(), 7u);
    const auto got = take(late);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0]["id"], 1);
    EXPECT_EQ(got[0]["ok"], true);
    EXPECT_EQ(got[1]["id"], 2);
    EXPECT_EQ(got[1]["online"], true);
    clock.advance(std::chrono::milliseconds(1000));
    EXPECT_TRUE(accepting);
}

}  // namespace
}  // namespace kt6::api
