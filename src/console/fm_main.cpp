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
#include <cstdio>
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
#include "console/setup_panel.h"
#include "console/station/station_host.h"
#include "console/status/radio_panel.h"
#include "console/status/status_bar.h"
#include "link/commands.h"
#include "link/serial_network.h"
#include "radio/hamlib_rig_server.h"

namespace kt6 {

namespace {

// A status request answers within this on a controller that is there (19200 bit/s, ~40 bytes).
constexpr int kFirstReplyLookMs = 150;

std::unique_ptr<SerialBackend> backendFrom(const ConsoleOptions& options,
                                           std::function<bool()> cancelled = {}) {
    if (options.makeSerialBackend) return options.makeSerialBackend();
    return makeSerialBackend(NetworkOptions{std::move(cancelled)});
}

}  // namespace

FmMain::FmMain(ConsoleOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      dialogs_(options_.dialogs ? options_.dialogs : std::make_shared<Dialogs>()),
      port_(backendFrom(options_),
            comPortResolver([this](int n) { return mappedComDevice(options_.settingsPath, n); })),
      link_(port_),
      // Motion is known only from a live reply: a controller that went silent or a device
      // that is gone may have stopped long ago, so nothing blinks until a reply says moving.
      panel_(PanelViewContext{
          linkWatch_, dimmer_, [this] { return poll_.ElementsMoving && !linkWatch_.stale(); },
          [this] { rigs_->RigPollStep(); }, [this](const QString& text) { announce(text); },
          [this] { return PortNumber(); }}),
      poll_(link_, panel_),
      scheduler_(options_.scheduler ? options_.scheduler : std::make_shared<QtScheduler>(this)),
      // A network port opens on a backend of its own, away from the window's thread.
      session_(
          port_, link_, *this,
          [this](std::function<bool()> cancelled) {
              return backendFrom(options_, std::move(cancelled));
          },
          scheduler_.get()),
      settings_(options_.settingsPath, [this](const QString& text) { message(text); }),
      help_(std::make_unique<HelpPages>(
          std::vector<std::filesystem::path>{options_.documentsDir, options_.installedDocumentsDir},
          *dialogs_, [this](const QString& text) { message(text); })) {
    buildWindow();
    choice_ = std::make_unique<PortChoice>(PortChoiceContext{
        session_, port_, linkWatch_, *ports_, panel_, ui_.lStatus, ui_.lPortError, ui_.COM_VERIFY,
        ui_.Panel_Chiuso, ui_.pnDisplay, ui_.SpeedButton14,
        [this](const QString& text) { announce(text); }, [this] { refreshStatusBar(); }});
    link_.setObserver(&panel_);
    auto makeRigServer = options_.makeRigServer;
    if (!makeRigServer) {
        makeRigServer = [this]() -> std::unique_ptr<RigServer> {
            return std::make_unique<HamlibRigServer>(
                HamlibServerOptions{options_.settingsPath, std::nullopt, this});
        };
    }
    rigs_ = std::make_unique<RigTracker>(
        link_, static_cast<RigView&>(*radio_), [this] { return poll_.ControllerOnline; },
        std::move(makeRigServer));

    driver_ = new LinkDriver(link_, port_, this);
    tmTimer_.setObjectName("tmTimer");
    tmPoll_.setObjectName("tmPoll");
    connect(&tmTimer_, &QTimer::timeout, this, &FmMain::tmTimerTimer);
    connect(&tmPoll_, &QTimer::timeout, this, &FmMain::tmPollTimer);
    // A timer of its own, not the link timer: it runs only while a port is lost.
    tmRetry_.setObjectName("tmRetry");
    tmRetry_.setInterval(PortSession::kRetryInterval);
    connect(&tmRetry_, &QTimer::timeout, this, &FmMain::tmRetryTimer);
    tmTimer_.start(kLinkTimerInterval);
    if (options_.runPollTimer) tmPoll_.start(kPollInterval);
    station_ = std::make_unique<StationHost>(StationHostContext{
        InterfaceStationContext{
            poll_, linkWatch_, *statusBar_, *services_, *setupPanel_, [this] { return portLost(); },
            [this](std::uint8_t code, Link::Completion done) { pressKey(code, std::move(done)); },
            [this](std::uint32_t khz, Link::Completion done) {
                sendFrequency(khz, std::move(done));
            },
            [this] { return pollRunning_; },
            [this] { return editor_ && editor_->panel() && !editor_->panel()->isHidden(); }},
        options_.settingsPath, options_.makeLineControl, options_.makeHookLauncher,
        [this] { return port_.IsOpen(); }, [this] { return sequenceRunning() || !pollRunning_; },
        [this](const QString& text) { announce(text); }});
    link_.setPollReplyListener([this](const Bytes& reply) {
        poll_.replyArrived(reply);
        // Watchers, the line and the hook hear of it now, not at the next paint.
        station_->changed();
    });
}

FmMain::~FmMain() {
    station_->close();
    // Destroyed without a close (tests, a failed start-up): what holds the link lets go of
    // it while the link is still there.
    if (setupPanel_) setupPanel_->abandonTransfer();
    if (services_) services_->stop();
    // Every command still waiting ends now, while what its completion reaches is still there.
    link_.shutDown();
    port_.setDeviceLostHandler(nullptr);
    rigs_.reset();
    link_.setObserver(nullptr);
    link_.setPollReplyListener(nullptr);
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
    ui_.SpeedButton14->click();
    ui_.ckOmni1->setChecked(start.rig1);
    ui_.ckOmni2->setChecked(start.rig2);
    UncheckPortItems();
    if (start.port >= 1 && start.port <= kComPortCount) ports_->check(start.port);
    if (start.noRadio) ui_.NoRadio1->setChecked(true);
    setupPanel_->transfer().setAdaptiveWrite(start.adaptiveWrite);
    settingsLoaded_ = true;
    if (const QString why = station_->start(options_.serveInterface); !why.isEmpty()) {
        std::fprintf(stderr, "interface: not started: %s\n", why.toUtf8().constData());
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

void FmMain::deviceLost() {
    poll_.deviceLost();
    linkWatch_.portLost(PortNumber(), QString::fromStdString(port_.DevicePath()));
    refreshStatusBar();
    std::fprintf(stderr, "link: COM%d %s: device lost, retrying every %lld s\n", PortNumber(),
                 port_.DevicePath().c_str(),
                 static_cast<long long>(PortSession::kRetryInterval.count() / 1000));
}

void FmMain::runRetryTimer(bool running) {
    if (running) {
        tmRetry_.start();
    } else {
        tmRetry_.stop();
    }
}

void FmMain::tmRetryTimer() {
    session_.retryTick();
}

void FmMain::deviceBack() {
    ui_.lStatus->setText(QStringLiteral("Stato: in connessione..."));
    linkWatch_.portBack();
    choice_->deviceBack();
    refreshStatusBar();
    std::fprintf(stderr, "link: COM%d %s: device back\n", PortNumber(), port_.DevicePath().c_str());
    // Under the setup panel or a transfer the poll stays stopped: the port is back quietly, and
    // the poll's restart at their end looks at the link.
    if (!options_.runPollTimer || !pollRunning_) return;
    // Ask for the status now rather than at the next tick, and look for the answer once it has
    // had time to arrive rather than a whole poll period later: the link is back ~650 ms sooner.
    tmPoll_.start();
    QTimer::singleShot(0, this, &FmMain::tmPollTimer);
    QTimer::singleShot(kFirstReplyLookMs, this, [this] {
        if (!link_.isShutDown() && tmPoll_.isActive()) tmPollTimer();
    });
}

void FmMain::closeEvent(QCloseEvent* event) {
    // A close before the start-up sequence loaded the settings would overwrite them with the
    // window's blank state.
    if (settingsLoaded_) {
        settings_.save({poll_.ControllerOnline ? std::optional<int>(PortNumber()) : std::nullopt,
                        ui_.ckOmni1->isChecked(), ui_.ckOmni2->isChecked(),
                        centred_ ? std::optional<QPoint>(pos()) : std::nullopt});
    }
    station_->close();
    // Nothing more goes out: what waits on the link ends unsent.
    link_.shutDown();
    if (services_) services_->stop();
    tmPoll_.stop();
    tmRetry_.stop();
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
    pollRunning_ = running;
    // A transfer's held poll leaves motion unknown to the station's outputs.
    if (station_) station_->changed();
    // A transfer that ends while the window closes must not start the poll again.
    if (!options_.runPollTimer || link_.isShutDown()) return;
    if (running) {
        tmPoll_.start(kPollInterval);
    } else {
        tmPoll_.stop();
    }
}

void FmMain::ckSK2200Click() {
    ui_.cbSlave->setEnabled(ui_.ckSK2200->isChecked());
}

// --- timers and the status bar ---

void FmMain::serviceLink() {
    link_.serviceInput();
}

void FmMain::tmTimerTimer() {
    // An open's outcome first, so the link's tick already watches the port it brought.
    session_.tick();
    driver_->tick();
}

void FmMain::tmPollTimer() {
    poll_.tick();
    // While a sequence holds the poll back, no request of ours is out: a tick without a
    // reply says nothing of the controller.
    if (!services_ || !services_->running()) linkWatch_.tickEnded();
    refreshStatusBar();
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
    // Motion just became unknown: the blink stops now rather than at its next step.
    if (poll_.ElementsMoving && linkWatch_.stale()) panel_.blinkStep();
    statusBar_->setLink(linkWatch_.text(), linkWatch_.tip());
    // Dimmed only once something was shown: the empty display has nothing to grey.
    dimmer_.setDimmed(linkWatch_.answered() && linkWatch_.stale());
    statusBar_->setRadio(radioFieldText(radio_->facts(*rigs_)),
                         QStringLiteral("The radio the antenna follows: choose it in Cat Radio, "
                                        "set it up in Cat Radio > Config Radio."));
    if (station_) station_->changed();
}

void FmMain::message(const QString& text, const QString& title) {
    // Every box is on stderr too: for the technician, and for a close on a signal, where
    // nobody is there to press OK and the box would only keep the process alive.
    std::fprintf(stderr, "skarnel-kt6: %s\n", text.toLocal8Bit().constData());
    if (property(kClosingOnSignal).toBool()) return;
    dialogs_->message(this, title, text);
}

}  // namespace kt6
