#include "console/link_driver.h"

#include <QSocketNotifier>
#include <chrono>

#include "link/comm32.h"
#include "link/link.h"

namespace kt6 {

namespace {
constexpr std::chrono::milliseconds kInputLook{10};
}

LinkDriver::LinkDriver(Link& link, Comm32& port, QObject* parent)
    : QObject(parent), link_(link), port_(port) {
    tmInput_.setObjectName(QStringLiteral("tmInput"));
    tmInput_.setInterval(kInputLook);
    connect(&tmInput_, &QTimer::timeout, this, &LinkDriver::inputArrived);
}

LinkDriver::~LinkDriver() = default;

void LinkDriver::sync() {
    const int handle = port_.ReadinessHandle();
    if (handle != handle_) {
        notifier_.reset();
        handle_ = handle;
        if (handle_ >= 0) {
            notifier_ = std::make_unique<QSocketNotifier>(handle_, QSocketNotifier::Read);
            connect(notifier_.get(), &QSocketNotifier::activated, this, &LinkDriver::inputArrived);
        }
    }
    const bool look = port_.IsOpen() && handle_ < 0;
    if (look && !tmInput_.isActive()) tmInput_.start();
    if (!look) tmInput_.stop();
}

void LinkDriver::tick() {
    link_.LinkTimerTick();
    sync();
}

void LinkDriver::inputArrived() {
    link_.serviceInput();
    // Reading may have found the device gone (and closed it): stop watching it at once, or a
    // hung-up device would wake the loop without end.
    sync();
}

}  // namespace kt6
