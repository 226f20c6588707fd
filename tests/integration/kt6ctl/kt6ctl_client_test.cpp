// kt6ctl through a console: a JSON-lines server of the test's own plays the console's local
// interface, so the exact lines kt6ctl sends can be checked and any reply given.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "core/api_protocol.h"
#include "support/loopback_listener.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace kt6::testing {
namespace {

using namespace std::chrono_literals;
using Answer = LoopbackLineServer::Answer;

// The id of a request line, as JSON text.
std::string idOf(const std::string& line) {
    return api::parseRequest(line).id;
}

api::StationStatus exampleStatus() {
    api::StationStatus s;
    s.online = true;
    s.port = "COM3";
    s.firmware = "1.13";
    s.drivers = 3;
    s.frequency = 14074;
    s.band = "20m";
    s.heading = "180";
    s.power = true;
    s.link = "Link: online";
    return s;
}

// Answers every request as a console that knows the token "tok" would; backups send progress
// first.
Answer consoleAnswer(const std::string& line) {
    const api::Parsed p = api::parseRequest(line);
    if (!p.request) return {{api::errorReply(p.id, p.error)}};
    switch (p.request->cmd) {
        case api::Cmd::Auth:
            if (p.request->token == "tok") return {{api::okReply(p.id)}};
            return {{api::errorReply(p.id, "wrong token")}};
        case api::Cmd::Status:
            return {{api::statusReply(p.id, exampleStatus())}};
        case api::Cmd::Backup:
            return {{api::progressEvent(1, 68), api::movingEvent(false),
                     // A reply to someone else's request is not this one's.
                     api::errorReply("77", "not yours"), api::progressEvent(68, 68),
                     api::okReply(p.id)}};
        default:
            return {{api::okReply(p.id)}};
    }
}

// A settings file of the test's own, so no [Api] section of the machine's gets in.
std::filesystem::path noSettings() {
    return std::filesystem::temp_directory_path() /
           ("kt6ctl-none-" + std::to_string(::getpid()) + ".ini");
}

ProgramResult ctl(int port, std::vector<std::string> args) {
    args.insert(args.begin(),
                {"--port", std::to_string(port), "--settings", noSettings().string()});
    return runProgram(KT6CTL_PATH, args, 30s);
}

TEST(Kt6ctlClient, findsTheConsolesPortAndTokenInItsSettings) {
    LoopbackLineServer console(consoleAnswer);
    const auto settings = std::filesystem::temp_directory_path() /
                          ("kt6ctl-api-" + std::to_string(::getpid()) + ".ini");
    {
        std::ofstream f(settings);
        f << "[Api]\r\nPort=" << console.port() << "\r\nToken=tok\r\n";
    }
    const ProgramResult r =
        runProgram(KT6CTL_PATH, {"--settings", settings.string(), "status"}, 30s);
    std::filesystem::remove(settings);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(console.received(),
              (std::vector<std::string>{R"({"id":1,"cmd":"auth","token":"tok"})",
                                        R"({"id":2,"cmd":"status"})"}));
}

TEST(Kt6ctlClient, findsTheTokenTheConsoleGeneratedForThisAccount) {
    LoopbackLineServer console(consoleAnswer);
    TempDir dir;
    const auto settings = dir.write(
        "skarnel.ini", "[Api]\r\nPort=" + std::to_string(console.port()) + "\r\nToken=\r\n");
    const std::string token(64, 'c');
    const auto tokenFile = dir.write("api-token", token + "\n");
    std::filesystem::permissions(
        tokenFile, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const ProgramResult r =
        runProgram(KT6CTL_PATH, {"--settings", settings.string(), "status"}, 30s);
    EXPECT_EQ(console.received().at(0), R"({"id":1,"cmd":"auth","token":")" + token + R"("})");
}

TEST(Kt6ctlClient, aConsoleTurningItAwaySaysWhyAsTheConsoleWroteIt) {
    const auto turnAway = [](const std::string&) {
        return Answer{{api::errorReply({}, "too many clients: 16 at most")}, true};
    };
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"status"}, {"--token", "0123456789abcdef", "status"}}) {
        LoopbackLineServer console(turnAway);
        const ProgramResult r = ctl(console.port(), args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.err, "kt6ctl: too many clients: 16 at most\n");
    }
}

