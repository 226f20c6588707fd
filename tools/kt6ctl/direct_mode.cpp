#include "direct_mode.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <thread>

#include "console/settings_location.h"
#include "core/api_hub.h"
#include "core/port_settings.h"
#include "core/service_walk.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/serial_network.h"
#include "link/status.h"
#include "memory/profile_file.h"
#include "memory/setup_file.h"
#include "memory/transfer_settings.h"

namespace kt6::ctl {

namespace {

using namespace std::chrono_literals;
using api::Cmd;

// A heading not shown yet after a press is asked for again after a poll's interval.
constexpr std::chrono::milliseconds kPollInterval{400};
constexpr int kHeadingLooks = 3;
constexpr int kMaxDirectionPresses = 3;

std::string keyLabel(std::uint8_t code) {
    const auto name = api::keyName(code);
    return name.empty() ? std::to_string(code) : std::string(name);
}

class DirectRun {
  public:
    DirectRun(const CtlOptions& options, const ControllerPort& where, Printer& printer)
        : options_(options),
          where_(where),
          printer_(printer),
          port_(makeSerialBackend(NetworkOptions{}), nullptr),
          link_(port_),
          waiter_(port_) {}

    int run() {
        const api::Request& r = options_.request;
        // The lines a console would have sent for kt6ctl's one request, the first it sends.
        printer_.setReplyId("1");
        if (r.cmd == Cmd::Watch) {
            return printer_.failed(3, noConsole() +
                                          "; watch needs the console running: it prints the "
                                          "console's events");
        }
        // A path that cannot be used is told before the controller is read for a minute.
        if (r.cmd == Cmd::Backup || r.cmd == Cmd::Restore) {
            if (const std::string problem = api::transferPathProblem(r.cmd, r.path);
                !problem.empty())
                return printer_.failed(1, problem);
        }
        if (const std::int32_t error = open(); error != 0) {
            return printer_.failed(3, noConsole() + ", and the controller's port does not open: " +
                                          portErrorText(error, where_.device));
        }
        link_.enableExchanges();
        const auto record = status();
        if (!record) {
            return printer_.failed(3, "the controller on " + where_.label +
                                          " does not answer. Check that it is switched on, "
                                          "connected, and on this port.");
        }
        switch (r.cmd) {
            case Cmd::Status: {
                api::StationStatus s = api::statusFromRecord(*record);
                s.online = true;
                s.port = where_.label;
                printer_.status(s);
                return 0;
            }
            case Cmd::Key:
                if (auto failure = press(r.key)) return printer_.failed(1, *failure);
                return printer_.done(doneText(r));
            case Cmd::Band:
                // As a click on the panel's band key: the key, then the return key.
                if (auto failure = press(r.key)) return printer_.failed(1, *failure);
                if (auto failure = press(keys::kReturn)) return printer_.failed(1, *failure);
                return printer_.done(doneText(r));
            case Cmd::Freq:
                return frequency(r);
            case Cmd::Direction:
                return direction(r, *record);
            case Cmd::Function:
                return function(r, *record);
            case Cmd::Backup:
                return backup(r, record->firmwareVersion());
            case Cmd::Restore:
                return restore(r, record->firmwareVersion());
            case Cmd::Watch:
            case Cmd::Auth:
                break;
        }
        return printer_.failed(1, "not a command for the controller");
    }

  private:
    // Why kt6ctl is here at all: "no console answers on localhost:4550".
    std::string noConsole() const {
        return "no console answers on " + options_.host + ":" +
               std::to_string(options_.port.value_or(api::kDefaultPort));
    }

    std::int32_t open() {
        if (const std::int32_t error = port_.OpenPort(where_.device); error != 0) return error;
        return port_.SetPortParams(19200, 'n', 8, 1, 'N');
    }

    Outcome exchange(const Command& command) { return link_.SendCommandBlocking(command, waiter_); }

    // The controller's status now; nothing when it does not answer with a whole record.
    std::optional<StatusRecord> status() {
        const Outcome o = exchange(statusCommand());
        if (o.status == kNoReply) return std::nullopt;
        // The record is read from the reply's content: sequence byte, status, data.
        Bytes content(2 + o.reply.size());
        content[1] = o.status;
        std::copy(o.reply.begin(), o.reply.end(), content.begin() + 2);
        return decodeStatusRecord(content);
    }

    // Why the key did not go through; nothing when the controller took it.
    std::optional<std::string> press(std::uint8_t key) {
        const Outcome o = exchange(keyCommand(key));
        if (o.status == kNoReply) return "the controller did not answer key " + keyLabel(key);
        if (o.status != 0) {
            return "the controller refused key " + keyLabel(key) + " (status " +
                   std::to_string(o.status) + ")";
        }
        return std::nullopt;
    }

    int frequency(const api::Request& r) {
        const Outcome o = exchange(frequencyCommand(r.khz));
        if (o.status == kNoReply) {
            return printer_.failed(1, "the controller did not answer the frequency");
        }
        if (o.status != 0) {
            return printer_.failed(1, "the controller refused " + std::to_string(r.khz) +
                                          " kHz (status " + std::to_string(o.status) + ")");
        }
        return printer_.done(doneText(r));
    }

