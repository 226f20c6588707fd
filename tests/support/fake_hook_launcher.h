#pragma once
// A hook launcher that starts nothing: every start is kept with its arguments and environment,
// and the test ends each one when and how it likes.
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "core/moving_outputs.h"

namespace kt6::testing {

struct FakeHookState {
    struct Run {
        std::vector<std::string> args;
        std::vector<std::string> env;
        HookLauncher::Finished finished;
        bool ended = false;
    };
    std::vector<Run> runs;

    // Starts not yet ended.
    std::size_t running() const {
        std::size_t n = 0;
        for (const Run& r : runs) n += r.ended ? 0 : 1;
        return n;
    }
    // Ends run i as given (by default: exit status 0).
    void finish(std::size_t i, HookOutcome outcome = {}) {
        Run& run = runs.at(i);
        run.ended = true;
        auto finished = std::move(run.finished);
        finished(outcome);
    }
    // Ends the latest run.
    void finishLast(HookOutcome outcome = {}) { finish(runs.size() - 1, std::move(outcome)); }
    // The value the hook variable had in each run, in order ("1", "0", ...).
    std::vector<std::string> movingValues() const {
        std::vector<std::string> values;
        for (const Run& r : runs) {
            for (const std::string& e : r.env) {
                if (e.starts_with("KT6_MOVING=")) values.push_back(e.substr(11));
            }
        }
        return values;
    }
};

class FakeHookLauncher : public HookLauncher {
  public:
    explicit FakeHookLauncher(FakeHookState& state) : s_(state) {}
    void start(const std::vector<std::string>& args, const std::vector<std::string>& env,
               Finished finished) override {
        s_.runs.push_back({args, env, std::move(finished), false});
    }

  private:
    FakeHookState& s_;
};

}  // namespace kt6::testing
