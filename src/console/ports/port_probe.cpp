#include "console/ports/port_probe.h"

#include <QObject>
#include <QTimer>
#include <chrono>
#include <optional>
#include <utility>

#include "link/background_open.h"
#include "link/comm32.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/serial_network.h"
#include "link/status.h"

namespace kt6 {
namespace {

constexpr std::chrono::milliseconds kInputLook{10};

Command statusRequest() {
    return statusCommand();
}

// The reply, or why there was none, as the operator reads it.
QString answerFor(const Outcome& outcome, std::uint8_t sequence, const QString& where) {
    if (outcome.status == kNoReply) {
        return QStringLiteral(
                   "No answer on %1 after %2 tries: check that the controller is on "
                   "and that this is its cable.")
            .arg(where)
            .arg(kCommandTries);
    }
    // The sequence and status bytes, then the record.
    Bytes content;
    content.reserve(outcome.reply.size() + 2);
    content.push_back(sequence);
    content.push_back(outcome.status);
    content.insert(content.end(), outcome.reply.begin(), outcome.reply.end());
    if (auto record = decodeStatusRecord(content)) return answerText(*record);
    return QStringLiteral(
               "Something answers on %1, but not with a status reply of this "
               "controller.")
        .arg(where);
}

// A port and link of the probe's own, driven by timers of the window's loop until the
// controller answered or the tries ran out. A network port opens on a thread of its own first,
// so a silent server never holds the window.
class DeviceProbe : public QObject {
  public:
    DeviceProbe(BackgroundOpen::MakeBackend make, QObject* owner)
        : QObject(owner),
          make_(std::move(make)),
          port_(make_([] { return false; }),
                [](std::string_view name) { return std::string(name); }),
          link_(port_) {
        QObject::connect(&tick_, &QTimer::timeout, this, [this] { link_.LinkTimerTick(); });
        QObject::connect(&look_, &QTimer::timeout, this, [this] { link_.serviceInput(); });
    }

    // Opens the device and asks it; answer gets the reply or why there is none.
    void start(const std::string& device, ProbeAnswer answer) {
        answer_ = std::move(answer);
        if (!isNetworkPort(device)) {
            std::int32_t error = port_.OpenPort(device);
            if (error == 0) error = port_.SetPortParams(19200, 'n', 8, 1, 'N');
            opened(device, error);
            return;
        }
        opening_ = std::make_unique<BackgroundOpen>(make_, device, LineSettings{});
        QObject::connect(&tick_, &QTimer::timeout, this, [this, device] {
            if (!opening_) return;
            std::optional<OpenedPort> outcome = opening_->take();
            if (!outcome) return;
            opening_.reset();
            tick_.stop();
            const std::int32_t error =
                outcome->error != 0 ? outcome->error : port_.AdoptPort(device, std::move(*outcome));
            opened(device, error);
        });
        tick_.start(kLinkTick);
    }

  private:
    void opened(const std::string& device, std::int32_t error) {
        if (error != 0) {
            port_.ClosePort();
            finish(QString::fromStdString(portErrorText(error, device)));
            return;
        }
        const QString where = QString::fromStdString(device);
        link_.enableExchanges();
        tick_.start(kLinkTick);
        look_.start(kInputLook);
        link_.send(statusRequest(), [this, where](const Outcome& o) {
            finish(answerFor(o, static_cast<std::uint8_t>(link_.txSequence()), where));
        });
    }

    void finish(const QString& text) {
        tick_.stop();
        look_.stop();
        port_.ClosePort();
        deleteLater();
        if (auto answer = std::exchange(answer_, nullptr)) answer(text);
    }

    BackgroundOpen::MakeBackend make_;
    Comm32 port_;
    Link link_;
    QTimer tick_;
    QTimer look_;
    std::unique_ptr<BackgroundOpen> opening_;
    ProbeAnswer answer_;
};

}  // namespace

QString answerText(const StatusRecord& r) {
    return QStringLiteral("Controller answers: firmware %1.%2, %3 drivers")
        .arg(r.firmwareMajor)
        .arg(r.firmwareMinor)
        .arg(r.drivers);
}

void probeDevice(BackgroundOpen::MakeBackend make, const std::string& device, QObject* owner,
                 ProbeAnswer answer) {
    // Parented to owner: it goes with the dialog, an open under way given up.
    auto* probe = new DeviceProbe(std::move(make), owner);
    probe->start(device, std::move(answer));
}

void probeLink(Link& link, ProbeAnswer answer) {
    link.enableExchanges();
    link.send(statusRequest(), [&link, answer = std::move(answer)](const Outcome& o) {
        answer(answerFor(o, static_cast<std::uint8_t>(link.txSequence()),
                         QStringLiteral("the open port")));
    });
}

}  // namespace kt6
