#pragma once
// The window as the local interface sees it: the status the operator sees, and the same keys,
// frequency, functions and transfers the window's own controls start, through the same queue,
// guards and walks.
#include <QString>
#include <functional>
#include <optional>

#include "core/api_hub.h"
#include "link/link.h"
#include "link/status.h"

namespace kt6 {

class ConsoleStatusBar;
class LinkState;
class ServiceScreens;
class SetupPanel;
class StatusPoll;

struct InterfaceStationContext {
    const StatusPoll& poll;
    const LinkState& linkState;
    const ConsoleStatusBar& statusBar;
    ServiceScreens& services;
    SetupPanel& setupPanel;
    // The open port's device is gone and is being tried again.
    std::function<bool()> portLost;
    // A front-panel key pressed as its button would press it; done gets the key's outcome.
    std::function<void(std::uint8_t code, Link::Completion done)> pressKey;
    // Command 3 as "lFreq" sends it.
    std::function<void(std::uint32_t khz, Link::Completion done)> setFrequency;
    // The status poll runs (the setup panel stops it while open).
    std::function<bool()> pollRunning;
    // The element editor is open: the controller sits in its element menu.
    std::function<bool()> editorOpen{};
};

class InterfaceStation : public api::Station {
  public:
    explicit InterfaceStation(InterfaceStationContext context) : context_(std::move(context)) {}

    api::StationStatus status() const override;
    api::LinkState linkState() const override;
    std::uint64_t records() const override;
    std::string busy() const override;
    std::string notPolling() const override;
    void pressKey(std::uint8_t code, std::function<void(std::uint8_t)> done) override;
    void setFrequency(std::uint32_t khz, std::function<void(std::uint8_t)> done) override;
    std::string runFunction(ServiceFunction function, Done done) override;
    std::string backup(const std::string& path, Progress progress, Done done) override;
    std::string restore(const std::string& path, Progress progress, RestoreDone done) override;

  private:
    InterfaceStationContext context_;
};

}  // namespace kt6
