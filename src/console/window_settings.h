#pragma once
// The window's settings file: what the start-up sequence reads, what a close saves, and where
// the window opens. A file that cannot be used is reported once a run and never written.
#include <QList>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <filesystem>
#include <functional>
#include <optional>

namespace kt6 {

class ProfileFile;

// What the start-up sequence takes from the settings.
struct StartSettings {
    // COMn to open; 1 when the file gives no whole number.
    int port = 1;
    // The rig boxes' ticks, and the "No Radio" check when neither rig is followed.
    bool rig1 = false;
    bool rig2 = false;
    bool noRadio = false;
    // [Transfer] AdaptiveWrite: a restore's lost block write is tried again early.
    bool adaptiveWrite = true;
};

// What a close keeps of the window.
struct WindowState {
    // Only a port the controller answered on is worth opening next time.
    std::optional<int> answeringPort;
    bool rig1 = false;
    bool rig2 = false;
    // Only once the window was placed on a screen.
    std::optional<QPoint> place;
};

class WindowSettings {
  public:
    WindowSettings(std::filesystem::path path, std::function<void(const QString&)> message)
        : path_(std::move(path)), message_(std::move(message)) {}

    // Reads the start-up values; a port that is not a number is told and COM1 taken.
    StartSettings load();
    // Writes what changed; a failure is told.
    void save(const WindowState& state);
    // Where the window opens on these screens.
    QPoint place(QSize frame, const QList<QRect>& screens) const;

  private:
    void reportUnusable(const ProfileFile& settings);

    std::filesystem::path path_;
    std::function<void(const QString&)> message_;
    bool problemReported_ = false;
};

}  // namespace kt6
