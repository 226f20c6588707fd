#include "console/ports/port_probe.h"

#include <QObject>
#include <QTimer>
#include <chrono>

#include "link/comm32.h"
#include "link/commands.h"
#include "link/link.h"
#include "link/status.h"

namespace kt6 {
namespace {

constexpr int kTries = 4;
constexpr std::chrono::milliseconds kTimeout{100};
constexpr std::chrono::milliseconds kInputLook{10};

Command statusRequest() {
    return Command{code(CommandCode::Status), {}, false, kTries, kTimeout};
}

// The reply, or why there was none, as the operator reads it.
QString answerFor(const Outcome& outcome, std::uint8_t sequence, const QString& where) {
    if (outcome.status == kNoReply) {
        return QStringLiteral(
                   "No answer on %1 after %2 tries: check that the controller is on "
                   "and that this is its cable.")
            .arg(where)
            .arg(kTries);
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
// controller answered or the tries ran out.
class DeviceProbe : public QObject {
  public:
    DeviceProbe(std::unique_ptr<SerialBackend> backend, QObject* owner)
        : QObject(owner),
          port_(std::move(backend), [](std::string_view name) { return std::string(name); }),
          link_(port_) {
        QObject::connect(&tick_, &QTimer::timeout, this, [this] { link_.LinkTimerTick(); });
        QObject::connect(&look_, &QTimer::timeout, this, [this] { link_.serviceInput(); });
    }

    // False, with the reason in reason, when the device does not open.
    bool open(const std::string& device, QString& reason) {
        std::int32_t error = port_.OpenPort(device);
        if (error == 0) error = port_.SetPortParams(19200, 'n', 8, 1, 'N');
        if (error == 0) return true;
        port_.ClosePort();
        reason = QString::fromStdString(portErrorText(error, device));
        return false;
    }

    void ask(const QString& where, ProbeAnswer answer) {
        link_.ExchangeEnabled = true;
        tick_.start(kLinkTick);
        look_.start(kInputLook);
        link_.send(statusRequest(), [this, where, answer = std::move(answer)](const Outcome& o) {
            const QString text = answerFor(o, static_cast<std::uint8_t>(link_.TxSequence), where);
            tick_.stop();
            look_.stop();
            port_.ClosePort();
            deleteLater();
            answer(text);
        });
    }

  private:
    Comm32 port_;
    Link link_;
    QTimer tick_;
    QTimer look_;
};

}  // namespace

QString answerText(const StatusRecord& r) {
    return QStringLiteral("Controller answers: firmware %1.%2, %3 drivers")
        .arg(r.firmwareMajor)
        .arg(r.firmwareMinor)
        .arg(r.drivers);
}

void probeDevice(std::unique_ptr<SerialBackend> backend, const std::string& device, QObject* owner,
                 ProbeAnswer answer) {
    auto* probe = new DeviceProbe(std::move(backend), owner);
    QString reason;
    if (!probe->open(device, reason)) {
        delete probe;
        answer(reason);
        return;
    }
    probe->ask(QString::fromStdString(device), std::move(answer));
}

void probeLink(Link& link, ProbeAnswer answer) {
    link.ExchangeEnabled = true;
    link.send(statusRequest(), [&link, answer = std::move(answer)](const Outcome& o) {
        answer(answerFor(o, static_cast<std::uint8_t>(link.TxSequence),
                         QStringLiteral("the open port")));
    });
}

}  // namespace kt6