    // The direction key steps normal, 180, bidir and round: pressed until the status shows the
    // heading asked for, three presses at most.
    int direction(const api::Request& r, const StatusRecord& first) {
        std::uint8_t heading = first.heading;
        for (int presses = 0;; ++presses) {
            const auto now = api::headingOf(heading);
            if (!now) {
                return printer_.failed(1,
                                       "the controller reports a heading this program does "
                                       "not know (byte " +
                                           std::to_string(heading) + ")");
            }
            if (*now == r.heading) return printer_.done(doneText(r));
            if (presses == kMaxDirectionPresses) {
                return printer_.failed(1, "the heading is still " +
                                              std::string(api::headingName(*now)) +
                                              " after three presses of the direction key");
            }
            if (auto failure = press(keys::kDirection)) return printer_.failed(1, *failure);
            // The new heading shows in a later status; one not changed yet is asked again.
            for (int look = 0; look < kHeadingLooks; ++look) {
                if (look > 0) std::this_thread::sleep_for(kPollInterval);
                const auto record = status();
                if (!record) {
                    return printer_.failed(1,
                                           "the controller stopped answering after the "
                                           "direction key");
                }
                const bool changed = record->heading != heading;
                heading = record->heading;
                if (changed) break;
            }
        }
    }

    int function(const api::Request& r, const StatusRecord& record) {
        const std::string name(api::functionName(r.function));
        const GuardState guard{true, record.frequency, false, record.moving};
        if (const auto refusal = guardRefusal(r.function, guard)) {
            return printer_.failed(1, name + " not started: " + std::string(*refusal));
        }
        ServiceWalk walk(
            link_, waiter_, [](std::chrono::milliseconds d) { std::this_thread::sleep_for(d); },
            record.frequency,
            [this, &name](std::chrono::milliseconds d) {
                printer_.say(name + ": waiting " + std::to_string((d.count() + 999) / 1000) +
                             " s for the elements");
            });
        const ServiceWalkResult result = runServiceFunction(walk, r.function);
        if (result.portClosed) {
            return printer_.failed(
                1, "the controller's port closed during " + name + ": it may not have finished");
        }
        if (result.unanswered > 0) {
            return printer_.failed(1, unansweredKeysText(result.unanswered, result.keys, name));
        }
        if (result.factoryRecalled) {
            return printer_.done("Executed factory default data have been recalled");
        }
        if (r.function == ServiceFunction::TestElements) {
            // The console leaves its "TEST ACTIVE" question up; its yes is the menu key.
            return printer_.done(
                "test active: the elements are out; 'kt6ctl key menu' retracts them");
        }
        return printer_.done(doneText(r));
    }

    TransferProgress progress() {
        return [this](int done, int total) {
            if (done > 0) printer_.progress(done, total);
        };
    }

    int backup(const api::Request& r, std::uint16_t version) {
        BlockTransfer transfer(link_, waiter_);
        const BackupResult result = backupController(transfer, version, progress());
        if (!result.complete()) {
            // Nothing is written: a file without every block would pass for a backup later,
            // and an older whole one at that path is worth more.
            return printer_.failed(1, "Backup not saved: " + failedBlocksText(result.failed));
        }
        std::string error;
        // The very text the console's "Salva..." writes.
        if (!writeFileAtomically(r.path, transfer.fileText(), &error)) {
            return printer_.failed(1, "Backup not saved: " + error);
        }
        std::string saved = doneText(r);
        if (const std::string note = spacedTextsNote(result); !note.empty()) saved += "; " + note;
        return printer_.done(saved);
    }

    int restore(const api::Request& r, std::uint16_t version) {
        auto source = std::make_unique<ProfileFile>(r.path);
        // The whole file is checked before the first block goes out.
        if (auto problem = checkSetupFile(*source, version, false)) {
            return printer_.failed(1, *problem);
        }
        BlockTransfer transfer(link_, waiter_);
        transfer.setAdaptiveWrite(where_.adaptiveWrite);
        transfer.setSourceIni(std::move(source));
        const RestoreResult result = restoreController(transfer, version, progress());
        if (result.failed()) return printer_.failed(1, restoreStoppedText(result));
        return printer_.restored(r.path, result.sent, result.skipped);
    }

    const CtlOptions& options_;
    const ControllerPort& where_;
    Printer& printer_;
    Comm32 port_;
    Link link_;
    SteadyPortWaiter waiter_;
};

}  // namespace

ControllerPort controllerPort(const CtlOptions& options, const std::filesystem::path& exeDir) {
    ControllerPort out;
    const std::optional<int> named = options.device ? comPortNumber(*options.device) : std::nullopt;
    const ProfileFile settings(locateSettingsFile(exeDir, options.settings));
    // A restore treats the line as the console would, whichever port it goes to.
    out.adaptiveWrite = readTransferSettings(settings).adaptiveWrite;
    if (options.device && !named) {
        out.device = *options.device;
        out.label = out.device;
        return out;
    }
    if (!settings.problem().empty()) {
        out.note = "the settings file " + settings.path().string() + " " + settings.problem() +
                   "; its defaults are used";
    }
    std::string problem;
    const int n = named ? *named : settingsComPort(settings, &problem);
    if (!problem.empty()) out.note = problem;
    out.device = settingsComDevice(settings, n);
    out.label = "COM" + std::to_string(n) + " (" + out.device + ")";
    return out;
}

int runDirect(const CtlOptions& options, const ControllerPort& port, Printer& printer) {
    if (!port.note.empty()) printer.complain(port.note);
    return DirectRun(options, port, printer).run();
}

}  // namespace kt6::ctl