TEST(Kt6ctlClient, sendsTheTokenFirstThenTheRequestEachWithItsId) {
    LoopbackLineServer console(consoleAnswer);
    const ProgramResult r = ctl(console.port(), {"--token", "tok", "status"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(console.received(),
              (std::vector<std::string>{R"({"id":1,"cmd":"auth","token":"tok"})",
                                        R"({"id":2,"cmd":"status"})"}));
    EXPECT_EQ(r.out,
              "online: yes\nport: COM3\nfirmware: 1.13\ndrivers: 3\nfrequency: 14074 kHz\n"
              "band: 20m\nheading: 180\nmoving: no\npower: on\nlink: Link: online\n");
    EXPECT_EQ(r.err, "");
}

TEST(Kt6ctlClient, withoutATokenTheRequestIsTheFirstLine) {
    LoopbackLineServer console(consoleAnswer);
    const ProgramResult r = ctl(console.port(), {"key", "direction"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(console.received(),
              std::vector<std::string>{R"({"id":1,"cmd":"key","key":"direction"})"});
    EXPECT_EQ(r.out, "key direction pressed\n");

    for (const auto& [args, line] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"band", "6m"}, R"({"id":1,"cmd":"band","band":"6m"})"},
             {{"freq", "50100"}, R"({"id":1,"cmd":"freq","khz":50100})"},
             {{"key", "77"}, R"({"id":1,"cmd":"key","key":77})"},
             {{"direction", "bidir"}, R"({"id":1,"cmd":"direction","heading":"bidir"})"},
             {{"factory", "--yes"}, R"({"id":1,"cmd":"function","name":"factory","confirm":true})"},
         }) {
        LoopbackLineServer one(consoleAnswer);
        EXPECT_EQ(ctl(one.port(), args).exitCode, 0);
        EXPECT_EQ(one.received(), std::vector<std::string>{line});
    }
}

TEST(Kt6ctlClient, aBackupPrintsItsProgressAndNamesTheFileInFull) {
    LoopbackLineServer console(consoleAnswer);
    const auto dir = std::filesystem::temp_directory_path();
    // A relative name is the caller's: the console would read it against its own folder.
    const std::string relative = "kt6ctl-client-" + std::to_string(::getpid()) + ".skarnel";
    const std::string absolute = (std::filesystem::current_path() / relative).string();
    ProgramResult r = ctl(console.port(), {"backup", relative});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(console.received(),
              std::vector<std::string>{R"({"id":1,"cmd":"backup","path":")" + absolute + "\"}"});
    // Progress counts up on a terminal only: piped, just the outcome.
    EXPECT_EQ(r.out, "Backup saved to " + absolute + "\n");

    // --json: the console's own lines, the reply last.
    LoopbackLineServer again(consoleAnswer);
    r = ctl(again.port(), {"--json", "backup", absolute});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, api::progressEvent(1, 68) + api::progressEvent(68, 68) + api::okReply("1"));
}

TEST(Kt6ctlClient, aRefusalExits1WithTheConsolesReason) {
    LoopbackLineServer console([](const std::string& line) {
        return Answer{{api::errorReply(idOf(line), "the controller does not answer")}};
    });
    ProgramResult r = ctl(console.port(), {"retract", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kt6ctl: the controller does not answer\n");
    EXPECT_EQ(r.out, "");

    LoopbackLineServer json(
        [](const std::string& line) { return Answer{{api::errorReply(idOf(line), "busy")}}; });
    r = ctl(json.port(), {"--json", "freq", "7050"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.out, "{\"id\":1,\"ok\":false,\"error\":\"busy\"}\n");
    EXPECT_EQ(r.err, "kt6ctl: busy\n");
}

TEST(Kt6ctlClient, aRefusedTokenEndsItBeforeTheRequestGoesOut) {
    LoopbackLineServer console(consoleAnswer);
    const ProgramResult r = ctl(console.port(), {"--token", "guess", "retract", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kt6ctl: the console refused the token: wrong token\n");
    EXPECT_EQ(console.received(),
              std::vector<std::string>{R"({"id":1,"cmd":"auth","token":"guess"})"});
}

TEST(Kt6ctlClient, aRestoreSaysHowManyBlocksTheFileLeftAsTheyWere) {
    LoopbackLineServer console([](const std::string& line) {
        return Answer{{api::okReply(idOf(line), R"({"sent":24,"skipped":44})")}, false};
    });
    const ProgramResult r = ctl(console.port(), {"restore", "/tmp/cut.skarnel"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "loaded /tmp/cut.skarnel: 24 blocks sent, 44 left as they were\n");
}

TEST(Kt6ctlClient, aConsoleThatClosesBeforeReplyingExits3) {
    LoopbackLineServer console([](const std::string&) {
        return Answer{{api::progressEvent(3, 68)}, true};
    });
    const ProgramResult r = ctl(console.port(), {"restore", "/tmp/a.skarnel"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "kt6ctl: the console closed the connection before answering\n");
}

TEST(Kt6ctlClient, watchPrintsEventsUntilTheConsoleCloses) {
    LoopbackLineServer console([](const std::string& line) {
        api::StationStatus s = exampleStatus();
        s.moving = true;
        return Answer{{api::okReply(idOf(line)), api::statusEvent(s), api::movingEvent(false),
                       api::linkEvent(api::LinkState::Lost), api::closingEvent()},
                      true};
    });
    const ProgramResult r = ctl(console.port(), {"watch"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(console.received(), std::vector<std::string>{R"({"id":1,"cmd":"watch"})"});
    EXPECT_EQ(r.out,
              "status: 14074 kHz, band 20m, heading 180, moving\nmoving: no\nlink: lost\n"
              "console closing\n");
}

TEST(Kt6ctlClient, eventsOtherThanProgressAreNotPrintedWhileTheReplyIsAwaited) {
    LoopbackLineServer console([](const std::string& line) {
        return Answer{{api::movingEvent(true), api::okReply(idOf(line))}};
    });
    const ProgramResult r = ctl(console.port(), {"calibrate", "--yes"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "calibrate done\n");
}

TEST(Kt6ctlClient, aConsoleHostThatCannotBeFoundExits3) {
    const ProgramResult r =
        runProgram(KT6CTL_PATH, {"--host", "no-such-host.invalid", "status"}, 30s);
    EXPECT_EQ(r.exitCode, 3);
    // Not found, or no answer from a name server within 3 s: either way, nothing to try.
    EXPECT_EQ(r.err.rfind("kt6ctl: the console cannot be reached: no-such-host.invalid:4550: ", 0),
              0u)
        << r.err;
}

}  // namespace
}  // namespace kt6::testing
