// The window's side of "Assign ports...": the dialog's mapping read from and saved to the
// settings file's "Ports" section, and its Test run on the right port.
#include <QCoreApplication>

#include "console/fm_main.h"
#include "console/ports/port_assign_dialog.h"
#include "console/ports/port_probe.h"
#include "console/ports/serial_devices.h"
#include "link/serial_network.h"
#include "memory/profile_file.h"

namespace kt6 {

void FmMain::AssignPorts1Click() {
    PortAssignDialog::Mapping mapping;
    for (int n = 1; n <= kPortCount; ++n) {
        mapping[static_cast<std::size_t>(n - 1)] =
            QString::fromStdString(mappedDevice(n).value_or(""));
    }
    auto* dialog = new PortAssignDialog(
        listSerialDevices(QString::fromStdString(options_.serialByIdDir.string()),
                          QString::fromStdString(options_.devDir.string())),
        mapping, [](int n) { return QString::fromStdString(defaultComDevice(n)); },
        [this](int n, const QString& device) { return testPort(n, device); }, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const int chosen = PortNumber();
    dialog->selectCom(chosen >= 1 && chosen <= kPortCount ? chosen : 1);
    connect(dialog, &QDialog::accepted, this, [this, dialog, before = mapping] {
        ProfileFile settings(options_.settingsPath);
        bool changed = false;
        for (int n = 1; n <= kPortCount; ++n) {
            const auto i = static_cast<std::size_t>(n - 1);
            // Only what changed is written: every other byte of the file stays as it was.
            if (dialog->mapping()[i] == before[i]) continue;
            settings.writeString("Ports", "COM" + std::to_string(n),
                                 dialog->mapping()[i].toStdString());
            changed = true;
        }
        if (!changed) return;
        std::string error;
        if (!settings.flush(&error)) {
            message(QStringLiteral("The port assignments could not be saved: %1")
                        .arg(QString::fromStdString(error)));
            return;
        }
        refreshPortTips();
        announce(QStringLiteral("Port assignments saved; they apply when a port is selected"));
    });
    dialog->open();
}

QString FmMain::testPort(int n, const QString& device) {
    // The device in use is held exclusively: ask on the open link instead of opening it again.
    if (n == PortNumber() && port_.IsOpen() && device.toStdString() == port_.DevicePath()) {
        return probeLink(link_);
    }
    NetworkOptions network;
    // A network port takes up to seconds to connect; the window repaints meanwhile.
    network.keepAlive = [] { QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); };
    std::unique_ptr<SerialBackend> backend = options_.makeSerialBackend
                                                 ? options_.makeSerialBackend()
                                                 : makeSerialBackend(std::move(network));
    return probeDevice(std::move(backend), device.toStdString());
}

}  // namespace kt6
