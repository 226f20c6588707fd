#include "console/station/interface_station.h"

#include "console/service/service_screens.h"
#include "console/status/status_bar.h"

namespace kt6 {

api::StationStatus InterfaceStation::status() const {
    api::StationStatus s = ControllerStation::status();
    s.link = context_.statusBar.linkText().toStdString();
    s.radio = context_.statusBar.radioText().toStdString();
    s.events = context_.statusBar.eventText().toStdString();
    return s;
}

std::string InterfaceStation::busy() const {
    if (std::string why = ControllerStation::busy(); !why.empty()) return why;
    // Keys would move the editor's cursor and lengths, a function walk its menu.
    if (context_.editorOpen && context_.editorOpen()) return "busy: the element editor is open";
    return {};
}

std::string InterfaceStation::runFunction(ServiceFunction function, Done done) {
    return context_.services.runConfirmed(function, std::move(done));
}

}  // namespace kt6
