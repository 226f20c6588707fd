#include "sim/sim_options.h"

#include <algorithm>
#include <charconv>

namespace kt6::sim {
namespace {

template <typename T>
bool parseNumber(const std::string& text, T& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return error == std::errc{} && end == text.data() + text.size() && !text.empty();
}

bool parseProbability(const std::string& text, double& out) {
    try {
        std::size_t used = 0;
        out = std::stod(text, &used);
        return used == text.size() && out >= 0 && out <= 1;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

std::string simUsage() {
    return "Usage: kt6-sim [options]\n"
           "A simulated SkarNel KT-6 controller on a pseudo-terminal. Prints the terminal's\n"
           "path on standard output once it answers; SIGINT, SIGTERM or SIGHUP ends it.\n"
           "\n"
           "  --link PATH       also make PATH a symbolic link to the terminal (removed at exit)\n"
           "  --firmware V      1.12, 1.13 (default) or 1.30: version and block layouts\n"
           "  --drivers N       element drivers fitted, 1 to 4 (default 3)\n"
           "  --units N         linked units whose memory blocks can be addressed (default 1)\n"
           "  --memory FILE     memory blocks: loaded at start, saved on change and at exit\n"
           "  --trace FILE      one line per frame in and out: time, hex, meaning\n"
           "  --pace            keep to the line's 19200 bit/s, 10 bits a byte, both ways\n"
           "  --drop P          lose a received frame with probability P (0 to 1)\n"
           "  --corrupt P       flip one bit of a reply with probability P\n"
           "  --no-reply P      act on a command but lose its reply with probability P\n"
           "  --garbage P       send noise bytes ahead of a reply with probability P\n"
           "  --silent-block N  never answer a read of block N (repeat for more blocks)\n"
           "  --short-block N   answer a read of block N one byte short\n"
           "  --refuse-block N  refuse a read of block N with status 3\n"
           "  --seed N          seed of the fault injection (default 1): same seed, same faults\n"
           "  --version         print the version and exit\n"
           "  --help            this text\n";
}

ParsedOptions parseSimOptions(const std::vector<std::string>& args) {
    SimOptions o;
    auto fail = [](std::string why) { return ParsedOptions{std::nullopt, std::move(why)}; };
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> inlineValue;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = name.substr(eq + 1);
            name.resize(eq);
        }
        if (name == "--help" || name == "-h") {
            o.help = true;
            continue;
        }
        if (name == "--version") {
            o.version = true;
            continue;
        }
        if (name == "--pace") {
            o.model.pace = true;
            continue;
        }
        static constexpr const char* kValued[] = {
            "--link",  "--memory",       "--trace",       "--firmware",    "--drivers",
            "--units", "--drop",         "--corrupt",     "--no-reply",    "--garbage",
            "--seed",  "--silent-block", "--short-block", "--refuse-block"};
        if (std::find(std::begin(kValued), std::end(kValued), name) == std::end(kValued)) {
            return fail("unknown option " + name);
        }
        std::string value;
        if (inlineValue) {
            value = *inlineValue;
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            return fail(name + " needs a value");
        }
        const std::string bad = "bad value for " + name + ": " + value;
        if (name == "--link") {
            o.link = value;
        } else if (name == "--memory") {
            o.memoryFile = value;
        } else if (name == "--trace") {
            o.traceFile = value;
        } else if (name == "--firmware") {
            const auto firmware = parseFirmware(value);
            if (!firmware) return fail(bad + " (1.12, 1.13 or 1.30)");
            o.model.controller.firmware = *firmware;
        } else if (name == "--drivers") {
            if (!parseNumber(value, o.model.controller.drivers) || o.model.controller.drivers < 1 ||
                o.model.controller.drivers > 4)
                return fail(bad + " (1 to 4)");
        } else if (name == "--units") {
            if (!parseNumber(value, o.model.controller.units) || o.model.controller.units < 1 ||
                o.model.controller.units > 3)
                return fail(bad + " (1 to 3)");
        } else if (name == "--silent-block" || name == "--short-block" ||
                   name == "--refuse-block") {
            int block = 0;
            if (!parseNumber(value, block) || block < 0 || block >= kBlockCount)
                return fail(bad + " (a block number, 0 to 69)");
            auto& f = o.model.blockFaults;
            (name == "--silent-block"  ? f.silent
             : name == "--short-block" ? f.shortened
                                       : f.refused)
                .insert(block);
        } else if (name == "--seed") {
            if (!parseNumber(value, o.model.seed)) return fail(bad);
        } else if (name == "--drop" || name == "--corrupt" || name == "--no-reply" ||
                   name == "--garbage") {
            double p = 0;
            if (!parseProbability(value, p)) return fail(bad + " (a probability, 0 to 1)");
            if (name == "--drop") o.model.faults.drop = p;
            if (name == "--corrupt") o.model.faults.corrupt = p;
            if (name == "--no-reply") o.model.faults.noReply = p;
            if (name == "--garbage") o.model.faults.garbage = p;
        } else {
            return fail("unknown option " + name);
        }
    }
    return ParsedOptions{o, {}};
}

}  // namespace kt6::sim
