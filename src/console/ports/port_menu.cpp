#include "console/ports/port_menu.h"

#include <QAction>
#include <QCoreApplication>
#include <QMenu>
#include <QPointer>

#include "console/ports/port_assign_dialog.h"
#include "console/ports/port_probe.h"
#include "console/ports/serial_devices.h"
#include "core/port_settings.h"
#include "link/comm32.h"
#include "link/serial_network.h"
#include "memory/profile_file.h"

namespace kt6 {

PortMenu::PortMenu(PortMenuContext context, QObject* parent)
    : QObject(parent), context_(std::move(context)) {}

void PortMenu::uncheckAll() {
    for (QAction* item : context_.items) item->setChecked(false);
}

void PortMenu::check(int n) {
    context_.items[static_cast<std::size_t>(n - 1)]->setChecked(true);
}

void PortMenu::refreshTips() {
    ProfileFile settings(context_.settingsPath);
    for (int n = 1; n <= kComPortCount; ++n) {
        const std::string device = settingsComMapping(settings, n).value_or(defaultComDevice(n));
        QAction* item = context_.items[static_cast<std::size_t>(n - 1)];
        item->setStatusTip(QString::fromStdString(device));
        item->setToolTip(QString::fromStdString(device));
    }
}

QAction* PortMenu::addStationItem(QMenu* menu) {
    QAction* item = menu->addAction(QStringLiteral("&Station..."));
    item->setObjectName("Station1");
    item->setToolTip(
        QStringLiteral("The line and command that tell the station the elements move"));
    connect(item, &QAction::triggered, this, &PortMenu::stationRequested);
    return item;
}

void PortMenu::AssignPorts1Click() {
    PortAssignDialog::Mapping mapping;
    for (int n = 1; n <= kComPortCount; ++n) {
        mapping[static_cast<std::size_t>(n - 1)] =
            QString::fromStdString(mappedComDevice(context_.settingsPath, n).value_or(""));
    }
    // A test still under way goes with the dialog: its port is free for the next choice.
    auto owner = std::make_shared<QPointer<QObject>>();
    auto* dialog = new PortAssignDialog(
        listSerialDevices(QString::fromStdString(context_.serialByIdDir.string()),
                          QString::fromStdString(context_.devDir.string())),
        mapping, [](int n) { return QString::fromStdString(defaultComDevice(n)); },
        [this, owner](int n, const QString& device, ProbeAnswer answer) {
            testPort(n, device, owner->data() ? owner->data() : this, std::move(answer));
        },
        context_.window);
    *owner = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const int chosen = context_.portNumber();
    dialog->selectCom(chosen >= 1 && chosen <= kComPortCount ? chosen : 1);
    connect(dialog, &QDialog::accepted, this, [this, dialog, before = mapping] {
        ProfileFile settings(context_.settingsPath);
        bool changed = false;
        for (int n = 1; n <= kComPortCount; ++n) {
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
            context_.message(QStringLiteral("The port assignments could not be saved: %1")
                                 .arg(QString::fromStdString(error)));
            return;
        }
        refreshTips();
        context_.announce(
            QStringLiteral("Port assignments saved; they apply when a port is selected"));
    });
    dialog->open();
}

void PortMenu::testPort(int n, const QString& device, QObject* owner, ProbeAnswer answer) {
    // The device in use is held exclusively: ask on the open link instead of opening it again.
    if (n == context_.portNumber() && context_.port.IsOpen() &&
        device.toStdString() == context_.port.DevicePath()) {
        probeLink(context_.link, std::move(answer));
        return;
    }
    BackgroundOpen::MakeBackend make =
        [made = context_.makeSerialBackend](std::function<bool()> cancelled) {
            return made ? made() : makeSerialBackend(NetworkOptions{std::move(cancelled)});
        };
    probeDevice(std::move(make), device.toStdString(), owner, std::move(answer));
}

}  // namespace kt6
