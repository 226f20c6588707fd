// kt6ctl with no console running, on the controller's own port: the kt6-sim process on a
// pseudo-terminal, kt6ctl run as a process against it, and nothing listening on the interface's
// port.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/api_protocol.h"
#include "link/status.h"
#include "memory/layouts.h"
#include "memory/setup_file.h"
#include "sim_process.h"
#include "support/loopback_listener.h"
#include "support/program_run.h"
#include "support/pty_peer.h"

namespace kt6::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class Kt6ctlDirect : public ::testing::Test {
  protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("kt6ctl-direct-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        // An empty settings file of the test's own, so no file of the build tree is read.
        settings = dir / "skarnel.ini";
        std::ofstream(settings) << "[General]\n";
        consolePort = freeLoopbackPort();
        ASSERT_GT(consolePort, 0);
    }
    void TearDown() override { fs::remove_all(dir); }

    void startSim(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--firmware", "1.30"});
        sim.emplace(args, 5s);
    }

    // kt6ctl with no console on its port, the settings file given, and these arguments.
    ProgramResult ctl(std::vector<std::string> args, std::chrono::milliseconds within = 60s) {
        args.insert(args.begin(),
                    {"--port", std::to_string(consolePort), "--settings", settings.string()});
        return runProgram(KT6CTL_PATH, args, within);
    }
    ProgramResult onSim(std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", sim->slavePath()});
        return ctl(args);
    }
    api::StationStatus status() {
        const ProgramResult r = onSim({"--json", "status"});
        EXPECT_EQ(r.exitCode, 0) << r.err;
        const auto message = api::parseMessage(r.out);
        if (!message || !message->status) {
            ADD_FAILURE() << "no status in: " << r.out;
            return {};
        }
        return *message->status;
    }

    fs::path dir, settings;
    int consolePort = -1;
    std::optional<SimProcess> sim;
};

