// An event object watched from the window's loop: Qt's Windows event notifier, which waits on
// a thread pool's thread and reports on the loop.
#include <QWinEventNotifier>

#include "console/link_driver.h"

namespace kt6 {

namespace {

class WinEventWatch final : public EventWatch {
  public:
    WinEventWatch(void* event, QObject* context, std::function<void()> signalled)
        : notifier_(event) {
        QObject::connect(&notifier_, &QWinEventNotifier::activated, context,
                         [signalled = std::move(signalled)] { signalled(); });
        notifier_.setEnabled(true);
    }
    void setEnabled(bool on) override { notifier_.setEnabled(on); }
    bool isEnabled() const override { return notifier_.isEnabled(); }

  private:
    QWinEventNotifier notifier_;
};

}  // namespace

std::unique_ptr<EventWatch> watchEvent(void* event, QObject* context,
                                       std::function<void()> signalled) {
    return std::make_unique<WinEventWatch>(event, context, std::move(signalled));
}

}  // namespace kt6
