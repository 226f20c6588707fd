#include "console/service/service_screens.h"

#include <algorithm>

#include "link/commands.h"

#include <QAbstractButton>
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

#include "console/colours.h"
#include "console/service/screen_accessible.h"
#include "console/service/screen_cover.h"
#include "console/widget_factory.h"

namespace kt6 {

namespace {

QLabel* line(QWidget* parent, const QString& name, QRect place, const char* text, const QFont& f,
             NamedColour colour = NamedColour::clBlack) {
    auto* l = make<QLabel>(parent, name, place, QString::fromLatin1(text));
    l->setAlignment(Qt::AlignCenter);
    l->setFont(f);
    l->setAccessibleName(l->text());
    setTextColour(l, colour);
    return l;
}

struct ButtonSpec {
    const char* name;
    const char* caption;
    int left;
    void (ServiceScreens::*handler)();
};

struct ScreenSpec {
    ServiceScreen screen;
    const char* name;
    const char* title;
    std::array<const char*, 2> lines;
    std::array<ButtonSpec, 2> buttons;
    bool movingBar;
};

// Yes and No stand right above the front-panel keys whose codes they send (6 and 5).
constexpr int kButtonTop = 116;
constexpr QSize kButtonSize{41, 25};

const ScreenSpec kScreens[] = {
    {ServiceScreen::Panel_calibrate,
     "Panel_calibrate",
     "Want to calibrate elements?",
     {"Press Yes to confirm", nullptr},
     {{{"yes_cal", "Yes", 88, &ServiceScreens::yes_calClick},
       {"Press_No", "No", 152, &ServiceScreens::Press_NoClick}}},
     false},
    {ServiceScreen::Panel_factory,
     "Panel_factory",
     "Recall factory defaults?",
     {"Band Data", "will be resetted."},
     {{{"factory_b_yes", "Yes", 96, &ServiceScreens::factory_b_yesClick},
       {"factory_b_no", "No", 152, &ServiceScreens::factory_b_noClick}}},
     false},
    {ServiceScreen::Panel_Retract,
     "Panel_Retract",
     "Want to retract elements?",
     {"Press Yes to confirm", nullptr},
     {{{"B_Retr_Yes", "Yes", 96, &ServiceScreens::B_Retr_YesClick},
       {"B_retract_2", "No", 152, &ServiceScreens::B_retract_2Click}}},
     false},
    {ServiceScreen::Panel_test,
     "Panel_test",
     "Want to test elements?",
     {"Press Yes to confirm", nullptr},
     {{{"B_Test_Yes", "Yes", 96, &ServiceScreens::B_Test_YesClick},
       {"B_test_NO", "No", 160, &ServiceScreens::B_test_NOClick}}},
     false},
    {ServiceScreen::Panel_T_act,
     "Panel_T_act",
     "TEST ACTIVE",
     {"Press Yes to retract", nullptr},
     {{{"B_testact_Yes", "Yes", 120, &ServiceScreens::B_testact_YesClick}, {}}},
     false},
    {ServiceScreen::Calibrate_of_course,
     "Calibrate_of_course",
     "Calibrating elements",
     {"Please wait...", nullptr},
     {},
     true},
    {ServiceScreen::Retracting_of_course,
     "Retracting_of_course",
     "Retracting elements",
     {"Please wait...", nullptr},
     {},
     true},
    {ServiceScreen::panel_test_go,
     "panel_test_go",
     "Moving elements",
     {"please wait....", nullptr},
     {},
     true},
};

struct FunctionItem {
    ServiceFunction function;
    const char* item;
    const char* tip;
};
constexpr FunctionItem kItems[] = {
    {ServiceFunction::Calibrate, "Calibrate1", "Calibrate the elements."},
    {ServiceFunction::FactoryDefault, "FactoryDefault1",
     "Recall the factory band data of the controller."},
    {ServiceFunction::ModifyElements, "ModifyElemets1",
     "Trim the element lengths of the band in use."},
    {ServiceFunction::Retract, "Retract1", "Retract the elements."},
    {ServiceFunction::TestElements, "estelements1",
     "Test the elements (with the elements retracted)."},
};
constexpr std::string_view kBusyTip = kSequenceBusy;

void setTip(QAction* item, std::string_view tip) {
    const QString text = QString::fromLatin1(tip.data(), static_cast<qsizetype>(tip.size()));
    item->setStatusTip(text);
    item->setToolTip(text);
}

}  // namespace

ServiceScreens::ServiceScreens(ServiceContext context, QWidget* pnBlue, QObject* parent)
    : QObject(parent), context_(std::move(context)), pnBlue_(pnBlue) {
    context_.runner.setView(this);
    setObjectName("ServiceScreens");
    countdown_.setParent(this);
    countdown_.setObjectName("tmCountdown");
    countdown_.setInterval(1000);
    connect(&countdown_, &QTimer::timeout, this, &ServiceScreens::tmCountdownTimer);
    for (const ScreenSpec& entry : kScreens) {
        auto* p = new QFrame(pnBlue);
        const QString name = QString::fromLatin1(entry.name);
        p->setObjectName(name);
        p->setGeometry(kDisplayPlace);
        p->setFrameShape(QFrame::NoFrame);
        setBackground(p, NamedColour::clMoneyGreen);
        titles_[static_cast<std::size_t>(entry.screen)] =
            line(p, name + "_Title", QRect(0, 14, kDisplayPlace.width(), 24), entry.title,
                 pixelFont(17, true));
        for (std::size_t i = 0; i < entry.lines.size(); ++i) {
            if (!entry.lines[i]) continue;
            line(p, name + "_Line" + QString::number(i + 1),
                 QRect(0, 48 + 22 * static_cast<int>(i), kDisplayPlace.width(), 20), entry.lines[i],
                 pixelFont(14, false));
        }
        QPushButton* no = nullptr;
        for (const ButtonSpec& b : entry.buttons) {
            if (!b.name) continue;
            auto* button = new QPushButton(QString::fromLatin1(b.caption), p);
            button->setObjectName(QString::fromLatin1(b.name));
            button->setGeometry(QRect(QPoint(b.left, kButtonTop), kButtonSize));
            button->setAccessibleName(button->text());
            // Enter presses the focused answer, as in a message box.
            button->setAutoDefault(true);
            connect(button, &QPushButton::clicked, this, b.handler);
            if (&b != &entry.buttons.front()) no = button;
        }
        // Escape answers "No", as it does a message box.
        if (no) {
            auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), p);
            escape->setContext(Qt::WidgetWithChildrenShortcut);
            connect(escape, &QShortcut::activated, no, [no] {
                if (reachable(no)) no->click();
            });
        }
        // A screen reader meets a question or a wait as it meets a message box, and a wait
        // screen takes the focus itself, so that its text is read as it comes up.
        describeScreen(p, QAccessible::AlertMessage);
        if (entry.movingBar) p->setFocusPolicy(Qt::TabFocus);
        if (entry.movingBar) {
            QLabel* bar =
                line(p, name + "_Moving", QRect(0, 128, kDisplayPlace.width(), 25),
                     "MOVING ELEMENTS.....", pixelFont(21, true, "Arial"), NamedColour::clYellow);
            setBackground(bar, NamedColour::clRed);
        }
        p->hide();
        screens_[static_cast<std::size_t>(entry.screen)] = p;
    }
}

