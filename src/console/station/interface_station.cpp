#include "console/station/interface_station.h"

#include "console/service/service_screens.h"
#include "console/setup_panel.h"
#include "console/status/link_status.h"
#include "console/status/status_bar.h"
#include "core/link_state.h"
#include "core/status_poll.h"

namespace kt6 {

namespace {

std::function<void(const Outcome&)> statusOf(std::function<void(std::uint8_t)> done) {
    return [done = std::move(done)](const Outcome& outcome) {
        if (done) done(outcome.status);
    };
}

}  // namespace

api::StationStatus InterfaceStation::status() const {
    api::StationStatus s;
    // The newest reply as soon as it is read, not at the window's next paint.
    const StatusRecord* unpainted = context_.poll.unpaintedRecord();
    if (const StatusRecord* r = unpainted ? unpainted : context_.linkState.record()) {
        s = api::statusFromRecord(*r);
        // Motion is known only from a live reply, as the window's blink is.
        s.moving = s.moving && !context_.linkState.stale();
    }
    s.online = context_.poll.ControllerOnline;
    s.port = context_.linkState.port();
    s.link = context_.statusBar.linkText().toStdString();
    s.radio = context_.statusBar.radioText().toStdString();
    s.events = context_.statusBar.eventText().toStdString();
    return s;
}

api::LinkState InterfaceStation::linkState() const {
    if (context_.portLost && context_.portLost()) return api::LinkState::Lost;
    return context_.poll.ControllerOnline ? api::LinkState::Online : api::LinkState::Offline;
}

std::uint64_t InterfaceStation::records() const {
    return context_.poll.recordsRead();
}

std::string InterfaceStation::busy() const {
    if (context_.services.running()) return "busy: a service function is running";
    if (context_.setupPanel.transfer().running()) return "busy: a backup or restore is running";
    // Keys would move the editor's cursor and lengths, a function walk its menu.
    if (context_.editorOpen && context_.editorOpen()) return "busy: the element editor is open";
    return {};
}

std::string InterfaceStation::notPolling() const {
    if (!context_.pollRunning || context_.pollRunning()) return {};
    return "the status is not read while the setup panel is open";
}

void InterfaceStation::pressKey(std::uint8_t code, std::function<void(std::uint8_t)> done) {
    context_.pressKey(code, statusOf(std::move(done)));
}

void InterfaceStation::setFrequency(std::uint32_t khz, std::function<void(std::uint8_t)> done) {
    context_.setFrequency(khz, statusOf(std::move(done)));
}

std::string InterfaceStation::runFunction(ServiceFunction function, Done done) {
    return context_.services.runConfirmed(function, std::move(done));
}

std::string InterfaceStation::backup(const std::string& path, Progress progress, Done done) {
    if (std::string why = busy(); !why.empty()) return why;
    return context_.setupPanel
        .saveTo(RemoteTransfer{path, std::move(progress),
                               [done = std::move(done)](const QString& error) {
                                   if (done) done(error.toStdString());
                               }})
        .toStdString();
}

std::string InterfaceStation::restore(const std::string& path, Progress progress,
                                      RestoreDone done) {
    if (std::string why = busy(); !why.empty()) return why;
    auto counts = std::make_shared<std::pair<int, int>>(0, 0);
    return context_.setupPanel
        .loadFrom(RemoteTransfer{path, std::move(progress),
                                 [counts, done = std::move(done)](const QString& error) {
                                     if (done)
                                         done(error.toStdString(), counts->first, counts->second);
                                 },
                                 [counts](int sent, int skipped) {
                                     *counts = {sent, skipped};
                                 }})
        .toStdString();
}

}  // namespace kt6
