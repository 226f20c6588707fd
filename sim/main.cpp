// kt6-sim: the simulated controller on a pseudo-terminal, for the console, the integration
// tests, the benchmarks and the demo.
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "kt6_build_info.h"
#include "sim/controller_model.h"
#include "sim/memory_file.h"
#include "sim/pty_device.h"
#include "sim/sim_options.h"

namespace {

using namespace kt6::sim;

volatile std::sig_atomic_t stopSignal = 0;

void onStopSignal(int signal) {
    stopSignal = signal;
}

// Blocks the stop signals outside the wait, so one arriving between two checks of the flag
// still ends the next ppoll at once instead of being lost; the old mask is what ppoll uses.
sigset_t takeStopSignals() {
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    // SIGHUP too: closing the terminal the simulator runs in must not leave the link behind.
    constexpr int kStops[] = {SIGINT, SIGTERM, SIGHUP};
    sigset_t stop;
    sigemptyset(&stop);
    for (int s : kStops) {
        ::sigaction(s, &action, nullptr);
        sigaddset(&stop, s);
    }
    ::signal(SIGPIPE, SIG_IGN);
    sigset_t old;
    ::sigprocmask(SIG_BLOCK, &stop, &old);
    for (int s : kStops) sigdelset(&old, s);
    return old;
}

// Writes all of bytes into the master, waiting for room when the slave's queue is full.
void writeAll(int fd, const kt6::Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && stopSignal == 0) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put > 0) {
            done += static_cast<std::size_t>(put);
        } else if (put < 0 && errno != EAGAIN && errno != EINTR) {
            return;
        } else {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 50);
        }
    }
}

class MemoryKeeper {
  public:
    MemoryKeeper(const Controller& controller, std::string path)
        : controller_(controller), path_(std::move(path)), saved_(controller.memoryGeneration()) {}

    void saveIfChanged() {
        if (path_.empty() || controller_.memoryGeneration() == saved_) return;
        save();
    }
    void save() {
        if (path_.empty()) return;
        std::string error;
        if (!saveMemoryFile(controller_, path_, &error)) std::cerr << "kt6-sim: " << error << "\n";
        saved_ = controller_.memoryGeneration();
    }

  private:
    const Controller& controller_;
    std::string path_;
    std::uint64_t saved_;
};

int run(const SimOptions& options) {
    const sigset_t waitMask = takeStopSignals();
    std::string error;
    auto pty = PtyDevice::create(&error);
    if (!pty) {
        std::cerr << "kt6-sim: " << error << "\n";
        return 1;
    }
    ControllerModel model(options.model, Clock::now());
    if (!options.memoryFile.empty() && std::filesystem::exists(options.memoryFile)) {
        if (!loadMemoryFile(model.controller(), options.memoryFile, &error)) {
            std::cerr << "kt6-sim: " << error << "\n";
            return 1;
        }
        model.controller().memoryReplaced(Clock::now());
    }
    MemoryKeeper memory(model.controller(), options.memoryFile);
    memory.save();

    std::ofstream trace;
    if (!options.traceFile.empty()) {
        trace.open(options.traceFile, std::ios::out | std::ios::trunc);
        if (!trace) {
            std::cerr << "kt6-sim: cannot write " << options.traceFile << "\n";
            return 1;
        }
        model.setTrace([&trace](std::string_view line) { trace << line << std::endl; });
    }
    std::optional<SymlinkGuard> link;
    if (!options.link.empty()) {
        link = SymlinkGuard::create(options.link, pty->slavePath(), &error);
        if (!link) {
            std::cerr << "kt6-sim: " << error << "\n";
            return 1;
        }
    }
    std::cout << pty->slavePath() << std::endl;

    std::vector<std::uint8_t> buffer(4096);
    while (stopSignal == 0) {
        timespec wait{1, 0};
        if (const auto due = model.nextDue()) {
            const auto left = std::max(Duration::zero(), *due - Clock::now());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
            wait = {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
        }
        pollfd p{pty->master(), POLLIN, 0};
        const int ready = ::ppoll(&p, 1, &wait, &waitMask);
        if (ready < 0 && errno != EINTR) {
            std::cerr << "kt6-sim: poll: " << std::strerror(errno) << "\n";
            break;
        }
        if (ready > 0 && (p.revents & POLLIN) != 0) {
            const ssize_t got = ::read(pty->master(), buffer.data(), buffer.size());
            // A whole frame often comes in one read; stamped with the time it was read, the
            // model spreads it over the line's byte times itself when pacing.
            if (got > 0)
                model.receive(
                    std::span<const std::uint8_t>(buffer.data(), static_cast<std::size_t>(got)),
                    Clock::now());
        }
        writeAll(pty->master(), model.takeDue(Clock::now()));
        memory.saveIfChanged();
    }
    memory.save();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto parsed = parseSimOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::cerr << "kt6-sim: " << parsed.error << "\n" << simUsage();
        return 2;
    }
    if (parsed.options->help) {
        std::cout << simUsage();
        return 0;
    }
    if (parsed.options->version) {
        std::cout << "kt6-sim " KT6_VERSION "\n";
        return 0;
    }
    return run(*parsed.options);
}
