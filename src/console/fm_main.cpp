#include "console/fm_main.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <utility>

#include "console/close_on_signal.h"
#include "console/dialogs.h"
#include "console/documents_location.h"
#include "console/help_pages.h"
#include "console/link_driver.h"
#include "console/panel/key_button.h"
#include "console/ports/port_choice.h"
#include "console/ports/port_menu.h"
#include "console/qt_scheduler.h"
#include "console/service/element_editor.h"
#include "console/service/service_screens.h"
#include "console/setup/setup_panel.h"
#include "console/station/interface_station.h"
#include "console/station/station_host.h"
#include "console/status/link_status.h"
#include "console/status/radio_panel.h"
#include "console/status/status_bar.h"
#include "core/port_settings.h"
#include "link/commands.h"
#include "link/serial_network.h"
#include "logging/log.h"
#include "radio/window_rig_server.h"

namespace kt6 {

namespace {

ConsoleControllerOptions controllerOptions(const ConsoleOptions& options, Scheduler* scheduler) {
    ConsoleControllerOptions c;
    auto make = options.makeSerialBackend;
    c.makeBackend = [make](std::function<bool()> cancelled) -> std::unique_ptr<SerialBackend> {
        if (make) return make();
        return makeSerialBackend(NetworkOptions{std::move(cancelled)});
    };
    const std::filesystem::path settings = options.settingsPath;
    c.resolvePort = comPortResolver([settings](int n) { return mappedComDevice(settings, n); });
    c.scheduler = scheduler;
    c.makeTimer = makeQtTimer;
    c.runPollTimer = options.runPollTimer;
    return c;
}

}  // namespace

FmMain::FmMain(ConsoleOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      dialogs_(options_.dialogs ? options_.dialogs : std::make_shared<Dialogs>()),
      scheduler_(options_.scheduler ? options_.scheduler : std::make_shared<QtScheduler>(this)),
      controller_(controllerOptions(options_, scheduler_.get()), *this),
      // Motion is known only from a live reply: a controller that went silent or a device
      // that is gone may have stopped long ago, so nothing blinks until a reply says moving.
      panel_(PanelViewContext{
          controller_.linkState(), dimmer_, [this] { return controller_.elementsMovingNow(); },
          [this](const QString& text) { announce(text); }, [this] { return PortNumber(); }}),
      settings_(options_.settingsPath, [this](const QString& text) { message(text); }),
      help_(std::make_unique<HelpPages>(
          std::vector<std::filesystem::path>{options_.documentsDir, options_.installedDocumentsDir},
          *dialogs_, [this](const QString& text) { message(text); })) {
    buildWindow();
    choice_ = std::make_unique<PortChoice>(PortChoiceContext{
        controller_, *ports_, panel_, ui_.lStatus, ui_.lPortError, ui_.COM_VERIFY, ui_.Panel_Chiuso,
        ui_.pnDisplay, [this](const QString& text) { announce(text); },
        [this] { refreshStatusBar(); }});
    controller_.setViews(&panel_, &panel_);
    auto makeRigServer = options_.makeRigServer;
    if (!makeRigServer) {
        makeRigServer = [this]() -> std::unique_ptr<RigServer> {
            return std::make_unique<WindowRigServer>(
                HamlibServerOptions{options_.settingsPath, std::nullopt, this});
        };
    }
    controller_.trackRigs(static_cast<RigView&>(*radio_), std::move(makeRigServer));
    driver_ = new LinkDriver(link(), port(), this);
    controller_.setLinkTickListener([this] { driver_->tick(); });
    controller_.start();
    station_ = std::make_unique<StationHost>(StationHostContext{
        controller_,
        std::make_unique<InterfaceStation>(InterfaceStationContext{
            controller_, *statusBar_, *services_,
            [this] { return editor_ && editor_->panel() && !editor_->panel()->isHidden(); }}),
        options_.settingsPath, options_.makeLineControl, options_.makeHookLauncher,
        [this] { return sequenceRunning() || !pollRunning(); },
        [this](const QString& text) { announce(text); }});
}

void FmMain::replyRead() {
    // Watchers, the line and the hook hear of it now, not at the next paint.
    if (station_) station_->changed();
}

void FmMain::logLink(const std::string& text, bool warning) {
    if (warning) {
        qCWarning(lcLink, "%s", text.c_str());
    } else {
        qCInfo(lcLink, "%s", text.c_str());
    }
}

FmMain::~FmMain() {
    station_->close();
    // Destroyed without a close (tests, a failed start-up): what holds the link lets go of
    // it while the link is still there.
    controller_.transfers().abandon();
    if (services_) services_->stop();
    // Every command still waiting ends now, while what its completion reaches is still there.
    controller_.shutDown();
}

// --- start-up, port selection, shut-down ---

void FmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        QList<QRect> screens;
        for (QScreen* s : QGuiApplication::screens()) screens.push_back(s->availableGeometry());
        move(settings_.place(frameGeometry().size(), screens));
    }
    // Without a window manager the window may never be activated; showing it counts.
    if (!started_) QTimer::singleShot(0, this, &FmMain::FormActivate);
}

void FmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) FormActivate();
}

void FmMain::FormActivate() {
    if (started_) return;
    started_ = true;
    const StartSettings start = settings_.load();
    ui_.ckOmni1->setChecked(start.rig1);
    ui_.ckOmni2->setChecked(start.rig2);
    UncheckPortItems();
    if (start.port >= 1 && start.port <= kComPortCount) ports_->check(start.port);
    if (start.noRadio) ui_.NoRadio1->setChecked(true);
    controller_.transfers().transfer().setAdaptiveWrite(start.adaptiveWrite);
    settingsLoaded_ = true;
    if (const QString why = station_->start(options_.serveInterface); !why.isEmpty()) {
        qCWarning(lcApi, "not started: %s", qUtf8Printable(why));
        announce(QStringLiteral("Interface not started: %1").arg(why));
    }
    choice_->start(start.port);
}

void FmMain::SelectPort(int n) {
    choice_->select(n);
}

void FmMain::AssignPorts1Click() {
    ports_->AssignPorts1Click();
}

void FmMain::tmRetryTimer() {
    controller_.tickRetry();
}

void FmMain::deviceBack(bool startPort) {
    choice_->deviceBack(startPort);
}

void FmMain::closeEvent(QCloseEvent* event) {
    // A close before the start-up sequence loaded the settings would overwrite them with the
    // window's blank state.
    if (settingsLoaded_) {
        settings_.save({poll().ControllerOnline() ? std::optional<int>(PortNumber()) : std::nullopt,
                        ui_.ckOmni1->isChecked(), ui_.ckOmni2->isChecked(),
                        centred_ ? std::optional<QPoint>(pos()) : std::nullopt});
    }
    station_->close();
    // Nothing more goes out: what waits on the link ends unsent.
    controller_.link().shutDown();
    if (services_) services_->stop();
    controller_.shutDown();
    event->accept();
}

// --- shared operations ---

void FmMain::UncheckPortItems() {
    ports_->uncheckAll();
}

void FmMain::HideFrontKeys() {
    for (KeyButton* key : ui_.frontKeys) key->setVisible(false);
}

void FmMain::ShowFrontKeys() {
    for (KeyButton* key : ui_.frontKeys) key->setVisible(true);
}

void FmMain::EnableLengthSteppers() {
    editor_->EnableLengthSteppers();
}

void FmMain::btImpostaClick() {
    setupPanel_->btImpostaClick();
}

void FmMain::setPollRunning(bool running) {
    controller_.setPollRunning(running);
}

void FmMain::ckSK2200Click() {
    ui_.cbSlave->setEnabled(ui_.ckSK2200->isChecked());
}

// --- timers and the status bar ---

void FmMain::serviceLink() {
    link().serviceInput();
}

void FmMain::tmTimerTimer() {
    controller_.tickLink();
}

void FmMain::tmPollTimer() {
    controller_.tickPoll();
}

void FmMain::announce(const QString& text) {
    statusBar_->announce(text);
    if (station_) station_->changed();
}

bool FmMain::sequenceRunning() const {
    return services_ && services_->running();
}

void FmMain::clearEvent() {
    statusBar_->clearEvent();
    if (station_) station_->changed();
}

void FmMain::refreshStatusBar() {
    if (!statusBar_ || !radio_) return;
    const LinkState& link = controller_.linkState();
    // Motion just became unknown: the blink stops now rather than at its next step.
    if (poll().ElementsMoving() && link.stale()) panel_.blinkStep();
    statusBar_->setLink(QString::fromStdString(link.text()), QString::fromStdString(link.tip()));
    // Dimmed only once something was shown: the empty display has nothing to grey.
    dimmer_.setDimmed(link.answered() && link.stale());
    if (!controller_.rigs()) return;
    statusBar_->setRadio(radioFieldText(radioFacts(*controller_.rigs(), *radio_)),
                         QStringLiteral("The radio the antenna follows: choose it in Cat Radio, "
                                        "set it up in Cat Radio > Config Radio."));
    if (station_) station_->changed();
}

void FmMain::message(const QString& text, const QString& title) {
    // Every box is on stderr too: for the technician, and for a close on a signal, where
    // nobody is there to press OK and the box would only keep the process alive.
    qCWarning(lcConsole, "%s", qUtf8Printable(text));
    if (property(kClosingOnSignal).toBool()) return;
    dialogs_->message(this, title, text);
}

}  // namespace kt6
