#include "direct_mode.h"

#include <cerrno>
#include <chrono>
#include <memory>
#include <optional>

#include "console/settings_location.h"
#include "console_client.h"
#include "core/api_hub.h"
#include "core/blocking_loop.h"
#include "core/console_controller.h"
#include "core/controller_station.h"
#include "core/port_settings.h"
#include "link/serial_network.h"
#include "memory/profile_file.h"
#include "memory/transfer_settings.h"

namespace kt6::ctl {

namespace {

using namespace std::chrono_literals;
using api::Cmd;

// A network port's connection may take this long; a device opens at once.
constexpr std::chrono::milliseconds kOpenLimit{15000};
// A controller that is there answers the first status request within its tries; a few polls
// more are allowed for one busy with something else.
constexpr std::chrono::milliseconds kFirstReplyLimit{2000};
// Longer than any request takes (a restore of every block at its slowest, a function's waits):
// past it the run is stuck, not slow.
constexpr std::chrono::milliseconds kRequestLimit{30min};
constexpr const char* kFactoryRecalled = "Executed factory default data have been recalled";

// The controller's station as kt6ctl shows it: the port by the name it was given, and no radio
// followed.
class DirectStation : public ControllerStation {
  public:
    DirectStation(ConsoleController& controller, std::string label, bool named)
        : ControllerStation(controller), label_(std::move(label)), named_(named) {}

    api::StationStatus status() const override {
        api::StationStatus s = ControllerStation::status();
        s.port = label_;
        s.radio.clear();
        // A device given by its path has no COM name for the link's text to use.
        if (!named_) s.link.clear();
        return s;
    }
    std::string runFunction(ServiceFunction function, Done done) override {
        std::string why = ControllerStation::runFunction(function, std::move(done));
        if (!why.empty()) why = std::string(api::functionName(function)) + " not started: " + why;
        return why;
    }

  private:
    std::string label_;
    bool named_;
};

// What a function's run shows on a terminal: its long waits, and a factory recall.
class FunctionNotes : public SequenceView {
  public:
    FunctionNotes(Printer& printer, std::string name) : printer_(printer), name_(std::move(name)) {}
    void pauseStarted(std::chrono::milliseconds duration) override {
        if (duration < 1s) return;
        printer_.say(name_ + ": waiting " + std::to_string((duration.count() + 999) / 1000) +
                     " s for the elements");
    }
    void factoryLines() override { factoryRecalled = true; }
    bool factoryRecalled = false;

  private:
    Printer& printer_;
    std::string name_;
};

// The console controller on kt6ctl's own loop, with the interface's request handling in the
// same process: the request runs exactly as a console's would.
class DirectRun : private ConsoleObserver {
  public:
    DirectRun(const CtlOptions& options, const ControllerPort& where, Printer& printer)
        : options_(options), where_(where), printer_(printer) {
        ConsoleControllerOptions o;
        o.makeBackend = [](std::function<bool()> cancelled) {
            return makeSerialBackend(NetworkOptions{std::move(cancelled)});
        };
        // Whatever name the session opens, it is the device this run was given.
        o.resolvePort = [device = where_.device](std::string_view) { return device; };
        o.scheduler = &loop_;
        o.makeTimer = loop_.timers();
        controller_ =
            std::make_unique<ConsoleController>(std::move(o), static_cast<ConsoleObserver&>(*this));
        loop_.setPort(&controller_->port(), &controller_->link());
        controller_->transfers().transfer().setAdaptiveWrite(where_.adaptiveWrite);
        station_ = std::make_unique<DirectStation>(*controller_, where_.label, where_.number > 0);
    }

