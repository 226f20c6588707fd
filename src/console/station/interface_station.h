#pragma once
// The window as the local interface sees it: the controller's station, with the texts the
// operator sees in the status bar, the service functions shown on their screens, and nothing
// pressed while the element editor is open.
#include <functional>

#include "core/controller_station.h"

namespace kt6 {

class ConsoleStatusBar;
class ServiceScreens;

struct InterfaceStationContext {
    ConsoleController& controller;
    const ConsoleStatusBar& statusBar;
    ServiceScreens& services;
    // The element editor is open: the controller sits in its element menu.
    std::function<bool()> editorOpen{};
};

class InterfaceStation : public ControllerStation {
  public:
    explicit InterfaceStation(InterfaceStationContext context)
        : ControllerStation(context.controller), context_(std::move(context)) {}

    api::StationStatus status() const override;
    std::string busy() const override;
    std::string runFunction(ServiceFunction function, Done done) override;

  private:
    InterfaceStationContext context_;
};

}  // namespace kt6
