// A full backup (68 blocks) and a full restore against kt6-sim --pace, which holds the real
// 19200 bit/s both ways, each beside the wire time of its frames taken from the simulator's
// trace: every frame's bytes at 10 bits a byte, plus the controller's own time from a command's
// end byte to its reply's first. The console waits for each reply before its next command, so
// the ratio cannot fall below 1; what it shows above that is what the console adds.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>

#include "memory/setup_file.h"
#include "sim_process.h"
#include "support/pty_peer.h"
#include "wire_time.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using kt6::bench::readTrace;
using kt6::bench::wireSeconds;

int run() {
    const fs::path dir =
        fs::temp_directory_path() / ("kt6-bench-backup-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path trace = dir / "trace.txt";
    kt6::testing::SimProcess sim({"--pace", "--firmware", "1.30", "--trace", trace.string()},
                                 std::chrono::seconds(5));
    kt6::Comm32 port(kt6::makePlatformSerialBackend(), nullptr);
    kt6::testing::RealTimePump pump(port);
    kt6::Link link(port);
    pump.attach(&link);
    if (port.OpenPort(sim.slavePath()) != 0 || port.SetPortParams(19200, 'n', 8, 1, 'N') != 0) {
        std::fprintf(stderr, "bench_backup: %s\n",
                     kt6::portErrorText(port.PortError(), port.DevicePath()).c_str());
        return 1;
    }
    kt6::BlockTransfer transfer(link);
    constexpr std::uint16_t kVersion = kt6::kFirmware130;

    std::size_t mark = readTrace(trace).size();
    auto started = Clock::now();
    const auto backup = kt6::backupController(transfer, kVersion);
    const double backupSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (!backup.complete()) {
        std::fprintf(stderr, "bench_backup: the backup did not receive every block\n");
        return 1;
    }
    const double backupWire = wireSeconds(readTrace(trace), mark);

    const fs::path file = dir / "backup.skarnel";
    kt6::writeFileAtomically(file, transfer.fileText());
    transfer.setSourceIni(std::make_unique<kt6::ProfileFile>(file));
    mark = readTrace(trace).size();
    started = Clock::now();
    const auto restore = kt6::restoreController(transfer, kVersion);
    const double restoreSeconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (restore.failed() || restore.sent != 68) {
        std::fprintf(stderr, "bench_backup: the restore did not send every block\n");
        return 1;
    }
    const double restoreWire = wireSeconds(readTrace(trace), mark);

    std::printf("BENCH memory_backup_68_blocks %.0f ms\n", backupSeconds * 1000);
    std::printf("BENCH memory_backup_wire_time %.0f ms\n", backupWire * 1000);
    std::printf("BENCH memory_backup_vs_wire %.2f x\n", backupSeconds / backupWire);
    std::printf("BENCH memory_restore_68_blocks %.0f ms\n", restoreSeconds * 1000);
    std::printf("BENCH memory_restore_wire_time %.0f ms\n", restoreWire * 1000);
    std::printf("BENCH memory_restore_vs_wire %.2f x\n", restoreSeconds / restoreWire);
    fs::remove_all(dir);
    return 0;
}

}  // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_backup: %s\n", e.what());
        return 1;
    }
}
