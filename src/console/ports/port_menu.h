#pragma once
// The "Com port" menu: its items' handlers and checks and the device each opens as its tip, and
// "Assign ports...", whose mapping is the settings file's "Ports" section and whose Test asks the
// device (or the open link, for the port in use).
#include <QObject>
#include <QString>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "console/ports/port_probe.h"
#include "console/window_controls.h"

class QAction;
class QMenu;
class QWidget;

namespace kt6 {

class Comm32;
class Link;
class SerialBackend;

struct PortMenuContext {
    std::array<QAction*, kComPortCount> items{};
    std::filesystem::path settingsPath;
    // Where the dialog looks for serial devices.
    std::filesystem::path serialByIdDir;
    std::filesystem::path devDir;
    // The Test's device layer; the platform's own when empty.
    std::function<std::unique_ptr<SerialBackend>()> makeSerialBackend;
    // The port in use, tested on its open link rather than opened twice.
    Comm32& port;
    Link& link;
    std::function<int()> portNumber;
    // The operator picked COMn.
    std::function<void(int n)> select;
    std::function<void(const QString&)> message;
    std::function<void(const QString&)> announce;
    // The dialog's parent.
    QWidget* window = nullptr;
};

class PortMenu : public QObject {
    Q_OBJECT
  public:
    PortMenu(PortMenuContext context, QObject* parent);

    // Unchecks every item.
    void uncheckAll();
    // Checks COMn's item; the others keep their checks.
    void check(int n);
    // Each item's tip names the device it opens now.
    void refreshTips();
    // Adds "Station..." to the menu, whose choice emits stationRequested().
    QAction* addStationItem(QMenu* menu);

  signals:
    // "Station...": the station outputs' dialog is asked for.
    void stationRequested();

  public slots:
    void com1Click() { context_.select(1); }
    void com2Click() { context_.select(2); }
    void com3Click() { context_.select(3); }
    void com4Click() { context_.select(4); }
    void COM5Click() { context_.select(5); }
    void COM6Click() { context_.select(6); }
    void COM7Click() { context_.select(7); }
    void COM8Click() { context_.select(8); }
    void COM9Click() { context_.select(9); }
    void COM10Click() { context_.select(10); }
    void COM11Click() { context_.select(11); }
    void COM12Click() { context_.select(12); }
    void COM13Click() { context_.select(13); }
    // "Assign ports...": which device each COM opens, with a test of each, on the port in use.
    void AssignPorts1Click();

  private:
    // Asks the controller on device; a probe of its own lives under owner.
    void testPort(int n, const QString& device, QObject* owner, ProbeAnswer answer);

    PortMenuContext context_;
};

}  // namespace kt6
