#pragma once
// The local control interface in the window: the station it acts on and the server it
// listens with, started from the settings' "Api" section.
#include <QString>
#include <filesystem>
#include <functional>
#include <memory>

#include "console/interface_station.h"

namespace kt6 {

namespace api {
class InterfaceServer;
}

class InterfaceHost {
  public:
    explicit InterfaceHost(InterfaceStationContext context);
    ~InterfaceHost();

    // Listens as the settings file's "Api" section says; why not, when it cannot, or empty
    // (also when the section turns it off).
    QString start(const std::filesystem::path& settingsPath);
    // A status reply was read: watchers hear what it changed at once.
    void replyArrived(const Bytes& reply);
    // A port was (re)opened: nothing is known of the controller on it.
    void forget() { station_.forget(); }
    // The window's state may have changed: watchers hear what did.
    void changed();
    // The window closes: clients hear it and are closed.
    void close();
    // The port listened on; 0 when not listening.
    quint16 port() const;

  private:
    InterfaceStation station_;
    // Declared after the station it reaches, so it goes first.
    std::unique_ptr<api::InterfaceServer> server_;
};

}  // namespace kt6
