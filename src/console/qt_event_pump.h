#pragma once
// The window's pump for a waiting exchange: timers and repaints run, user input waits.
#include <QObject>

#include "link/comm32.h"
#include "link/event_pump.h"

namespace kt6 {

class QtEventPump : public EventPump {
public:
    explicit QtEventPump(Comm32& port) : port_(port) {}
    void processEvents() override;
    void waitForInput(std::chrono::milliseconds timeout) override;
    void post(std::function<void()> task) override;

private:
    Comm32& port_;
    // Posted work dies with the pump, so none outlives the window that owns both.
    QObject context_;
};

}  // namespace kt6