void ServiceScreens::stackScreens(QWidget* editorPanel, QWidget* retracted, QWidget* portPanel) {
    // A "please wait" screen covers the question it follows, and the port prompt covers
    // every question.
    using S = ServiceScreen;
    const QWidget* order[] = {editorPanel,
                              screen(S::Panel_calibrate),
                              screen(S::Panel_factory),
                              screen(S::Panel_Retract),
                              retracted,
                              screen(S::Panel_test),
                              screen(S::Panel_T_act),
                              portPanel,
                              screen(S::Calibrate_of_course),
                              screen(S::panel_test_go),
                              screen(S::Retracting_of_course)};
    for (const QWidget* w : order) {
        if (!w) continue;
        const_cast<QWidget*>(w)->raise();
        stack_.push_back(const_cast<QWidget*>(w));
    }
    if (portPanel) {
        // The port prompt has no button: it takes the focus itself, read as a box would be.
        describeScreen(portPanel, QAccessible::AlertMessage);
        portPanel->setFocusPolicy(Qt::TabFocus);
    }
    if (!pnBlue_) return;
    new ScreenCover(pnBlue_, ScreenCover::Mode::Disable, [this] { settleSoon(); });
    // A panel laid over the whole front panel (the setup panel) covers it the same way; hidden
    // rather than disabled, since code still presses the hidden keys under it.
    if (QWidget* holder = pnBlue_->parentWidget())
        new ScreenCover(holder, ScreenCover::Mode::Hide, [this] { settleSoon(); });
}

