#pragma once
// The station's "elements moving" outputs in the window: the "Inhibit" settings, the inhibit
// line on its serial device, the hook's launcher and the decisions (core/moving_outputs.h), and
// the "Station..." dialog with its one-second Test pulse. The window tells it what the poll and
// the port came to; it tells the window's Events field what failed.
#include <QObject>
#include <QPointer>
#include <QString>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "console/station/station_settings.h"
#include "core/moving_outputs.h"
#include "core/serial_inhibit_line.h"

class QWidget;

namespace kt6 {

class Scheduler;
class StationDialog;

struct StationContext {
    // The settings file: its "Inhibit" section, and its "Ports" map for COM names.
    std::filesystem::path settingsPath;
    // The Test pulse's timer; the window's own loop when empty.
    std::shared_ptr<Scheduler> scheduler;
    // The line's device layer; the platform's own when empty.
    std::function<std::unique_ptr<LineControl>()> makeLineControl;
    // The hook's processes; QProcess when empty.
    std::function<std::unique_ptr<HookLauncher>()> makeLauncher;
};

class StationOutputs : public QObject {
    Q_OBJECT
  public:
    // How long Test holds the line asserted.
    static constexpr std::chrono::milliseconds kTestPulse{1000};

    // Reads nothing yet: reload() does, once the window listens to failed().
    StationOutputs(StationContext context, QObject* parent = nullptr);
    ~StationOutputs() override;

    // A status reply said whether the elements move.
    void statusSeen(bool moving) { outputs_.statusSeen(moving); }
    // The port is open; motion is unknown until a reply.
    void linkOnline() { outputs_.linkOnline(); }
    // Motion is not known live: port closed, controller silent, or the poll held back.
    void linkOffline() { outputs_.linkOffline(); }
    // The port's device went away.
    void linkLost() { outputs_.linkLost(); }
    // Reads the "Inhibit" section again and drives the line and runs the command it names now.
    void reload();
    // Shut-down: the line released only when the elements were known to stand still; nothing
    // more is driven or run. A Test pulse under way ends released.
    void close();

    // "Station...": the dialog, modeless over parent; OK saves the section and reloads. The
    // window's side (station_outputs_dialog.cpp): the console without a window has none.
    void openDialog(QWidget* parent);
    // Asserts the line these settings name now and releases it kTestPulse later (giving a line
    // the outputs drive back to them); empty, or why the line could not be driven.
    QString testPulse(const StationSettings& settings);
    bool pulsing() const { return pulse_ != nullptr; }
    // The dialog while it is open.
    StationDialog* dialog() const;

    const StationSettings& settings() const { return settings_; }
    const MovingOutputs& outputs() const { return outputs_; }

  signals:
    // A failure for the status bar's Events field ("Station hook failed: ...").
    void failed(const QString& text);
    // close() ran: an open dialog ends.
    void closing();

  private:
    // The line these settings name, on a device layer of its own.
    std::unique_ptr<SerialInhibitLine> makeLine(const StationSettings& settings) const;
    void endPulse(std::uint64_t id);
    void report(const std::string& text);

    StationContext context_;
    StationSettings settings_;
    // What the outputs drive now; none without a usable Port= and Line=.
    std::optional<InhibitLineChoice> live_;
    MovingOutputs outputs_;
    std::unique_ptr<SerialInhibitLine> pulse_;
    std::uint64_t pulseId_ = 0;
    bool loaded_ = false;
    QPointer<StationDialog> dialog_;
};

}  // namespace kt6
