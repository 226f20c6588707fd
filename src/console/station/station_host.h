#pragma once
// The station around the console: the local control interface (the station it acts on and the
// server it listens with, set up by the settings' "Api" section) and the "elements moving"
// outputs (the "Inhibit" section's line and hook). Both hear of every change the console sees.
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>

#include "core/api_hub.h"

namespace kt6 {

namespace api {
class InterfaceServer;
}
class ConsoleController;
class HookLauncher;
class LineControl;
class StationOutputs;

// What the moving outputs need beyond what the interface reads.
struct StationHostContext {
    ConsoleController& controller;
    // What the interface acts on: the window's station, or the controller's alone.
    std::unique_ptr<api::Station> station;
    std::filesystem::path settingsPath;
    // The inhibit line's device layer and the hook's launcher; the platform's when empty.
    std::function<std::unique_ptr<LineControl>()> makeLineControl;
    std::function<std::unique_ptr<HookLauncher>()> makeHookLauncher;
    // The poll is held back (a sequence, a transfer, the setup panel): no live reply comes.
    std::function<bool()> pollHeldBack;
    // The Events field, for what failed.
    std::function<void(const QString&)> announce;
};

class StationHost {
  public:
    explicit StationHost(StationHostContext context);
    ~StationHost();

    // Reads the "Inhibit" section and listens as the "Api" section says; why the interface does
    // not listen, when it cannot, or empty (also when the section turns it off).
    QString start(bool serveInterface);
    // The window's state may have changed: watchers hear what did, the outputs follow motion.
    void changed();
    // The window closes: clients hear it and are closed; the line is left as the rule says.
    void close();
    // The port listened on; 0 when not listening.
    quint16 port() const;
    StationOutputs& outputs() { return *outputs_; }

  private:
    StationHostContext context_;
    // Declared after the station it reaches, so it goes first.
    std::unique_ptr<api::InterfaceServer> server_;
    std::unique_ptr<StationOutputs> outputs_;
};

}  // namespace kt6
