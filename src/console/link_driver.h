#pragma once
// Wakes the link when the port has input, on the window's event loop: a socket notifier on the
// device, an event notifier on a Windows serial port's input event (or, for a device with
// nothing to watch, a short timer while the port is open). The console controller ticks the
// link every 50 ms and then tells this. It never waits.
#include <QObject>
#include <QTimer>
#include <cstdint>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace kt6 {

class Comm32;
class Link;

// A watch on an event object of the system (Windows' QWinEventNotifier). One file per system:
// event_watch_win32.cpp, event_watch_posix.cpp (which has no event objects to watch).
class EventWatch {
  public:
    virtual ~EventWatch() = default;
    virtual void setEnabled(bool on) = 0;
    virtual bool isEnabled() const = 0;
};
// Calls signalled from the loop each time the event is set; nullptr where there are none.
std::unique_ptr<EventWatch> watchEvent(void* event, QObject* context,
                                       std::function<void()> signalled);

class LinkDriver : public QObject {
    Q_OBJECT
  public:
    LinkDriver(Link& link, Comm32& port, QObject* parent);
    ~LinkDriver() override;

    // Follows the port as it is now: watches the device just opened, drops a closed one.
    void sync();
    // After each link tick: follows the port as the tick left it.
    void tick();

  private:
    void inputArrived();
    // Watches the device unless its input comes faster than any controller sends.
    void watch(bool on);

    Link& link_;
    Comm32& port_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::intptr_t handle_ = -1;
    // A Windows serial port's input event, and the wait that sets it armed after every read.
    std::unique_ptr<EventWatch> eventWatch_;
    void* event_ = nullptr;
    // Bytes read on the notifier since the last tick, and whether the line is flooding: then
    // the notifier rests and input is read on the ticks alone, a bounded piece at a time.
    std::size_t sinceTick_ = 0;
    bool flooded_ = false;
    // For devices without a handle (the built-in simulated controller): input is looked for
    // this often, as a waiting exchange always looked.
    QTimer tmInput_;
};

}  // namespace kt6
