#include "core/controller_station.h"

#include <memory>
#include <utility>

#include "link/commands.h"

namespace kt6 {

Link::Completion ControllerStation::statusOf(std::function<void(std::uint8_t)> done) {
    return [done = std::move(done)](const Outcome& outcome) {
        if (done) done(outcome.status);
    };
}

api::StationStatus ControllerStation::status() const {
    api::StationStatus s;
    const StatusRecord* live = c_.poll().unpaintedRecord();
    if (const StatusRecord* r = live ? live : c_.linkState().record()) {
        s = api::statusFromRecord(*r);
        // Motion is known only from a live reply.
        s.moving = s.moving && !c_.linkState().stale();
    }
    s.online = c_.poll().ControllerOnline();
    s.port = c_.linkState().port();
    s.link = c_.linkState().text();
    s.radio = radioText_ ? radioText_() : "No radio";
    s.events = event_;
    return s;
}

api::LinkState ControllerStation::linkState() const {
    if (c_.portLost()) return api::LinkState::Lost;
    return c_.poll().ControllerOnline() ? api::LinkState::Online : api::LinkState::Offline;
}

std::string ControllerStation::busy() const {
    if (c_.sequences().running()) return "busy: a service function is running";
    if (c_.transfers().running()) return std::string(SetupTransfers::kBusy);
    return {};
}

std::string ControllerStation::notPolling() const {
    if (c_.pollRunning()) return {};
    return "the status is not read while the setup panel is open";
}

void ControllerStation::pressKey(std::uint8_t code, std::function<void(std::uint8_t)> done) {
    c_.pressKey(code, statusOf(std::move(done)));
}

void ControllerStation::setFrequency(std::uint32_t khz, std::function<void(std::uint8_t)> done) {
    c_.setFrequency(khz, statusOf(std::move(done)));
}

std::string ControllerStation::runFunction(ServiceFunction function, Done done) {
    if (c_.sequences().running()) return std::string(kSequenceBusy);
    // No port prompt without a window: the rest of the menu's guard holds as it is.
    if (const auto refusal = guardRefusal(function, c_.sequences().guardState(false)))
        return std::string(*refusal);
    return c_.sequences().runConfirmed(function, {}, std::move(done));
}

std::string ControllerStation::backup(const std::string& path, Progress progress, Done done) {
    if (std::string why = busy(); !why.empty()) return why;
    return c_.transfers().backup(TransferRequest{path, std::move(progress), std::move(done)});
}

std::string ControllerStation::restore(const std::string& path, Progress progress,
                                       RestoreDone done) {
    if (std::string why = busy(); !why.empty()) return why;
    auto counts = std::make_shared<std::pair<int, int>>(0, 0);
    return c_.transfers().restore(
        TransferRequest{path, std::move(progress),
                        [counts, done = std::move(done)](const std::string& error) {
                            if (done) done(error, counts->first, counts->second);
                        },
                        [counts](int sent, int skipped) {
                            *counts = {sent, skipped};
                        }});
}

}  // namespace kt6
