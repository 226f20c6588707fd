// A full backup and restore through the console's own link code against the kt6-sim process
// of each firmware generation, over a real pseudo-terminal.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "memory/setup_file.h"
#include "sim_process.h"
#include "support/pty_peer.h"

namespace kt6::testing {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

struct Console {
    explicit Console(const std::string& device)
        : port(makePlatformSerialBackend(), nullptr), pump(port), link(port), transfer(link) {
        pump.attach(&link);
        opened = port.OpenPort(device);
        if (opened == 0) opened = port.SetPortParams(19200, 'n', 8, 1, 'N');
    }
    // Writes one block with command 4 as given.
    bool write(int block, const Bytes& bytes) {
        Bytes data;
        data.reserve(bytes.size() + 2);
        data.push_back(static_cast<std::uint8_t>(block));
        data.push_back(0);
        data.insert(data.end(), bytes.begin(), bytes.end());
        return pump.send(4, data, true, 4, 6000) == 0;
    }
    std::optional<Bytes> read(int block) {
        if (pump.send(5, {static_cast<std::uint8_t>(block), 0}, false, 4, 100) != 0)
            return std::nullopt;
        return pump.lastReply;
    }
    Comm32 port;
    RealTimePump pump;
    Link link;
    BlockTransfer transfer;
    std::int32_t opened = -1;
};

class BackupRestoreProcess : public ::testing::TestWithParam<const char*> {};

TEST_P(BackupRestoreProcess, ARestoredBackupGivesBackEveryBlock) {
    const fs::path dir = fs::temp_directory_path() / ("kt6-mem-it-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    SimProcess sim({"--firmware", GetParam()}, 5s);
    Console console(sim.slavePath());
    ASSERT_EQ(console.opened, 0);
    const std::uint16_t version = std::string(GetParam()) == "1.12"   ? 0x010C
                                  : std::string(GetParam()) == "1.13" ? 0x010D
                                                                      : 0x011E;

    ASSERT_TRUE(backupController(console.transfer, version).received);
    const std::string saved = console.transfer.fileText();
    EXPECT_EQ(saved.rfind("[Factory]\r\nmot_maxvel=1000\r\nmot_minvel=200\r\n", 0), 0u);
    EXPECT_NE(saved.find("\r\n\r\n[User]\r\nbipbip=1\r\n"), std::string::npos);
    EXPECT_NE(saved.find("\r\n\r\n[FactoryTune33]\r\nTune1=0\r\n"), std::string::npos);
    const fs::path file = dir / "backup.skarnel";
    ASSERT_TRUE(writeFileAtomically(file, saved));

    // Change the controller, then put the file back.
    std::vector<Bytes> before;
    for (int block : transferredBlocks(false)) before.push_back(console.read(block).value());
    for (int block : {0, 1, 3, 20, 37, 69}) {
        Bytes changed = console.read(block).value();
        for (std::size_t i = 1; i < changed.size(); ++i) changed[i] ^= 0x5A;
        ASSERT_TRUE(console.write(block, changed)) << block;
    }
    auto source = std::make_unique<ProfileFile>(file);
    ASSERT_FALSE(checkSetupFile(*source, version, false));
    console.transfer.setSourceIni(std::move(source));
    const auto result = restoreController(console.transfer, version);
    ASSERT_FALSE(result.failed()) << restoreStoppedText(result);
    EXPECT_EQ(result.sent, 68);
    const auto blocks = transferredBlocks(false);
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        const Bytes now = console.read(blocks[i]).value();
        EXPECT_EQ(Bytes(now.begin() + 1, now.end()), Bytes(before[i].begin() + 1, before[i].end()))
            << "block " << blocks[i];
    }
    // And a second backup reads exactly the first.
    ASSERT_TRUE(backupController(console.transfer, version).received);
    EXPECT_EQ(console.transfer.fileText(), saved);
    fs::remove_all(dir);
}

TEST(BackupProcess, ASimulatorWithFaultyBlocksGivesABackupThatNamesThemAndIsNotComplete) {
    SimProcess sim(
        {"--firmware", "1.13", "--silent-block", "12", "--short-block=50", "--refuse-block", "69"},
        5s);
    Console console(sim.slavePath());
    ASSERT_EQ(console.opened, 0);
    const auto result = backupController(console.transfer, 0x010D);
    EXPECT_TRUE(result.received);
    EXPECT_FALSE(result.complete());
    EXPECT_EQ(failedBlocksText(result.failed),
              "Useroffs10 (block 12) did not answer, FactoryTune14 (block 50) came short, "
              "FactoryTune33 (block 69) refused (status 3)");
}

INSTANTIATE_TEST_SUITE_P(Firmware, BackupRestoreProcess, ::testing::Values("1.12", "1.13", "1.30"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                             std::string name = p.param;
                             name.erase(name.find('.'), 1);
                             return "v" + name;
                         });

}  // namespace
}  // namespace kt6::testing
