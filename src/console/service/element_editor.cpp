#include "console/service/element_editor.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

#include "console/colours.h"
#include "console/service/screen_accessible.h"
#include "console/service/service_screens.h"
#include "console/widget_factory.h"

namespace kt6 {

namespace {

constexpr std::array<int, 4> kColumnLefts = {8, 72, 144, 216};
constexpr std::array<int, 4> kStepperLefts = {24, 88, 160, 232};
constexpr QSize kStepperSize{25, 17};
constexpr const char* kSaveQuestion = "Do you want to save data?";
constexpr const char* kSaveHint = "Press YES to memorize";

QPushButton* button(QWidget* parent, const QString& name, QRect place, const QString& caption) {
    auto* b = make<QPushButton>(parent, name, place, caption);
    b->setAccessibleName(caption);
    // Enter presses the focused button, as in a dialog.
    b->setAutoDefault(true);
    return b;
}

QLabel* boldLine(QWidget* parent, const char* name, QRect place) {
    auto* l = make<QLabel>(parent, QString::fromLatin1(name), place);
    l->setAlignment(Qt::AlignCenter);
    l->setFont(pixelFont(14, true));
    setTextColour(l, NamedColour::clBlack);
    return l;
}

QString text(std::string_view s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

QString labelText(const QLabel* l) {
    return l ? l->text() : QString();
}

}  // namespace

ElementEditor::ElementEditor(ServiceScreens& services, const QLabel* frequencyLine,
                             const QLabel* bandLine, QWidget* pnBlue, QObject* parent)
    : QObject(parent), services_(services), frequencyLine_(frequencyLine), bandLine_(bandLine) {
    setObjectName("ElementEditor");
    Panel_Menu_ = make<QFrame>(pnBlue, QStringLiteral("Panel_Menu"), kDisplayPlace);
    Panel_Menu_->setFrameShape(QFrame::NoFrame);
    setBackground(Panel_Menu_, NamedColour::clMoneyGreen);

    lfreq_mod_el_ = boldLine(Panel_Menu_, "lfreq_mod_el", QRect(8, 8, 273, 22));
    lband_mod_elem_ = boldLine(Panel_Menu_, "lband_mod_elem", QRect(8, 32, 273, 16));

    const auto labels = editorLabels(0, 0);
    void (ElementEditor::*const upSlots[])() = {
        &ElementEditor::B_up_1Click, &ElementEditor::B_up_2Click, &ElementEditor::B_up_3Click,
        &ElementEditor::B_up_4Click};
    void (ElementEditor::*const downSlots[])() = {
        &ElementEditor::B_down_1Click, &ElementEditor::B_down_2Click, &ElementEditor::B_down_3Click,
        &ElementEditor::B_down_4Click};
    for (std::size_t c = 0; c < kEditorColumns.size(); ++c) {
        const EditorColumn& col = kEditorColumns[c];
        const int left = kColumnLefts[c];
        auto* caption = make<QLabel>(Panel_Menu_, QString::fromLatin1(col.edit) + "Label",
                                     QRect(left, 66, 57, 13), text(labels[c]));
        caption->setAlignment(Qt::AlignCenter);
        auto* edit =
            make<QLineEdit>(Panel_Menu_, QString::fromLatin1(col.edit), QRect(left, 80, 57, 21));
        caption->setBuddy(edit);
        edit->setAlignment(Qt::AlignCenter);
        captions_[c] = caption;
        edits_[c] = edit;
    }
    // All four only show what the controller holds: nothing typed into them could reach it.
    for (QLineEdit* edit : edits_) edit->setReadOnly(true);
    for (std::size_t c = 0; c < kEditorColumns.size(); ++c) {
        const EditorColumn& col = kEditorColumns[c];
        up_[c] = button(Panel_Menu_, QString::fromLatin1(col.up),
                        QRect(QPoint(kStepperLefts[c], 48), kStepperSize), QStringLiteral("+"));
        connect(up_[c], &QPushButton::clicked, this, upSlots[c]);
    }
    for (std::size_t c = 0; c < kEditorColumns.size(); ++c) {
        const EditorColumn& col = kEditorColumns[c];
        down_[c] = button(Panel_Menu_, QString::fromLatin1(col.down),
                          QRect(QPoint(kStepperLefts[c], 104), kStepperSize), QStringLiteral("-"));
        connect(down_[c], &QPushButton::clicked, this, downSlots[c]);
    }
    // "Save" lies under "Exit without saving" and takes its place once a length changed.
    b_save_ = button(Panel_Menu_, QStringLiteral("b_save"), QRect(8, 128, 257, 17),
                     QStringLiteral("Save"));
    b_save_->hide();
    b_cancel_ = button(Panel_Menu_, QStringLiteral("b_cancel"), QRect(8, 128, 273, 17),
                       QStringLiteral("Exit without saving"));
    // YES and NO stand in a frame of their own, just their size: focus coming to them enters
    // the question, which a screen reader then reads.
    saveQuestion_ =
        make<QFrame>(Panel_Menu_, QStringLiteral("pnSaveQuestion"), QRect(80, 128, 113, 17));
    saveQuestion_->setFrameShape(QFrame::NoFrame);
    saveQuestion_->setAccessibleName(QString::fromLatin1(kSaveQuestion));
    saveQuestion_->setAccessibleDescription(QString::fromLatin1(kSaveHint));
    describeScreen(saveQuestion_, QAccessible::AlertMessage);
    B_yes_ =
        button(saveQuestion_, QStringLiteral("B_yes"), QRect(0, 0, 49, 17), QStringLiteral("YES"));
    B_no_ =
        button(saveQuestion_, QStringLiteral("B_no"), QRect(64, 0, 49, 17), QStringLiteral("NO"));
    B_yes_->hide();
    B_no_->hide();
    nameColumns(labels);
    connect(b_save_, &QPushButton::clicked, this, &ElementEditor::b_saveClick);
    connect(b_cancel_, &QPushButton::clicked, this, &ElementEditor::b_cancelClick);
    connect(B_yes_, &QPushButton::clicked, this, &ElementEditor::B_yesClick);
    connect(B_no_, &QPushButton::clicked, this, &ElementEditor::B_noClick);
    // Escape leaves the way the bottom row offers: "NO" to the store question, "Exit without
    // saving" while nothing changed; once a length changed only "Save" leads out.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), Panel_Menu_);
    escape->setContext(Qt::WidgetWithChildrenShortcut);
    connect(escape, &QShortcut::activated, this, [this] {
        for (QPushButton* way : {B_no_, b_cancel_}) {
            if (ServiceScreens::reachable(way)) {
                way->click();
                return;
            }
        }
    });
    Panel_Menu_->setAccessibleName(QStringLiteral("Element lengths"));
    describeScreen(Panel_Menu_, QAccessible::Dialog);
    services_.setDefaultControl(Panel_Menu_, [this] { return defaultControl(); });
    Panel_Menu_->hide();
}

QWidget* ElementEditor::defaultControl() const {
    if (opening_) return nullptr;
    if (!B_yes_->isHidden()) return B_yes_;
    return up_[0]->isHidden() ? nullptr : up_[0];
}

void ElementEditor::ReadElementLengths(bool flag,
                                       std::function<void(std::optional<ElementLengths>)> done) {
    services_.exchange(elementLengthsCommand({}, flag),
                       [done = std::move(done)](const Outcome& outcome) {
                           if (outcome.status != 0) {
                               done(std::nullopt);
                           } else {
                               done(decodeElementLengths(outcome.reply));
                           }
                       });
}

void ElementEditor::showLengths(const ElementLengths& lengths) {
    for (std::size_t c = 0; c < kEditorColumns.size(); ++c) {
        edits_[c]->setText(QString::fromStdString(lengthText(lengths.*kEditorColumns[c].word)));
    }
}

void ElementEditor::ModifyElemets1Click() {
    if (!services_.mayOpen(ServiceFunction::ModifyElements)) return;
    services_.runSequence(editorWalkInSteps(), [this] {
        opening_ = true;
        // Copies taken once: the display under the panel goes on being refreshed, these do not.
        lfreq_mod_el_->setText(labelText(frequencyLine_));
        lband_mod_elem_->setText(labelText(bandLine_));
        Panel_Menu_->setAccessibleDescription(lfreq_mod_el_->text() + QLatin1Char(' ') +
                                              lband_mod_elem_->text());
        Panel_Menu_->show();
        services_.runSequence(editorSelectSteps(), [this] { showSteppers(); });
    });
}

void ElementEditor::showSteppers() {
    B_yes_->hide();
    B_no_->hide();
    for (std::size_t c = 0; c < 4; ++c) {
        up_[c]->show();
        down_[c]->show();
        edits_[c]->setEnabled(true);
    }
    b_cancel_->show();
    EnableLengthSteppers();
    opening_ = false;
    up_[0]->setFocus(Qt::OtherFocusReason);

    nameColumns(editorLabels(services_.poll().HeadingMode(), services_.poll().CurrentFrequency()));

    // Still inside the opening sequence: the read is its last exchange.
    ReadElementLengths(true, [this, run = std::make_shared<ServiceScreens::Run>(services_)](
                                 std::optional<ElementLengths> lengths) {
        if (lengths) showLengths(*lengths);
    });
}

void ElementEditor::nameColumns(const std::array<std::string_view, 4>& labels) {
    for (std::size_t c = 0; c < labels.size(); ++c) {
        const QString caption = text(labels[c]);
        captions_[c]->setText(caption);
        // A screen reader tells the steppers apart by the element they step.
        up_[c]->setAccessibleName(caption + QStringLiteral(" +"));
        down_[c]->setAccessibleName(caption + QStringLiteral(" \u2212"));
    }
}

void ElementEditor::EnableLengthSteppers() {
    for (std::size_t c = 0; c < 4; ++c) {
        up_[c]->setEnabled(true);
        down_[c]->setEnabled(true);
    }
}

void ElementEditor::step(std::size_t column, bool up) {
    if (services_.running() || fromUnreachable()) return;
    // The key and the read that follows it are one sequence: no other click comes between.
    auto run = std::make_shared<ServiceScreens::Run>(services_);
    const EditorColumn& col = kEditorColumns[column];
    // The driver's "-" is the one step whose read goes out flagged.
    const bool flag = !up && column == 2;
    services_.key(up ? col.upKey : col.downKey, false, true, [this, run, column, flag] {
        ReadElementLengths(flag, [this, run, column](std::optional<ElementLengths> lengths) {
            if (!lengths) return;
            const EditorColumn& c = kEditorColumns[column];
            edits_[column]->setText(QString::fromStdString(lengthText((*lengths).*c.word)));
            b_save_->show();
            const bool hadFocus = b_cancel_->hasFocus();
            b_cancel_->hide();
            if (hadFocus) b_save_->setFocus(Qt::OtherFocusReason);
        });
    });
}

void ElementEditor::b_saveClick() {
    if (services_.running() || fromUnreachable()) return;
    auto run = std::make_shared<ServiceScreens::Run>(services_);
    // The front keys stay hidden until the question is answered: the controller waits on its
    // store screen, which any of them would leave while the console still asks.
    services_.key(8, false, true, [run] {});
    B_yes_->show();
    B_no_->show();
    b_save_->hide();
    lfreq_mod_el_->setText(QString::fromLatin1(kSaveQuestion));
    lband_mod_elem_->setText(QString::fromLatin1(kSaveHint));
    for (std::size_t c = 0; c < 4; ++c) {
        up_[c]->hide();
        down_[c]->hide();
    }
    B_yes_->setFocus(Qt::OtherFocusReason);
}

void ElementEditor::B_yesClick() {
    if (services_.running() || fromUnreachable()) return;
    services_.key(6, false, true, [run = std::make_shared<ServiceScreens::Run>(services_)] {});
    close();
}

void ElementEditor::B_noClick() {
    if (services_.running() || fromUnreachable()) return;
    services_.key(8, false, true, [run = std::make_shared<ServiceScreens::Run>(services_)] {});
    close();
}

void ElementEditor::close() {
    Panel_Menu_->hide();
    B_yes_->hide();
    B_no_->hide();
    services_.showFrontKeys();
}

bool ElementEditor::fromUnreachable() const {
    const auto* control = qobject_cast<const QWidget*>(sender());
    return control && !ServiceScreens::reachable(control);
}

void ElementEditor::b_cancelClick() {
    if (services_.running() || fromUnreachable()) return;
    services_.runSequence(editorExitSteps(), [this] {
        Panel_Menu_->hide();
        services_.returnKey({});
    });
}

}  // namespace kt6