TEST_F(Kt6ctlDirect, statusPrintsWhatTheControllerReports) {
    startSim();
    const ProgramResult r = onSim({"status"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_NE(r.out.find("online: yes\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("port: " + sim->slavePath() + "\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("firmware: 1.30\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("drivers: 3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("moving: no\n"), std::string::npos) << r.out;

    // --json gives the reply a console would: the same values, readable by any client.
    const api::StationStatus s = status();
    EXPECT_TRUE(s.online);
    EXPECT_EQ(s.firmware, "1.30");
    EXPECT_EQ(s.port, sim->slavePath());
    EXPECT_NE(r.out.find("frequency: " + std::to_string(s.frequency) + " kHz\n"),
              std::string::npos);
    EXPECT_NE(r.out.find("band: " + s.band + "\n"), std::string::npos);
}

TEST_F(Kt6ctlDirect, aBandKeyFrequencyAndHeadingReachTheController) {
    startSim({"--trace", (dir / "trace.txt").string()});
    ProgramResult r = onSim({"band", "40m"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "band 40m selected\n");
    // As the panel's band key: the key, then the return key, both before kt6ctl ends.
    const std::string trace = readFile(dir / "trace.txt");
    const auto band = trace.find("key 7");
    ASSERT_NE(band, std::string::npos) << trace;
    EXPECT_NE(trace.find("key 13", band), std::string::npos) << trace;
    api::StationStatus s = status();
    EXPECT_EQ(s.band, "40m");
    EXPECT_EQ(bandLampKey(s.frequency), 7) << s.frequency;

    r = onSim({"freq", "21200"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "frequency set to 21200 kHz\n");
    EXPECT_EQ(status().frequency, 21200u);

    // The direction key steps normal, 180, bidir and round again.
    for (const char* heading : {"bidir", "180", "normal"}) {
        r = onSim({"direction", heading});
        ASSERT_EQ(r.exitCode, 0) << heading << ": " << r.err;
        EXPECT_EQ(status().heading, heading);
    }
}

TEST_F(Kt6ctlDirect, aBackupIsTheConsolesFileAndRestoresTheControllerToIt) {
    startSim();
    const fs::path first = dir / "first.skarnel";
    ProgramResult r = onSim({"backup", first.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Backup saved to " + first.string() + "\n");
    const std::string saved = readFile(first);

    // The bytes the console's own code makes of the same controller.
    {
        Comm32 port(makePlatformSerialBackend(), nullptr);
        ASSERT_EQ(port.OpenPort(sim->slavePath()), 0);
        ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
        Link link(port);
        BlockTransfer transfer(link);
        ASSERT_TRUE(backupController(transfer, kFirmware130).complete());
        EXPECT_EQ(saved, transfer.fileText());
    }

    // A changed file goes in, and a backup gives it back.
    std::string changed = saved;
    for (const auto& [from, to] :
         {std::pair<std::string, std::string>{"[User]\r\nbipbip=1\r\n", "[User]\r\nbipbip=0\r\n"},
          {"[FactoryTune33]\r\nTune1=0\r\n", "[FactoryTune33]\r\nTune1=7\r\n"}}) {
        const auto at = changed.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        changed.replace(at, from.size(), to);
    }
    const fs::path second = dir / "second.skarnel";
    std::ofstream(second, std::ios::binary) << changed;
    r = onSim({"restore", second.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "loaded " + second.string() + ": 68 blocks sent\n");
    const fs::path check = dir / "check.skarnel";
    ASSERT_EQ(onSim({"backup", check.string()}).exitCode, 0);
    EXPECT_EQ(readFile(check), changed);

    // And the first file puts the controller back as it was; --json says it as a console would.
    r = onSim({"--json", "restore", first.string()});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // Progress events first, block 1 to 68, then the reply.
    EXPECT_EQ(r.out.find("{\"event\":\"progress\",\"block\":1,\"blocks\":68}\n"), 0u) << r.out;
    const std::string reply = "{\"id\":1,\"ok\":true,\"sent\":68,\"skipped\":0}\n";
    ASSERT_GE(r.out.size(), reply.size());
    EXPECT_EQ(r.out.substr(r.out.size() - reply.size()), reply);
    ASSERT_EQ(onSim({"backup", check.string()}).exitCode, 0);
    EXPECT_EQ(readFile(check), saved);
}

TEST_F(Kt6ctlDirect, aBackupWithBlocksMissingIsNotSavedAndLeavesAnOlderFileAlone) {
    startSim({"--silent-block", "12"});
    const fs::path file = dir / "older.skarnel";
    std::ofstream(file, std::ios::binary) << "[Factory]\r\nolder=1\r\n";
    const ProgramResult r = onSim({"backup", file.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kt6ctl: Backup not saved: Useroffs10 (block 12) did not answer\n");
    EXPECT_EQ(readFile(file), "[Factory]\r\nolder=1\r\n");
    // No temporary file left beside it either.
    int files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir)) ++files;
    EXPECT_EQ(files, 2);
}

TEST_F(Kt6ctlDirect, aFileThatIsNoSetupFileIsRefusedBeforeAnythingIsSent) {
    startSim({"--trace", (dir / "trace.txt").string()});
    const fs::path file = dir / "notes.skarnel";
    std::ofstream(file) << "[Notes]\nantenna=yagi\n";
    const ProgramResult r = onSim({"restore", file.string()});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "kt6ctl: " + file.string() +
                  " is not a setup file: it has neither a [Factory] nor a [User] section.\n");
    // Only the status request that read the firmware version went out.
    const std::string trace = readFile(dir / "trace.txt");
    EXPECT_EQ(trace.find("write-"), std::string::npos) << trace;
    EXPECT_EQ(trace.find("read-block"), std::string::npos) << trace;
    EXPECT_NE(trace.find("status-request"), std::string::npos) << trace;
}

TEST_F(Kt6ctlDirect, theSettingsComPortAndItsMappingNameTheDevice) {
    startSim();
    std::ofstream(settings) << "[General]\nSerialport=4\n[Ports]\nCOM4=" << sim->slavePath()
                            << "\n";
    ProgramResult r = ctl({"status"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("port: COM4 (" + sim->slavePath() + ")\n"), std::string::npos) << r.out;

    // --device takes a COM name as the console's menu gives it, mapped the same way.
    std::ofstream(settings) << "[General]\nSerialport=1\n[Ports]\nCOM9=" << sim->slavePath()
                            << "\n";
    r = ctl({"--device", "com9", "status"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("port: COM9 (" + sim->slavePath() + ")\n"), std::string::npos) << r.out;
}

TEST_F(Kt6ctlDirect, noConsoleAndNoDeviceThereExits3) {
    const std::string missing = (dir / "ttyUSB7").string();
    std::ofstream(settings) << "[Ports]\nCOM1=" << missing << "\n";
    const ProgramResult r = ctl({"status"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("no console answers on 127.0.0.1:" + std::to_string(consolePort)),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find(missing + ": no such device"), std::string::npos) << r.err;
}

TEST_F(Kt6ctlDirect, aControllerThatDoesNotAnswerExits3) {
    PtyPair silent;  // a port with nothing on the far end
    const ProgramResult r = ctl({"--device", silent.slavePath(), "band", "20m"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.err, "kt6ctl: the controller on " + silent.slavePath() +
                         " does not answer. Check that it is switched on, connected, and on "
                         "this port.\n");
}

TEST_F(Kt6ctlDirect, aConfirmedRetractionRunsAsTheConsolesAndLeavesTheElementsIn) {
    // The simulator starts on 20 m with the elements still: the retraction may run at once.
    startSim({"--trace", (dir / "trace.txt").string()});
    const ProgramResult r = onSim({"retract", "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    // 20 m retracts in 22 s, waited for behind the controller's "please wait".
    EXPECT_EQ(r.out, "retract: waiting 22 s for the elements\nretract done\n");
    EXPECT_GE(r.took, 22s);
    EXPECT_EQ(status().frequency, 0u);
    // The console's walk: return, return, menu, service, retract, yes.
    std::string keys;
    std::istringstream trace(readFile(dir / "trace.txt"));
    for (std::string line; std::getline(trace, line);) {
        if (const auto at = line.find(" key ");
            at != std::string::npos && line.find(" IN ") != std::string::npos)
            keys += line.substr(at + 5) + ",";
    }
    EXPECT_EQ(keys, "13,13,8,6,7,6,");
}

TEST_F(Kt6ctlDirect, aFunctionTheControllerCannotRunNowIsRefused) {
    startSim();
    // The elements are out: a test needs them retracted first.
    const ProgramResult r = onSim({"test", "--yes"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err,
              "kt6ctl: test not started: Only with the elements retracted (Functions > "
              "Retract).\n");
}

TEST_F(Kt6ctlDirect, watchNeedsTheConsole) {
    startSim();
    const ProgramResult r = onSim({"watch"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("watch needs the console running"), std::string::npos);
}

TEST_F(Kt6ctlDirect, aBackupPathThatCannotBeWrittenIsRefusedBeforeThePortIsOpened) {
    // No controller anywhere: the path's fault is what is told, not the port's.
    const ProgramResult r =
        ctl({"--device", (dir / "no-device").string(), "backup", "/no/such/folder/kt6.skarnel"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "kt6ctl: no such folder: /no/such/folder\n");
}

TEST_F(Kt6ctlDirect, usageErrorsExit2BeforeAnythingIsOpened) {
    // A console that would answer anything: none of these may reach it.
    LoopbackLineServer console([](const std::string&) {
        return LoopbackLineServer::Answer{{"{\"id\":1,\"ok\":true}\n"}};
    });
    const std::vector<std::vector<std::string>> lines = {
        {},
        {"launch"},
        {"calibrate"},
        {"retract", "now"},
        {"band", "11m"},
        {"key", "14"},
        {"freq", "0"},
        {"freq", "65536"},
        {"freq", "14.074"},
        {"direction", "back"},
        {"backup"},
        {"status", "--yes"},
        {"status", "extra"},
        {"--colour", "status"},
        {"--port", "0", "status"},
        {"status", "--host"},
    };
    for (const auto& args : lines) {
        std::vector<std::string> all = {"--port", std::to_string(console.port())};
        all.insert(all.end(), args.begin(), args.end());
        const ProgramResult r = runProgram(KT6CTL_PATH, all, 10s);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_EQ(r.err.rfind("kt6ctl: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("Try 'kt6ctl --help'."), std::string::npos);
    }
    EXPECT_EQ(console.connections(), 0);
    const ProgramResult help = runProgram(KT6CTL_PATH, {"--help"}, 10s);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out.rfind("Usage: kt6ctl [OPTIONS] COMMAND", 0), 0u);
}

}  // namespace
}  // namespace kt6::testing
