#include "console/service/screen_cover.h"

#include <QEvent>
#include <QWidget>

#include "console/panel/key_button.h"

namespace kt6 {

namespace {
constexpr const char* kCovered = "kt6CoveredByScreen";

bool coversOthers(const QWidget* w, const QWidget* holder) {
    return !w->isWindow() && w->isVisibleTo(holder) && !qobject_cast<const KeyButton*>(w);
}
}  // namespace

ScreenCover::ScreenCover(QWidget* holder, Mode mode, std::function<void()> changed)
    : QObject(holder), holder_(holder), mode_(mode), changed_(std::move(changed)) {
    holder->installEventFilter(this);
    for (QObject* child : holder->children()) watch(child);
    refresh();
}

bool ScreenCover::covered(const QWidget* w) {
    return w && w->property(kCovered).toBool();
}

void ScreenCover::watch(QObject* child) {
    if (child->isWidgetType()) child->installEventFilter(this);
}

bool ScreenCover::eventFilter(QObject* watched, QEvent* event) {
    if (watched == holder_) {
        if (event->type() == QEvent::ChildAdded) {
            watch(static_cast<QChildEvent*>(event)->child());
        } else if (event->type() == QEvent::ChildRemoved) {
            refreshSoon();
        }
        return false;
    }
    switch (event->type()) {
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::ZOrderChange:
        case QEvent::Move:
        case QEvent::Resize:
            refreshSoon();
            break;
        default:
            break;
    }
    return false;
}

void ScreenCover::refreshSoon() {
    if (mode_ == Mode::Disable) {
        refresh();
        return;
    }
    if (posted_) return;
    posted_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            posted_ = false;
            refresh();
        },
        Qt::QueuedConnection);
}

void ScreenCover::refresh() {
    if (refreshing_ || !holder_) return;
    refreshing_ = true;
    QList<QWidget*> children;
    for (QObject* o : holder_->children()) {
        if (auto* w = qobject_cast<QWidget*>(o); w && !w->isWindow()) children << w;
    }
    for (qsizetype i = 0; i < children.size(); ++i) {
        QWidget* w = children[i];
        bool under = false;
        for (qsizetype j = i + 1; j < children.size() && !under; ++j) {
            const QWidget* above = children[j];
            under = coversOthers(above, holder_) && above->geometry().contains(w->geometry());
        }
        const bool ours = covered(w);
        if (under == ours) continue;
        // Only what this guard took away is given back: a control disabled or hidden for a
        // reason of its own stays so.
        if (under) {
            if (mode_ == Mode::Disable ? !w->isEnabled() : w->isHidden()) continue;
            w->setProperty(kCovered, true);
            mode_ == Mode::Disable ? w->setEnabled(false) : w->hide();
        } else {
            w->setProperty(kCovered, false);
            mode_ == Mode::Disable ? w->setEnabled(true) : w->show();
        }
    }
    refreshing_ = false;
    if (changed_) changed_();
}

}  // namespace kt6
