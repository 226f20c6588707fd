#include "command_line.h"

#include <charconv>
#include <vector>

#include "link/commands.h"

namespace kt6::ctl {

namespace {

using api::Cmd;

// Plain decimal digits and nothing else.
std::optional<long> number(std::string_view text) {
    long n = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, n);
    if (text.empty() || text.front() == '-' || error != std::errc{} || stop != end) {
        return std::nullopt;
    }
    return n;
}

struct CommandEntry {
    std::string_view name;
    Cmd cmd;
    const char* argument;  // what its one argument is, or nullptr for none
};
constexpr CommandEntry kCommands[] = {
    {"status", Cmd::Status, nullptr},
    {"watch", Cmd::Watch, nullptr},
    {"key", Cmd::Key, "a key name or code"},
    {"band", Cmd::Band, "a band"},
    {"freq", Cmd::Freq, "a frequency in kHz"},
    {"direction", Cmd::Direction, "normal, 180 or bidir"},
    {"backup", Cmd::Backup, "a file"},
    {"restore", Cmd::Restore, "a file"},
    {"calibrate", Cmd::Function, nullptr},
    {"factory", Cmd::Function, nullptr},
    {"retract", Cmd::Function, nullptr},
    {"test", Cmd::Function, nullptr},
};

// Fills the request from the command's argument; the reason when it does not fit.
std::optional<std::string> readArgument(api::Request& r, std::string_view command,
                                        std::string_view arg) {
    switch (r.cmd) {
        case Cmd::Key: {
            if (auto code = api::keyByName(arg)) {
                r.key = *code;
                return std::nullopt;
            }
            const auto n = number(arg);
            if (n && ((*n >= 0 && *n <= keys::kReturn) || *n == keys::kBandLamp)) {
                r.key = static_cast<std::uint8_t>(*n);
                return std::nullopt;
            }
            return "unknown key '" + std::string(arg) +
                   "': 40m, 30m, 20m, 17m, 15m, 12m, 10m, 6m, up, down, direction, power, menu, "
                   "return, or a code 0-13 or 77";
        }
        case Cmd::Band:
            if (auto key = api::bandKeyByName(arg)) {
                r.key = *key;
                return std::nullopt;
            }
            return "unknown band '" + std::string(arg) +
                   "': 40m, 30m, 20m, 17m, 15m, 12m, 10m or 6m";
        case Cmd::Freq: {
            const auto n = number(arg);
            if (n && *n >= static_cast<long>(api::kMinKhz) &&
                *n <= static_cast<long>(api::kMaxKhz)) {
                r.khz = static_cast<std::uint32_t>(*n);
                return std::nullopt;
            }
            return "'" + std::string(arg) + "' is not a frequency in kHz from 1 to 65535";
        }
        case Cmd::Direction:
            if (auto heading = api::headingByName(arg)) {
                r.heading = *heading;
                return std::nullopt;
            }
            return "unknown heading '" + std::string(arg) + "': normal, 180 or bidir";
        case Cmd::Backup:
        case Cmd::Restore:
            if (arg.empty()) return std::string(command) + " needs a file name";
            r.path = std::string(arg);
            return std::nullopt;
        default:
            return std::nullopt;
    }
}

// The value of an option given as "--name value" or "--name=value"; advances i past it.
std::optional<std::string> optionValue(std::span<const std::string> args, std::size_t& i,
                                       std::string_view name, std::string& error) {
    const std::string& arg = args[i];
    if (arg.size() > name.size() && arg[name.size()] == '=') return arg.substr(name.size() + 1);
    if (i + 1 >= args.size()) {
        error = std::string(name) + " needs a value";
        return std::nullopt;
    }
    return args[++i];
}

}  // namespace

