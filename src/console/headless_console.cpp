#include "console/headless_console.h"

#include <utility>

#include "console/link_driver.h"
#include "console/qt_scheduler.h"
#include "console/station/station_host.h"
#include "console/status/link_status.h"
#include "console/window_settings.h"
#include "core/api_settings.h"
#include "core/port_settings.h"
#include "link/serial_network.h"
#include "logging/log.h"
#include "memory/profile_file.h"
#include "radio/hamlib_rig_server.h"

namespace kt6 {

HeadlessConsole::HeadlessConsole(std::filesystem::path settingsPath)
    : settingsPath_(std::move(settingsPath)), scheduler_(std::make_unique<QtScheduler>(this)) {
    ConsoleControllerOptions options;
    options.makeBackend = [](std::function<bool()> cancelled) {
        return makeSerialBackend(NetworkOptions{std::move(cancelled)});
    };
    const std::filesystem::path settings = settingsPath_;
    options.resolvePort =
        comPortResolver([settings](int n) { return mappedComDevice(settings, n); });
    options.scheduler = scheduler_.get();
    options.makeTimer = makeQtTimer;
    controller_ = std::make_unique<ConsoleController>(std::move(options),
                                                      static_cast<ConsoleObserver&>(*this));
    auto station = std::make_unique<ControllerStation>(*controller_);
    station_ = station.get();
    host_ = std::make_unique<StationHost>(StationHostContext{
        *controller_,
        std::move(station),
        settingsPath_,
        {},
        {},
        [this] { return controller_->sequences().running() || !controller_->pollRunning(); },
        [this](const QString& text) { tell(text.toStdString()); }});
    driver_ = new LinkDriver(controller_->link(), controller_->port(), this);
    controller_->setLinkTickListener([this] { driver_->tick(); });
}

HeadlessConsole::~HeadlessConsole() {
    stop();
}

QString HeadlessConsole::start() {
    const api::ApiSettings settings = api::loadApiSettings(ProfileFile(settingsPath_));
    if (!settings.enabled) {
        return QStringLiteral("the interface is off in %1: nothing could reach the console")
            .arg(QString::fromStdString(settingsPath_.string()));
    }
    if (QString why = host_->start(true); !why.isEmpty()) return why;
    // The settings' own log has told what is wrong with the file; the events field says it too.
    const StartSettings start = WindowSettings(settingsPath_, [this](const QString& text) {
                                    station_->setEvent(text.toStdString());
                                }).load();
    const int n = start.port;
    controller_->transfers().transfer().setAdaptiveWrite(start.adaptiveWrite);
    // The radio the window followed last; its client opens once the controller answers.
    rigs_.setTicked(1, start.rig1);
    rigs_.setTicked(2, start.rig2);
    const std::filesystem::path rigSettings = settingsPath_;
    controller_->trackRigs(rigs_, [this, rigSettings]() -> std::unique_ptr<RigServer> {
        return std::make_unique<HamlibRigServer>(HamlibServerOptions{rigSettings, std::nullopt},
                                                 this);
    });
    station_->setRadioText([this] {
        const RigTracker* rigs = controller_->rigs();
        return rigs ? radioFieldText(radioFacts(*rigs, rigs_)).toStdString()
                    : std::string("No radio");
    });
    controller_->start();
    // A start port that is not there yet is waited for, as the window does.
    controller_->choosePort(n, PortOrigin::Start, {});
    return {};
}

void HeadlessConsole::stop() {
    if (!controller_) return;
    host_->close();
    controller_->shutDown();
}

void HeadlessConsole::linkChanged() {
    // The technician's log says each change of what the status bar would say, once.
    if (std::string text = controller_->linkState().text(); text != lastLink_) {
        lastLink_ = text;
        tell(text);
    }
    host_->changed();
}

void HeadlessConsole::replyRead() {
    host_->changed();
}

void HeadlessConsole::logLink(const std::string& text, bool warning) {
    tell(text, warning);
}

bool HeadlessConsole::Rigs::isTicked(int rigNumber) const {
    return (rigNumber == 1 || rigNumber == 2) && ticked_[rigNumber - 1];
}

void HeadlessConsole::Rigs::setTicked(int rigNumber, bool ticked) {
    if (rigNumber == 1 || rigNumber == 2) ticked_[rigNumber - 1] = ticked;
}

void HeadlessConsole::Rigs::setLamp(int, NamedColour) {
    // The radio's report behind the lamp changes what the status says of it.
    console_.host_->changed();
}

void HeadlessConsole::Rigs::showError(const std::string& text, const std::string& title) {
    std::string line = title + ": " + text;
    for (char& c : line) {
        if (c == '\n') c = ' ';
    }
    qCWarning(lcRadio, "%s", line.c_str());
    console_.station_->setEvent(line);
    console_.host_->changed();
}

void HeadlessConsole::tell(const std::string& text, bool warning) {
    if (warning) {
        qCWarning(lcLink, "%s", text.c_str());
    } else {
        qCInfo(lcLink, "%s", text.c_str());
    }
    station_->setEvent(text);
}

}  // namespace kt6
