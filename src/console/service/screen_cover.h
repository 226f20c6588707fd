#pragma once
// What a screen laid over others leaves out of reach: a covered control holds no focus, is not
// in the Tab chain and takes no key, click or accessible action.
#include <QObject>
#include <QPointer>
#include <functional>

class QWidget;

namespace kt6 {

class ScreenCover : public QObject {
  public:
    // Disable suits screens whose controls code never presses; Hide suits a whole panel whose
    // hidden keys code still presses (a disabled button ignores click()).
    enum class Mode { Disable, Hide };

    // Watches the children of holder: one that a shown sibling stacked above it covers whole is
    // disabled or hidden, and comes back as it was once uncovered. Keys cover nothing: a lamp
    // or a lit face lies over the key it stands for. changed runs after every look.
    ScreenCover(QWidget* holder, Mode mode, std::function<void()> changed = {});

    // True while this guard keeps w out of reach.
    static bool covered(const QWidget* w);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void watch(QObject* child);
    // Looks now (Disable), or once the loop is back (Hide): a panel is shown, moved and then
    // raised above what it covers, and must not be taken for covered in between.
    void refreshSoon();
    void refresh();

    QPointer<QWidget> holder_;
    Mode mode_;
    std::function<void()> changed_;
    bool refreshing_ = false;
    bool posted_ = false;
};

}  // namespace kt6
