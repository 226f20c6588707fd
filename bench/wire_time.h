#pragma once
// The wire time of what kt6-sim traced: every frame's bytes at 10 bits a byte at 19200 bit/s,
// plus the controller's own time from a command's end byte to its reply's first. Shared by the
// benchmarks that hold a transfer's wall time against it.
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kt6::bench {

inline constexpr double kByteSeconds = 10.0 / 19200.0;

struct TraceLine {
    double seconds = 0;
    bool in = false;
    std::size_t bytes = 0;
    bool blockRead = false;  // a command reading a memory block
};

inline std::vector<TraceLine> readTrace(const std::filesystem::path& path) {
    std::vector<TraceLine> lines;
    std::ifstream file(path);
    std::string text;
    while (std::getline(file, text)) {
        std::istringstream in(text);
        TraceLine line;
        std::string direction, hex;
        in >> line.seconds >> direction;
        line.in = direction == "IN";
        while (in >> hex && hex.size() == 2) ++line.bytes;
        line.blockRead = line.in && text.find(" read-block ") != std::string::npos;
        lines.push_back(line);
    }
    return lines;
}

// Wire time of the trace lines from `first` on: each exchange's bytes both ways plus the
// controller's time between them. The simulator stamps a command with the arrival of its end
// byte and a reply with the start of its first, so the difference is turnaround and memory
// time only.
// With blockReadsOnly, only the block reads' exchanges count: the rest of a run is overhead.
inline double wireSeconds(const std::vector<TraceLine>& lines, std::size_t first,
                          bool blockReadsOnly = false) {
    double seconds = 0;
    const TraceLine* command = nullptr;
    for (std::size_t i = first; i < lines.size(); ++i) {
        const TraceLine& l = lines[i];
        if (l.in) {
            command = blockReadsOnly && !l.blockRead ? nullptr : &l;
            if (command) seconds += static_cast<double>(l.bytes) * kByteSeconds;
        } else if (command) {
            seconds += static_cast<double>(l.bytes) * kByteSeconds;
            seconds += l.seconds - command->seconds;
            command = nullptr;
        } else if (!blockReadsOnly) {
            seconds += static_cast<double>(l.bytes) * kByteSeconds;
        }
    }
    return seconds;
}

}  // namespace kt6::bench