void ServiceScreens::setDefaultControl(QWidget* screen, std::function<QWidget*()> pick) {
    defaults_[screen] = std::move(pick);
}

bool ServiceScreens::reachable(const QWidget* w) {
    return w && w->isVisibleTo(w->window()) && w->isEnabled();
}

bool ServiceScreens::fromUnreachable() const {
    const auto* control = qobject_cast<const QWidget*>(sender());
    return control && !reachable(control);
}

void ServiceScreens::settleSoon() {
    // Once the screens stand as the step leaves them: a step that hides one screen and shows
    // the next would otherwise send the focus through the display in between.
    if (settlePosted_) return;
    settlePosted_ = true;
    QMetaObject::invokeMethod(this, &ServiceScreens::settleFocus, Qt::QueuedConnection);
}

QWidget* ServiceScreens::defaultOf(QWidget* screen) const {
    if (const auto pick = defaults_.find(screen); pick != defaults_.end()) {
        QWidget* chosen = pick->second ? pick->second() : nullptr;
        return reachable(chosen) ? chosen : screen;
    }
    for (QAbstractButton* b : screen->findChildren<QAbstractButton*>()) {
        if (reachable(b)) return b;
    }
    return screen->focusPolicy() != Qt::NoFocus ? screen : nullptr;
}

void ServiceScreens::settleFocus() {
    settlePosted_ = false;
    if (!pnBlue_) return;
    QWidget* top = nullptr;
    for (QWidget* s : stack_) {
        if (!s->isHidden()) top = s;
    }
    const bool topChanged = top != top_;
    top_ = top;
    // Under a panel laid over it, the front panel leaves the focus to that panel.
    if (!pnBlue_->isVisibleTo(pnBlue_->window())) return;
    const QWidget* focus = pnBlue_->window()->focusWidget();
    const bool focusLost = !reachable(focus);
    if (!topChanged && !focusLost) return;
    if (QWidget* d = top ? defaultOf(top) : nullptr) {
        if (d != focus) d->setFocus(Qt::OtherFocusReason);
        return;
    }
    if (focusLost && context_.focusPanel) context_.focusPanel();
}

void ServiceScreens::sequenceRunning(bool running) {
    if (running) {
        block_ = std::make_unique<InputBlock>();
    } else {
        block_.reset();
    }
}

void ServiceScreens::stop() {
    context_.runner.stop();
}

void ServiceScreens::runSequence(std::span<const ServiceStep> steps, std::function<void()> then) {
    context_.runner.runSequence(steps, std::move(then));
}

GuardState ServiceScreens::guardState() const {
    const QWidget* prompt = context_.portPrompt;
    return context_.runner.guardState(prompt && !prompt->isHidden());
}

QAction* ServiceScreens::menuItem(ServiceFunction function) const {
    const auto index = static_cast<std::size_t>(function);
    return index < context_.items.size() ? context_.items[index] : nullptr;
}

bool ServiceScreens::mayOpen(ServiceFunction function) {
    QAction* item = menuItem(function);
    if (running()) {
        if (item) setTip(item, kBusyTip);
        tellRefusal(item, kBusyTip);
        return false;
    }
    const auto refusal = guardRefusal(function, guardState());
    for (const FunctionItem& i : kItems) {
        if (i.function == function && item) setTip(item, refusal.value_or(i.tip));
    }
    if (refusal) tellRefusal(item, *refusal);
    return !refusal;
}

void ServiceScreens::tellRefusal(const QAction* item, std::string_view why) {
    // A hover tip is read only by whoever thinks to hover: the operator who chose the item
    // looks at the status bar for why nothing happened.
    const QString reason = QString::fromLatin1(why.data(), static_cast<qsizetype>(why.size()));
    const QString caption = item ? QString(item->text()).remove(QLatin1Char('&')) : QString();
    if (!context_.announce) return;
    context_.announce(
        caption.isEmpty() ? reason : QStringLiteral("%1 not started: %2").arg(caption, reason));
}

void ServiceScreens::refreshTips() {
    const GuardState state = guardState();
    for (const FunctionItem& i : kItems) {
        QAction* item = menuItem(i.function);
        if (!item) continue;
        const auto refusal =
            running() ? std::optional<std::string_view>(kBusyTip) : guardRefusal(i.function, state);
        setTip(item, refusal.value_or(i.tip));
    }
}

