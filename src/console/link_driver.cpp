#include "console/link_driver.h"

#include <QSocketNotifier>
#include <chrono>

#include "link/comm32.h"
#include "link/link.h"

namespace kt6 {

namespace {
constexpr std::chrono::milliseconds kInputLook{10};
// At 19200 bit/s a line carries 96 bytes in a 50 ms tick: ten times that is no controller.
constexpr std::size_t kFloodBytesPerTick = 960;
}  // namespace

LinkDriver::LinkDriver(Link& link, Comm32& port, QObject* parent)
    : QObject(parent), link_(link), port_(port) {
    tmInput_.setObjectName(QStringLiteral("tmInput"));
    tmInput_.setInterval(kInputLook);
    connect(&tmInput_, &QTimer::timeout, this, &LinkDriver::inputArrived);
}

LinkDriver::~LinkDriver() = default;

void LinkDriver::sync() {
    void* const event = port_.ReadinessEvent();
    if (event != event_) {
        eventWatch_.reset();
        event_ = event;
        if (event_) {
            eventWatch_ = watchEvent(event_, this, [this] { inputArrived(); });
            flooded_ = false;
        }
    }
    // The input event is only set by a wait outstanding on the port: armed again after every
    // read, without waiting. Input already there when it is armed sets no event: it is read
    // from the loop at once. A device that proves unable to wait gives its event up while
    // arming, and the timer below looks instead.
    if (eventWatch_ && !flooded_ && port_.WaitForInput(std::chrono::milliseconds{0})) {
        QMetaObject::invokeMethod(this, &LinkDriver::inputArrived, Qt::QueuedConnection);
    }
    if (eventWatch_ && port_.ReadinessEvent() != event_) {
        eventWatch_.reset();
        event_ = nullptr;
    }
    const std::intptr_t handle = port_.ReadinessHandle();
    if (handle != handle_) {
        notifier_.reset();
        handle_ = handle;
        if (handle_ >= 0) {
            notifier_ = std::make_unique<QSocketNotifier>(handle_, QSocketNotifier::Read);
            connect(notifier_.get(), &QSocketNotifier::activated, this, &LinkDriver::inputArrived);
            flooded_ = false;
        }
    }
    watch(!flooded_);
    const bool look = port_.IsOpen() && handle_ < 0 && !eventWatch_;
    if (look && !tmInput_.isActive()) tmInput_.start();
    if (!look) tmInput_.stop();
}

void LinkDriver::watch(bool on) {
    if (notifier_ && notifier_->isEnabled() != on) notifier_->setEnabled(on);
    if (eventWatch_ && eventWatch_->isEnabled() != on) eventWatch_->setEnabled(on);
}

void LinkDriver::tick() {
    // A flood is over once a tick's read leaves nothing behind.
    if (flooded_ && port_.InputCount() == 0) flooded_ = false;
    sinceTick_ = 0;
    sync();
}

void LinkDriver::inputArrived() {
    sinceTick_ += link_.serviceInput();
    if (sinceTick_ > kFloodBytesPerTick) flooded_ = true;
    // Reading may have found the device gone (and closed it): stop watching it at once, or a
    // hung-up device would wake the loop without end.
    sync();
}

}  // namespace kt6
