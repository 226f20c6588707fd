// A full restore (68 blocks) against kt6-sim --pace on a clean line and on one that drops 5% of
// the frames the controller should get and flips a bit in 5% of its replies, with the console's
// adaptive block-write wait, and (with --fixed-wait) with every try waiting its whole 6 s. The
// simulator holds the real 19200 bit/s both ways, so no figure can beat the wire. The faulted
// figure is the median of three seeds.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "memory/setup_file.h"
#include "sim_process.h"
#include "support/pty_peer.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
constexpr std::uint16_t kVersion = kt6::kFirmware130;

// kt6-sim at the real line speed, with these options besides.
std::vector<std::string> paced(std::vector<std::string> args) {
    args.insert(args.begin(), {"--pace", "--firmware", "1.30"});
    return args;
}

// The console's own link on a fresh kt6-sim with these options, on its event loop's queue.
struct SimConsole {
    explicit SimConsole(const std::vector<std::string>& args)
        : sim(paced(args), std::chrono::seconds(5)),
          port(kt6::makePlatformSerialBackend(), nullptr),
          pump(port),
          link(port),
          transfer(link) {
        pump.attach(&link);
        if (port.OpenPort(sim.slavePath()) != 0 || port.SetPortParams(19200, 'n', 8, 1, 'N') != 0) {
            throw std::runtime_error(kt6::portErrorText(port.PortError(), port.DevicePath()));
        }
    }
    kt6::testing::SimProcess sim;
    kt6::Comm32 port;
    kt6::testing::RealTimePump pump;
    kt6::Link link;
    kt6::BlockTransfer transfer;
};

// Seconds a restore of file took; throws when it did not send every block.
double timedRestore(SimConsole& console, const fs::path& file, bool adaptive) {
    console.transfer.setAdaptiveWrite(adaptive);
    console.transfer.setSourceIni(std::make_unique<kt6::ProfileFile>(file));
    const auto started = Clock::now();
    const auto restore = kt6::restoreController(console.transfer, kVersion);
    const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
    if (restore.failed() || restore.sent != 68) {
        throw std::runtime_error("the restore did not send every block: " +
                                 kt6::restoreStoppedText(restore));
    }
    return seconds;
}

double faultedMedian(const fs::path& file, bool adaptive) {
    std::vector<double> runs;
    for (const char* seed : {"1", "2", "3"}) {
        SimConsole faulted({"--drop", "0.05", "--corrupt", "0.05", "--seed", seed});
        runs.push_back(timedRestore(faulted, file, adaptive));
    }
    std::sort(runs.begin(), runs.end());
    return runs[1];
}

int run(bool fixedWaitToo) {
    const fs::path dir =
        fs::temp_directory_path() / ("kt6-bench-restore-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "backup.skarnel";
    double clean = 0;
    {
        SimConsole console({});
        const auto backup = kt6::backupController(console.transfer, kVersion);
        if (!backup.complete()) throw std::runtime_error("the backup did not receive every block");
        if (!kt6::writeFileAtomically(file, console.transfer.fileText()))
            throw std::runtime_error("the backup could not be written");
        clean = timedRestore(console, file, true);
    }
    const double faulted = faultedMedian(file, true);
    std::printf("BENCH memory_restore_clean %.0f ms\n", clean * 1000);
    std::printf("BENCH memory_restore_5drop_5corrupt %.0f ms\n", faulted * 1000);
    std::printf("BENCH memory_restore_5drop_5corrupt_vs_clean %.2f x\n", faulted / clean);
    if (fixedWaitToo) {
        const double fixed = faultedMedian(file, false);
        std::printf("BENCH memory_restore_5drop_5corrupt_fixed_wait %.0f ms\n", fixed * 1000);
        std::printf("BENCH memory_restore_5drop_5corrupt_fixed_wait_vs_clean %.2f x\n",
                    fixed / clean);
    }
    fs::remove_all(dir);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc > 1 && std::strcmp(argv[1], "--fixed-wait") == 0);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_restore_faults: %s\n", e.what());
        return 1;
    }
}
