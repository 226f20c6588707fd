#include "console/status/radio_panel.h"

#include <QAction>
#include <QCheckBox>
#include <QTimer>

#include "console/colours.h"

namespace kt6 {

RadioPanel::RadioPanel(RadioPanelContext context, QObject* parent)
    : QObject(parent), context_(std::move(context)) {}

QCheckBox* RadioPanel::rigBox(int rigNumber) const {
    return rigNumber == 1 ? context_.ckOmni1 : rigNumber == 2 ? context_.ckOmni2 : nullptr;
}

bool RadioPanel::isTicked(int rigNumber) const {
    QCheckBox* box = rigBox(rigNumber);
    return box && box->isChecked();
}

void RadioPanel::setTicked(int rigNumber, bool ticked) {
    if (QCheckBox* box = rigBox(rigNumber)) box->setChecked(ticked);
}

void RadioPanel::setLamp(int rigNumber, NamedColour colour) {
    if (QCheckBox* box = rigBox(rigNumber)) setBackground(box, colour);
}

void RadioPanel::setMenuCheck(RigMenuItem item, bool checked) {
    switch (item) {
        case RigMenuItem::Radio1:
            context_.Radio1->setChecked(checked);
            break;
        case RigMenuItem::Radio21:
            context_.Radio21->setChecked(checked);
            break;
        case RigMenuItem::NoRadio1:
            context_.NoRadio1->setChecked(checked);
            break;
    }
}

void RadioPanel::showError(const std::string& text, const std::string& title) {
    // From the event loop: raised inside a poll tick, the box's own loop would hold that
    // tick open and the poll timer with it.
    QTimer::singleShot(0, this,
                       [this, text = QString::fromStdString(text),
                        title = QString::fromStdString(title)] { context_.message(text, title); });
}

}  // namespace kt6
