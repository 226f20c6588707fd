#pragma once
// The window's side of the rig tracker: the two rig boxes and their lamps, the Cat Radio
// menu's checks, its error boxes, and what the status bar's radio field is told.
#include <QObject>
#include <QString>
#include <functional>

#include "core/rig_tracker.h"

class QAction;
class QCheckBox;

namespace kt6 {

struct RadioPanelContext {
    QCheckBox* ckOmni1 = nullptr;
    QCheckBox* ckOmni2 = nullptr;
    QAction* Radio1 = nullptr;
    QAction* Radio21 = nullptr;
    QAction* NoRadio1 = nullptr;
    std::function<void(const QString& text, const QString& title)> message;
};

class RadioPanel : public QObject, public RigView {
    Q_OBJECT
  public:
    RadioPanel(RadioPanelContext context, QObject* parent);

    bool isTicked(int rigNumber) const override;
    void setTicked(int rigNumber, bool ticked) override;
    void setLamp(int rigNumber, NamedColour colour) override;
    void setMenuCheck(RigMenuItem item, bool checked) override;
    void showError(const std::string& text, const std::string& title) override;

  private:
    QCheckBox* rigBox(int rigNumber) const;

    RadioPanelContext context_;
};

}  // namespace kt6