CommandLine parseCommandLine(std::span<const std::string> args) {
    CommandLine out;
    CtlOptions options;
    std::vector<std::string> words;
    bool yes = false;
    bool optionsEnded = false;
    const auto is = [](const std::string& arg, std::string_view name) {
        return arg == name ||
               (arg.size() > name.size() && arg.starts_with(name) && arg[name.size()] == '=');
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string error;
        if (optionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            words.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "-h" || arg == "--help") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--json") {
            options.json = true;
        } else if (arg == "--yes") {
            yes = true;
        } else if (is(arg, "--host")) {
            if (auto v = optionValue(args, i, "--host", error)) options.host = *v;
            if (error.empty() && options.host.empty()) error = "--host needs a host name";
        } else if (is(arg, "--port")) {
            if (auto v = optionValue(args, i, "--port", error)) {
                const auto n = number(*v);
                if (!n || *n < 1 || *n > 65535) {
                    error = "--port takes a TCP port number from 1 to 65535, not '" + *v + "'";
                } else {
                    options.port = static_cast<std::uint16_t>(*n);
                }
            }
        } else if (is(arg, "--token")) {
            if (auto v = optionValue(args, i, "--token", error)) options.token = *v;
        } else if (is(arg, "--device")) {
            if (auto v = optionValue(args, i, "--device", error)) options.device = *v;
            if (error.empty() && options.device->empty()) error = "--device needs a device";
        } else if (is(arg, "--settings")) {
            if (auto v = optionValue(args, i, "--settings", error)) options.settings = *v;
            if (error.empty() && options.settings->empty()) error = "--settings needs a file";
        } else {
            error = "unknown option " + arg;
        }
        if (!error.empty()) {
            out.error = error;
            return out;
        }
    }
    if (options.help || options.version) {
        out.options = std::move(options);
        return out;
    }
    if (words.empty()) {
        out.error = "no command given";
        return out;
    }
    const std::string& command = words[0];
    const CommandEntry* entry = nullptr;
    for (const CommandEntry& e : kCommands) {
        if (e.name == command) entry = &e;
    }
    if (!entry) {
        out.error = "unknown command '" + command + "'";
        return out;
    }
    api::Request& r = options.request;
    r.cmd = entry->cmd;
    const std::size_t wanted = entry->argument ? 2 : 1;
    if (words.size() < wanted) {
        out.error = command + " needs " + entry->argument;
        return out;
    }
    if (words.size() > wanted) {
        out.error = "too many arguments for " + command + ": '" + words[wanted] + "'";
        return out;
    }
    if (entry->argument) {
        if (auto error = readArgument(r, command, words[1])) {
            out.error = *error;
            return out;
        }
    }
    if (r.cmd == Cmd::Function) {
        r.function = *api::functionByName(command);
        // The console asks before a function moves the elements; here the question is --yes.
        if (!yes) {
            out.error = command + " moves the antenna's elements: add --yes to run it";
            return out;
        }
        r.confirm = true;
    } else if (yes) {
        out.error = "--yes is for calibrate, factory, retract and test, not " + command;
        return out;
    }
    out.options = std::move(options);
    return out;
}

std::string usageText() {
    return R"(Usage: kt6ctl [OPTIONS] COMMAND

Controls a SkarNel KT-6 antenna controller through the running console's local interface,
or, when no console answers, through the controller's own port.

Commands:
  status               what the controller reports: frequency, band, heading, motion
  key NAME             press a front-panel key: 40m 30m 20m 17m 15m 12m 10m 6m up down
                       direction power menu return, or a key code 0-13 or 77
  band BAND            select a band as its key on the panel does (40m ... 6m)
  freq KHZ             tune the elements to a frequency in kHz (1-65535)
  direction HEADING    set the heading: normal, 180 or bidir
  watch                print the console's events until it closes (console only)
  backup FILE          save every memory block into a setup file
  restore FILE         load a setup file into the controller
  calibrate --yes      calibrate the elements (about 30 s)
  factory --yes        recall the factory defaults
  retract --yes        retract the elements
  test --yes           test the elements (retracted elements only)

Options:
  --host HOST          the console's host (default 127.0.0.1)
  --port N             the console's port (default: Port= in the settings' [Api], else 4550)
  --token TOKEN        the console's access token (default: Token= in [Api], if any)
  --json               print the console's reply and event lines as they are
  --device PATH        without a console: the controller's port, a device path,
                       tcp://HOST:PORT, rfc2217://HOST:PORT or COMn
  --settings FILE      without a console: the console's settings file, whose COM port
                       and [Ports] map name the controller's port
  -h, --help           show this text
  --version            show the version

Exit status: 0 done, 1 refused or failed, 2 usage error, 3 console or controller not
reachable.
)";
}

}  // namespace kt6::ctl
