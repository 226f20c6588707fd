#include "console/ports/port_probe.h"
#include "link/commands.h"

#include "link/comm32.h"
#include "link/link.h"
#include "link/status.h"

namespace kt6 {
namespace {

constexpr int kTries = 4;
constexpr int kTimeoutMs = 100;

// The status request as one exchange, waiting on the port itself: a Test is a deliberate
// click, its wait bounded by the tries (under half a second with no answer).
QString ask(Link& link, const QString& where) {
    link.ExchangeEnabled = true;
    SteadyPortWaiter waiter(link.port());
    const Outcome outcome = link.SendCommandBlocking(
        Command{
            code(CommandCode::Status), {}, false, kTries, std::chrono::milliseconds(kTimeoutMs)},
        waiter);
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
    content.push_back(static_cast<std::uint8_t>(link.TxSequence));
    content.push_back(outcome.status);
    content.insert(content.end(), outcome.reply.begin(), outcome.reply.end());
    if (auto record = decodeStatusRecord(content)) return answerText(*record);
    return QStringLiteral(
               "Something answers on %1, but not with a status reply of this "
               "controller.")
        .arg(where);
}

}  // namespace

QString answerText(const StatusRecord& r) {
    return QStringLiteral("Controller answers: firmware %1.%2, %3 drivers")
        .arg(r.firmwareMajor)
        .arg(r.firmwareMinor)
        .arg(r.drivers);
}

QString probeDevice(std::unique_ptr<SerialBackend> backend, const std::string& device) {
    Comm32 port(std::move(backend), [](std::string_view name) { return std::string(name); });
    const QString where = QString::fromStdString(device);
    if (const std::int32_t error = port.OpenPort(device); error != 0) {
        return QString::fromStdString(portErrorText(error, device));
    }
    if (const std::int32_t error = port.SetPortParams(19200, 'n', 8, 1, 'N'); error != 0) {
        port.ClosePort();
        return QString::fromStdString(portErrorText(error, device));
    }
    Link link(port);
    const QString answer = ask(link, where);
    port.ClosePort();
    return answer;
}

QString probeLink(Link& link) {
    if (link.busy()) return QStringLiteral("The link is busy with another exchange; try again.");
    return ask(link, QStringLiteral("the open port"));
}

}  // namespace kt6