void ServiceScreens::open(ServiceFunction function) {
    if (!mayOpen(function)) return;
    runSequence(openingSteps(function));
}

void ServiceScreens::answer(ServiceAnswer a) {
    if (running() || fromUnreachable()) return;
    runSequence(answerSteps(a), [this, a] { tellEnd(a); });
}

void ServiceScreens::tellEnd(ServiceAnswer a) {
    // The factory recall tells its own end with the display's lines; a "No" ends nothing.
    const char* text = nullptr;
    switch (a) {
        case ServiceAnswer::CalibrateYes:
            text = "Calibration done";
            break;
        case ServiceAnswer::RetractYes:
            text = "Retraction done";
            break;
        case ServiceAnswer::TestYes:
            text = "Elements moved: TEST ACTIVE";
            break;
        case ServiceAnswer::TestActiveYes:
            text = "Test done";
            break;
        default:
            break;
    }
    if (text && context_.announce) context_.announce(QString::fromLatin1(text));
}

std::string ServiceScreens::runConfirmed(ServiceFunction function,
                                         std::function<void(const std::string& error)> done) {
    if (!yesAnswer(function)) return context_.runner.runConfirmed(function, {}, {});
    if (running()) return std::string(kBusyTip);
    // The same guard as the menu item's, with its tip and the Events field told alike.
    if (!mayOpen(function)) {
        const auto refusal = guardRefusal(function, guardState());
        return refusal ? std::string(*refusal) : std::string(kBusyTip);
    }
    return context_.runner.runConfirmed(
        function, [this](ServiceAnswer yes) { tellEnd(yes); }, std::move(done));
}

void ServiceScreens::B_testact_YesClick() {
    // The test's elements retract only from where the test put them, at frequency 0.
    if (context_.poll.CurrentFrequency() != 0 || fromUnreachable()) return;
    answer(ServiceAnswer::TestActiveYes);
}

void ServiceScreens::pauseStarted(std::chrono::milliseconds duration) {
    // Only a wait behind a "please wait" screen is counted down; the menu's short gaps are not.
    waitingFor_.clear();
    for (ServiceScreen s : {ServiceScreen::Calibrate_of_course, ServiceScreen::Retracting_of_course,
                            ServiceScreen::panel_test_go}) {
        if (screen(s)->isHidden()) continue;
        waitingFor_ = titles_[static_cast<std::size_t>(s)]->text();
    }
    if (waitingFor_.isEmpty()) return;
    // Rounded up: the field reads "1 s left" in the last second, never "0 s left".
    secondsLeft_ = static_cast<int>((duration.count() + 999) / 1000);
    showSecondsLeft();
    countdown_.start();
}

void ServiceScreens::tmCountdownTimer() {
    if (secondsLeft_ > 1) --secondsLeft_;
    showSecondsLeft();
}

void ServiceScreens::showSecondsLeft() {
    context_.announce(QStringLiteral("%1: %2 s left").arg(waitingFor_).arg(secondsLeft_));
}

void ServiceScreens::pauseEnded() {
    if (!countdown_.isActive()) return;
    countdown_.stop();
    context_.clearEvent();
}

void ServiceScreens::hideFrontKeys() {
    context_.showFrontKeys(false);
}

void ServiceScreens::showFrontKeys() {
    context_.showFrontKeys(true);
    // Focus left on nothing, or on something gone from sight, comes back to the panel.
    const QWidget* focus = screen(ServiceScreen::Panel_calibrate)->window()->focusWidget();
    if ((!focus || !focus->isVisibleTo(focus->window())) && context_.focusPanel) {
        context_.focusPanel();
    }
}

void ServiceScreens::show(ServiceScreen s) {
    // The focus follows once the step is done (settleFocus): a question's first button, a
    // wait screen itself.
    screen(s)->show();
    settleSoon();
}

void ServiceScreens::hide(ServiceScreen s) {
    screen(s)->hide();
    settleSoon();
}

void ServiceScreens::factoryLines() {
    // Until the next status reply repaints the display.
    if (context_.bandLine)
        context_.bandLine->setText(QStringLiteral("Executed factory default data"));
    if (context_.headingLine) context_.headingLine->setText(QStringLiteral("have been recalled"));
    // The display keeps the lines only until the next reply; the Events field keeps them
    // for the operator who looked away.
    if (context_.announce)
        context_.announce(QStringLiteral("Executed factory default data have been recalled"));
}

}  // namespace kt6