    ~DirectRun() override {
        hub_.reset();
        controller_->shutDown();
        loop_.setPort(nullptr, nullptr);
    }

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
        // The timers first: a network port's open is taken up by the link's tick, as in a
        // console.
        controller_->start();
        if (const std::int32_t error = open(); error != 0) {
            return printer_.failed(3, noConsole() + ", and the controller's port does not open: " +
                                          portErrorText(error, where_.device));
        }
        // The first status now, not a poll's interval later.
        controller_->tickPoll();
        const StatusPoll& poll = controller_->poll();
        if (!loop_.runUntil([&] { return poll.recordsRead() > 0; }, kFirstReplyLimit)) {
            return printer_.failed(3, "the controller on " + where_.label +
                                          " does not answer. Check that it is switched on, "
                                          "connected, and on this port.");
        }
        // The poll's tick takes the reply now: the controller counts as online from it.
        controller_->tickPoll();
        return ask(r);
    }

  private:
    // ConsoleObserver: the hub hears what a console's would.
    void linkChanged() override {
        if (hub_) hub_->changed();
    }
    void replyRead() override {
        if (hub_) hub_->changed();
    }

    // Why kt6ctl is here at all: "no console answers on localhost:4550".
    std::string noConsole() const {
        return "no console answers on " + options_.host + ":" +
               std::to_string(options_.port.value_or(api::kDefaultPort));
    }

    // Opens the port as the console's session does; 0, or the error it failed with.
    std::int32_t open() {
        std::optional<PortSession::Opened> opened;
        const int n = where_.number > 0 ? where_.number : 1;
        controller_->session().open(n, [&opened](const PortSession::Opened& o) { opened = o; });
        if (!loop_.runUntil([&] { return opened.has_value(); }, kOpenLimit)) return ETIMEDOUT;
        if (!opened->ok) return opened->cause;
        controller_->linkState().portOpened(n, controller_->port().DevicePath());
        return 0;
    }

    // The request through the interface's own handling, on this loop, to its reply.
    int ask(api::Request request) {
        std::optional<std::pair<api::Message, std::string>> reply;
        api::Hub::Output output;
        output.write = [&](api::Hub::ClientId, std::string_view text) {
            std::string line(text);
            while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
            auto message = api::parseMessage(line);
            if (!message) return;
            if (message->kind == api::Message::Kind::Event) {
                if (message->event == "progress")
                    printer_.progress(message->block, message->blocks);
                return;
            }
            if (message->id == request.id) reply.emplace(std::move(*message), std::move(line));
        };
        output.close = [](api::Hub::ClientId) {};
        output.log = [](const std::string&) {};
        output.accepting = [](bool) {};
        hub_ = std::make_unique<api::Hub>(*station_, loop_, api::HubOptions{}, std::move(output));
        const auto client = hub_->connect("kt6ctl");
        if (!client.id) return printer_.failed(1, client.refusal);

        FunctionNotes notes(printer_, std::string(api::functionName(request.function)));
        if (request.cmd == Cmd::Function) controller_->sequences().setView(&notes);
        request.id = "1";
        hub_->line(*client.id, api::requestLine(request));
        const bool answered = loop_.runUntil(
            [&] { return reply.has_value() || controller_->portLost(); }, kRequestLimit);
        controller_->sequences().setView(nullptr);
        if (!reply) {
            return printer_.failed(1, answered ? "the controller's port closed before the "
                                                 "request ended: it may not have finished"
                                               : "the controller did not finish the request");
        }
        if (reply->first.ok && notes.factoryRecalled && !printer_.json())
            return printer_.done(kFactoryRecalled);
        return printReply(request, reply->first, reply->second, printer_);
    }

    const CtlOptions& options_;
    const ControllerPort& where_;
    Printer& printer_;
    BlockingLoop loop_;
    std::unique_ptr<ConsoleController> controller_;
    std::unique_ptr<DirectStation> station_;
    std::unique_ptr<api::Hub> hub_;
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
    out.number = n;
    out.device = settingsComDevice(settings, n);
    out.label = "COM" + std::to_string(n) + " (" + out.device + ")";
    return out;
}

int runDirect(const CtlOptions& options, const ControllerPort& port, Printer& printer) {
    if (!port.note.empty()) printer.complain(port.note);
    return DirectRun(options, port, printer).run();
}

}  // namespace kt6::ctl
