// `kt6ctl backup` with no console running, against kt6-sim --pace (firmware 1.30, 68 blocks):
// the whole run of the process, from its start to its exit, beside the wire time of the 68
// block reads, taken from the simulator's trace. kt6ctl waits for each reply before its next
// command and the simulator holds the real 19200 bit/s both ways, so no run can read below
// 1.0x; what it shows above that is what kt6ctl adds: its start, the console port it finds
// closed, opening the port, the two status requests (the firmware's, the transfer's link
// check), the transfer's fixed settling pause, and its own gaps between blocks.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "sim_process.h"
#include "support/loopback_listener.h"
#include "support/program_run.h"
#include "wire_time.h"

namespace {

namespace fs = std::filesystem;
using kt6::bench::readTrace;
using kt6::bench::wireSeconds;
constexpr int kRuns = 3;

int run() {
    const fs::path dir =
        fs::temp_directory_path() / ("kt6-bench-kt6ctl-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path trace = dir / "trace.txt";
    const fs::path file = dir / "backup.skarnel";
    kt6::testing::SimProcess sim({"--pace", "--firmware", "1.30", "--trace", trace.string()},
                                 std::chrono::seconds(5));
    const int consolePort = kt6::testing::freeLoopbackPort();

    struct Figure {
        double wall;
        double wire;     // the 68 block reads
        double allWire;  // every frame of the run
    };
    std::vector<Figure> figures;
    for (int i = 0; i < kRuns; ++i) {
        const std::size_t mark = readTrace(trace).size();
        const auto result =
            kt6::testing::runProgram(KT6CTL_PATH,
                                     {"--port", std::to_string(consolePort), "--device",
                                      sim.slavePath(), "backup", file.string()},
                                     std::chrono::seconds(60));
        if (result.exitCode != 0) {
            std::fprintf(stderr, "bench_kt6ctl_backup: kt6ctl failed: %s\n", result.err.c_str());
            return 1;
        }
        const double wall = std::chrono::duration<double>(result.took).count();
        const auto lines = readTrace(trace);
        figures.push_back({wall, wireSeconds(lines, mark, true), wireSeconds(lines, mark)});
    }
    // The median run by its ratio: one run disturbed by the machine does not make the figure.
    std::sort(figures.begin(), figures.end(),
              [](const Figure& a, const Figure& b) { return a.wall / a.wire < b.wall / b.wire; });
    const Figure median = figures[figures.size() / 2];
    std::printf("BENCH kt6ctl_backup_68_blocks %.0f ms\n", median.wall * 1000);
    std::printf("BENCH kt6ctl_backup_wire_time %.0f ms\n", median.wire * 1000);
    std::printf("BENCH kt6ctl_backup_all_frames_wire_time %.0f ms\n", median.allWire * 1000);
    std::printf("BENCH kt6ctl_backup_ratio %.2f x\n", median.wall / median.wire);
    fs::remove_all(dir);
    return 0;
}

}  // namespace

int main() {
    try {
        return run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_kt6ctl_backup: %s\n", e.what());
        return 1;
    }
}
