#pragma once
// A command-line program run to its end for a test or a benchmark: its exit status, what it
// wrote on stdout and stderr, and how long it took. A run that outlasts its deadline is killed
// by its PID and reported as such.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kt6::testing {

struct ProgramResult {
    std::optional<int> exitCode;  // nothing when it was killed or ended by a signal
    std::string out;
    std::string err;
    bool timedOut = false;
    std::chrono::steady_clock::duration took{};
};

// Runs program with args (argv[0] is the program itself) and waits up to within for its end.
ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                         std::chrono::milliseconds within);

}  // namespace kt6::testing
