#include "console/station/station_outputs.h"

#include "console/qt_scheduler.h"
#include "console/station/process_hook_launcher.h"
#include "core/port_settings.h"
#include "logging/log.h"
#include "memory/profile_file.h"

namespace kt6 {

namespace {
std::unique_ptr<HookLauncher> launcherFrom(const StationContext& context) {
    if (context.makeLauncher) return context.makeLauncher();
    return std::make_unique<ProcessHookLauncher>();
}

bool blank(const std::string& text) {
    return trimProfileValue(text).empty();
}

bool sameChoice(const InhibitLineChoice& a, const InhibitLineChoice& b) {
    return a.device == b.device && a.line == b.line && a.activeLow == b.activeLow;
}
}  // namespace

StationOutputs::StationOutputs(StationContext context, QObject* parent)
    : QObject(parent),
      context_(std::move(context)),
      outputs_(launcherFrom(context_), [this](const std::string& text) { report(text); }) {
    if (!context_.scheduler) context_.scheduler = std::make_shared<QtScheduler>(this);
}

StationOutputs::~StationOutputs() = default;

std::unique_ptr<SerialInhibitLine> StationOutputs::makeLine(const StationSettings& s) const {
    const std::filesystem::path settingsPath = context_.settingsPath;
    std::string device = lineDevicePath(trimProfileValue(s.port),
                                        [&](int n) { return mappedComDevice(settingsPath, n); });
    return std::make_unique<SerialInhibitLine>(
        context_.makeLineControl ? context_.makeLineControl() : makePlatformLineControl(),
        InhibitLineChoice{std::move(device), s.line, s.activeLow});
}

void StationOutputs::reload() {
    if (outputs_.closed()) return;
    const bool first = !loaded_;
    loaded_ = true;
    std::string problem;
    const StationSettings before = settings_;
    settings_ = readStationSettings(ProfileFile(context_.settingsPath), &problem);
    if (!problem.empty()) report(problem);

    std::unique_ptr<SerialInhibitLine> line;
    if (problem.empty() && !blank(settings_.port)) line = makeLine(settings_);
    // The same line keeps its open device: no needless open, and no close that could drop it.
    const bool sameAsLive = line && live_ && sameChoice(line->choice(), *live_);
    if (!sameAsLive) {
        live_ = line ? std::optional<InhibitLineChoice>(line->choice()) : std::nullopt;
        outputs_.setLine(std::move(line));
    }
    // An unchanged command is not run again for a save that changed something else.
    if (first || settings_.command != before.command) outputs_.setCommand(settings_.command);
}

void StationOutputs::close() {
    if (pulse_) endPulse(pulseId_);
    outputs_.close();
    emit closing();
}

QString StationOutputs::testPulse(const StationSettings& settings) {
    if (outputs_.closed()) return QStringLiteral("The console is closing.");
    if (blank(settings.port)) {
        return QStringLiteral("No port: write the device or COM port whose line to test.");
    }
    // A second Test ends the first one's pulse now.
    if (pulse_) endPulse(pulseId_);
    std::unique_ptr<SerialInhibitLine> line = makeLine(settings);
    if (const std::string error = line->assertLine(); !error.empty()) {
        return QString::fromStdString(error);
    }
    pulse_ = std::move(line);
    const std::uint64_t id = ++pulseId_;
    context_.scheduler->after(kTestPulse, [self = QPointer<StationOutputs>(this), id] {
        if (self) self->endPulse(id);
    });
    return {};
}

void StationOutputs::endPulse(std::uint64_t id) {
    if (!pulse_ || id != pulseId_) return;
    const std::unique_ptr<SerialInhibitLine> line = std::move(pulse_);
    // The line the outputs drive goes back to what they decide, not to "released": a pulse
    // while the elements move must not let the radio transmit.
    if (live_ && sameLine(*live_, line->choice())) {
        outputs_.redriveLine();
        return;
    }
    if (const std::string error = line->releaseLine(); !error.empty()) {
        report("Station line test: " + error);
    }
}

void StationOutputs::report(const std::string& text) {
    // Every text starts with "Station", for the technician reading stderr too.
    qCWarning(lcStation, "%s", text.c_str());
    emit failed(QString::fromStdString(text));
}

}  // namespace kt6
