#pragma once
// The window as the local interface sees it: the controller's station, with the texts the
// operator sees in the status bar, keys pressed as the window's own buttons press them, the
// service functions shown on their screens, and nothing pressed while the element editor is
// open.
#include <functional>

#include "core/controller_station.h"
#include "link/link.h"

namespace kt6 {

class ConsoleStatusBar;
class ServiceScreens;

struct InterfaceStationContext {
    ConsoleController& controller;
    const ConsoleStatusBar& statusBar;
    ServiceScreens& services;
    // A front-panel key pressed as its button would press it; done gets the key's outcome.
    std::function<void(std::uint8_t code, Link::Completion done)> pressKey;
    // The element editor is open: the controller sits in its element menu.
    std::function<bool()> editorOpen{};
};

class InterfaceStation : public ControllerStation {
  public:
    explicit InterfaceStation(InterfaceStationContext context)
        : ControllerStation(context.controller), context_(std::move(context)) {}

    api::StationStatus status() const override;
    std::string busy() const override;
    void pressKey(std::uint8_t code, std::function<void(std::uint8_t)> done) override;
    std::string runFunction(ServiceFunction function, Done done) override;

  private:
    InterfaceStationContext context_;
};

}  // namespace kt6
