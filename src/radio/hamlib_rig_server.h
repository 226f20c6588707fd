#pragma once
// The rig server: each rig is a Hamlib model with its port, polled on its own thread, or a
// logger's UDP datagrams heard on the window's thread; the window sees only the readings that
// reach it through its event loop, the same for both. No widgets: the console without a window
// runs it as it is, the window its settings dialog too (radio/window_rig_server.h).
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "radio/rig_poller.h"
#include "radio/rig_server.h"
#include "radio/rig_settings.h"
#include "radio/udp_listeners.h"
#include "radio/udp_rig_feed.h"

class QWidget;

namespace kt6 {

// How long a rig test waits for the rig's first verdict; a logger's test waits for its next
// datagram, which N1MM sends at least every 10 s and WSJT-X every 15 s.
inline constexpr std::chrono::seconds kRigTestTime{5};
inline constexpr std::chrono::seconds kLoggerTestTime{16};

// What a rig test tells of a reading: "Online, 14.074000 MHz, USB" or
// "Not responding (localhost:4532: connection refused)".
std::string rigTestText(const RigReading& reading, const std::string& port);

struct HamlibServerOptions {
    // Where "Radio1"/"Radio2" are read at connect and written when the dialog is accepted;
    // empty keeps the defaults and writes nothing.
    std::filesystem::path settingsPath;
    // Used instead of the file's settings when set.
    std::optional<RigSettings> settings;
    // The settings dialog's parent window (radio/window_rig_server.h shows the dialog).
    QWidget* dialogParent = nullptr;
};

class HamlibRigServer : public QObject, public RigServer {
    Q_OBJECT
  public:
    explicit HamlibRigServer(HamlibServerOptions options, QObject* parent = nullptr);
    ~HamlibRigServer() override;

    bool connect(std::string* error = nullptr) override;
    void setListener(RigServerListener* listener) override { listener_ = listener; }
    RigStatus status(int rigNumber) const override;
    std::optional<double> rxFrequency(int rigNumber) const override;
    // Without a window there is no dialog to show: WindowRigServer shows it.
    void showDialog() override {}
    std::string reason(int rigNumber) const override;
    bool connecting(int rigNumber) const override;
    bool transmitting(int rigNumber) const override;
    int retuneStepKHz(int rigNumber) const override;

    // Takes new settings; each rig whose settings changed is polled afresh.
    void applySettings(const RigSettings& settings);
    const RigSettings& settings() const { return settings_; }
    const HamlibServerOptions& options() const { return options_; }
    bool connected() const { return connected_; }
    // "Online, 14.074000 MHz USB" or the status with its reason; a logger's rig names the
    // logger and counts the datagrams it dropped.
    std::string statusLine(int rigNumber) const;
    // Connects to a rig with these settings on a poller of its own, apart from the rigs in
    // use, and tells done once: "Online, 14.074000 MHz, USB" or the reason it could not. A
    // logger's rig is tested by listening for its next datagram.
    void testRig(int rigNumber, const RigPortSettings& settings,
                 std::function<void(const QString&)> done);

  signals:
    void rigStatusChanged(int rigNumber);
    void rigParamsChanged(int rigNumber);
    void rigTransmitChanged(int rigNumber);

  private:
    void take(const kt6::RigReading& reading);
    void restart(int rigNumber);
    void listen(int rigNumber);
    void testLogger(int rigNumber, const RigPortSettings& settings,
                    std::function<void(const QString&)> done);
    void silenceTick();

    HamlibServerOptions options_;
    RigSettings settings_;
    bool connected_ = false;
    RigServerListener* listener_ = nullptr;
    std::array<std::unique_ptr<RigPoller>, kRigCount> pollers_;
    std::array<std::uint64_t, kRigCount> generation_{};
    std::array<RigReading, kRigCount> latest_{};
    UdpListeners listeners_;
    std::array<std::unique_ptr<UdpRigFeed>, kRigCount> feeds_;
    std::array<int, kRigCount> feedIds_{};
    // Runs while a rig listens to a logger: its silence is noticed.
    QTimer silence_;
};

}  // namespace kt6
