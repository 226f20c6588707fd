#pragma once
// Asks a controller for one status reply, to tell the operator whether a port mapping works.
#include <QString>
#include <memory>
#include <string>

namespace kt6 {

class Link;
class SerialBackend;
struct StatusRecord;

// "Controller answers: firmware 1.13, 3 drivers".
QString answerText(const StatusRecord& record);
// Opens the device on a port of its own with the controller's line settings (19200 8N1),
// asks for a status reply and closes it again; the answer or the reason there was none.
QString probeDevice(std::unique_ptr<SerialBackend> backend, const std::string& device);
// The same on a link already open (the port in use).
QString probeLink(Link& link);

}  // namespace kt6
