#pragma once
// Asks a controller for one status reply, to tell the operator whether a port mapping works.
// The answer comes from the event loop once the controller answered or its tries ran out; the
// window goes on meanwhile.
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "link/background_open.h"

class QObject;

namespace kt6 {

class Link;
class SerialBackend;
struct StatusRecord;

// What the operator is told.
using ProbeAnswer = std::function<void(const QString& answer)>;

// "Controller answers: firmware 1.13, 3 drivers".
QString answerText(const StatusRecord& record);
// Opens the device on a port of its own, made by make, with the controller's line settings
// (19200 8N1), asks for a status reply and closes it again; answer gets the reply or the reason
// there was none (at once when a device path does not open; a network port opens on a thread of
// its own meanwhile). The probe lives under owner and goes with it.
void probeDevice(BackgroundOpen::MakeBackend make, const std::string& device, QObject* owner,
                 ProbeAnswer answer);
// The same on a link already open (the port in use), through its queue.
void probeLink(Link& link, ProbeAnswer answer);

}  // namespace kt6
