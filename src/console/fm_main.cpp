#include "console/fm_main.h"
#include "link/commands.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QVBoxLayout>
#include <cstdio>

#include "console/colours.h"
#include "console/dialogs.h"
#include "console/documents_location.h"
#include "console/panel/clickable_label.h"
#include "console/panel/key_button.h"
#include "console/panel/keyboard.h"
#include "console/panel/lamp.h"
#include "console/qt_event_pump.h"
#include "console/qt_scheduler.h"
#include "console/service/element_editor.h"
#include "console/service/service_screens.h"
#include "console/setup_panel.h"
#include "console/status/status_bar.h"
#include "console/whole_number.h"
#include "console/window_place.h"
#include "link/serial_network.h"
#include "memory/profile_file.h"
#include "radio/hamlib_rig_server.h"

namespace kt6 {

namespace {

constexpr const char* kTitle = "SkarNel KT-6";
constexpr const char* kWebSite = "https://www.skarnel.example/";
constexpr int kTries = 4;
constexpr int kKeyTimeoutMs = 100;
// A status request answers within this on a controller that is there (19200 bit/s, ~40 bytes).
constexpr int kFirstReplyLookMs = 150;

std::unique_ptr<SerialBackend> backendFrom(const ConsoleOptions& options,
                                           std::function<void()> keepAlive) {
    if (options.makeSerialBackend) return options.makeSerialBackend();
    NetworkOptions network;
    network.keepAlive = std::move(keepAlive);
    return makeSerialBackend(std::move(network));
}

// The device the settings map COMn to, if any.
std::optional<std::string> comMapEntry(const ProfileFile& settings, int n) {
    std::string device = settings.readString("Ports", "COM" + std::to_string(n), "");
    if (device.empty()) return std::nullopt;
    return device;
}

}  // namespace

FmMain::FmMain(ConsoleOptions options, QWidget* parent)
    : QMainWindow(parent),
      options_(std::move(options)),
      dialogs_(options_.dialogs ? options_.dialogs : std::make_shared<Dialogs>()),
      // Connecting to a network port takes up to seconds; the window repaints meanwhile.
      port_(backendFrom(options_,
                        [this] {
                            if (pump_) pump_->processEvents();
                        }),
            comPortResolver([this](int n) { return mappedDevice(n); })),
      pump_(std::make_unique<QtEventPump>(port_)),
      link_(port_, *pump_),
      poll_(link_, *this),
      scheduler_(options_.scheduler ? options_.scheduler : std::make_shared<QtScheduler>(this)),
      session_(
          port_, link_, [this](int n) { return mappedDevice(n); }, *this) {
    setObjectName("fmMain");
    setWindowTitle(QString::fromLatin1(kTitle));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    // The layout was drawn for these faces; their metric twins keep captions inside their boxes.
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont face(QStringLiteral("MS Sans Serif"));
    face.setPixelSize(11);
    setFont(face);
    setBackground(this, NamedColour::clBtnFace);

    buildMenus();
    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setFixedSize(623, 330);
    setCentralWidget(client);
    buildTopStrip(client);
    buildSetupPanel(client);
    buildFrontPanel(client);
    buildServiceStrip(client);
    wireFunctions();
    statusBar_ = new ConsoleStatusBar(this);
    setStatusBar(statusBar_);
    for (QWidget* line : {static_cast<QWidget*>(lFreq_), static_cast<QWidget*>(lBanda_),
                          static_cast<QWidget*>(Heading_)}) {
        dimmer_.add(line);
    }
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    FrontPanelControls front;
    front.keys = panelKeys_;
    // SpeedButton5..8 and 1..4 are the band keys from low to high.
    for (std::size_t i = 0; i < 8; ++i) front.bound[i] = frontKeys_[(i + 4) % 8];
    front.bound[8] = frontKeys_[9];    // SpeedButton10, frequency up
    front.bound[9] = frontKeys_[10];   // SpeedButton11, frequency down
    front.bound[10] = frontKeys_[11];  // SpeedButton12, display
    front.bound[11] = frontKeys_[12];  // Chiudi, power
    front.powerOn = BPower_ON_;
    front.bandLamp = BLED_ON1_;
    front.lamps = {ld180_, ldBidir_, ldMove_, ldTX_, ldRX_};
    front.frequency = lFreq_;
    bindFrontPanel(this, front, [this] {
        if (!pnDisplay_->isHidden()) lFreqClick();
    });
    refreshPortTips();
    // The technician's way to the service strip: Ctrl+Alt+S, or --service from the start.
    auto* service = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+S")), this);
    service->setObjectName("scService");
    connect(service, &QShortcut::activated, this,
            [this] { showServiceStrip(Panel2_->isHidden()); });
    if (options_.serviceStrip) showServiceStrip(true);

    link_.setObserver(this);
    auto makeRigServer = options_.makeRigServer;
    if (!makeRigServer) {
        makeRigServer = [this]() -> std::unique_ptr<RigServer> {
            return std::make_unique<HamlibRigServer>(
                HamlibServerOptions{options_.settingsPath, std::nullopt, this});
        };
    }
    rigs_ = std::make_unique<RigTracker>(
        link_, static_cast<RigView&>(*this), [this] { return poll_.ControllerOnline; },
        std::move(makeRigServer));

    tmTimer_.setObjectName("tmTimer");
    tmPoll_.setObjectName("tmPoll");
    connect(&tmTimer_, &QTimer::timeout, this, &FmMain::tmTimerTimer);
    connect(&tmPoll_, &QTimer::timeout, this, &FmMain::tmPollTimer);
    // A timer of its own, not the link timer: reopening a network port may take seconds,
    // and the link timer must go on ticking meanwhile.
    tmRetry_.setObjectName("tmRetry");
    tmRetry_.setInterval(PortSession::kRetryInterval);
    connect(&tmRetry_, &QTimer::timeout, this, &FmMain::tmRetryTimer);
    tmTimer_.start(kLinkTimerInterval);
    if (options_.runPollTimer) tmPoll_.start(kPollInterval);
}

FmMain::~FmMain() {
    // Destroyed without a close (tests, a failed start-up): what holds the link lets go of
    // it while the link is still there.
    if (setupPanel_) setupPanel_->abandonTransfer();
    if (services_) services_->stop();
    port_.setDeviceLostHandler(nullptr);
    rigs_.reset();
    link_.setObserver(nullptr);
}

// --- start-up, port selection, shut-down ---

void FmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (!centred_) {
        centred_ = true;
        QList<QRect> screens;
        for (QScreen* s : QGuiApplication::screens()) screens.push_back(s->availableGeometry());
        move(chooseWindowPlace(loadWindowPlace(ProfileFile(options_.settingsPath)),
                               frameGeometry().size(), screens));
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

    ProfileFile settings(options_.settingsPath);
    // Such a file reads as empty, so everything below takes its default.
    if (!settings.problem().empty()) reportUnusableSettings(settings);
    const std::string portText = settings.readString("General", "Serialport", "1");
    const std::string r1 = settings.readString("OmniRig", "Rig1", "1");
    const std::string r2 = settings.readString("OmniRig", "Rig2", "1");
    int n = 1;
    if (auto value = wholeNumber(portText)) {
        n = *value;
    } else {
        message(QStringLiteral("\"%1\" is not a valid serial port number in %2; COM1 is used.")
                    .arg(QString::fromStdString(portText),
                         QString::fromStdString(options_.settingsPath.string())));
    }

    SpeedButton14_->click();

    ckOmni1_->setChecked(settings.readInt("OmniRig", "Rig1", 0) != 0);
    ckOmni2_->setChecked(settings.readInt("OmniRig", "Rig2", 0) != 0);

    UncheckPortItems();
    if (n >= 1 && n <= kPortCount) portItems_[static_cast<std::size_t>(n - 1)]->setChecked(true);
    if (r1 == "1") {
        ckOmni1_->setChecked(true);
        ckOmni2_->setChecked(false);
    }
    if (r2 == "1") {
        ckOmni2_->setChecked(true);
        ckOmni1_->setChecked(false);
    }
    if (r1 == "0" && r2 == "0") NoRadio1_->setChecked(true);

    settingsLoaded_ = true;
    session_.stopRetrying();
    if (reopenPort(n)) lStatus_->setText(QStringLiteral("Stato: in connessione..."));
}

bool FmMain::reopenPort(int n) {
    const PortSession::Opened opened = session_.open(n);
    refreshPortTips();
    portReason_ = opened.ok
                      ? QString()
                      : QString::fromStdString(portErrorText(opened.cause, port_.DevicePath()));
    if (!opened.ok) std::fprintf(stderr, "link: COM%d %s\n", n, portReason_.toUtf8().constData());
    lPortError_->setText(portReason_);
    const QString device = QString::fromStdString(port_.DevicePath());
    forgetDisplay();
    if (opened.ok) {
        linkWatch_.portOpened(n, device);
    } else {
        linkWatch_.portClosed(n, device, opened.cause);
        QString why = shortPortReason(opened.cause, device);
        if (why.startsWith(device + QStringLiteral(": "))) why = why.mid(device.size() + 2);
        announce(QStringLiteral("Port COM%1: %2").arg(n).arg(why));
    }
    refreshStatusBar();
    return opened.ok;
}

void FmMain::SelectPort(int n) {
    // The operator's choice ends any retrying of a lost port, whichever port it names.
    session_.stopRetrying();
    if (reopenPort(n)) {
        lStatus_->setText(QStringLiteral("Stato: in connessione..."));
        UncheckPortItems();
        SpeedButton14_->click();
        portItems_[static_cast<std::size_t>(n - 1)]->setChecked(true);
        COM_VERIFY_->hide();
        Panel_Chiuso_->hide();
        return;
    }
    session_.forgetPortNumber();
    lStatus_->setText(QStringLiteral("Stato: non connesso (porta chiusa)."));
    lStatus_->setToolTip(portReason_);
    setLinkButtonsEnabled(false);
    pnDisplay_->hide();
    if (n != 1) {
        Panel_Chiuso_->show();
        COM_VERIFY_->show();
    }
    UncheckPortItems();
    portItems_[static_cast<std::size_t>(n - 1)]->setChecked(true);
}

void FmMain::portClosed() {
    poll_.portChanged();
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
    lStatus_->setText(QStringLiteral("Stato: in connessione..."));
    linkWatch_.portBack();
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
    if (settingsLoaded_) saveSettings();
    // A close can come from inside a waiting exchange (a signal, the close box): end that
    // exchange now and start no other (the rest of a band key, deferred rig reports). The
    // link timer keeps running, it is what lets the wait see the end.
    link_.shutDown();
    if (services_) services_->stop();
    tmPoll_.stop();
    tmRetry_.stop();
    event->accept();
}

void FmMain::reportUnusableSettings(const ProfileFile& settings) {
    if (settingsProblemReported_) return;
    settingsProblemReported_ = true;
    const QString text =
        QStringLiteral(
            "The settings file %1 %2. The console runs on its defaults and does not "
            "change the file.")
            .arg(QString::fromStdString(settings.path().string()),
                 QString::fromStdString(settings.problem()));
    std::fprintf(stderr, "settings: %s\n", text.toUtf8().constData());
    message(text);
}

void FmMain::saveSettings() {
    ProfileFile settings(options_.settingsPath);
    if (!settings.problem().empty()) {
        reportUnusableSettings(settings);
        return;
    }
    if (poll_.ControllerOnline) {
        settings.writeString("General", "Serialport", std::to_string(PortNumber()));
    }
    settings.writeString("OmniRig", "Rig1", ckOmni1_->isChecked() ? "1" : "0");
    settings.writeString("OmniRig", "Rig2", ckOmni2_->isChecked() ? "1" : "0");
    if (centred_) saveWindowPlace(settings, pos());
    std::string error;
    if (!settings.flush(&error)) {
        std::fprintf(stderr, "settings: not saved: %s\n", error.c_str());
        message(QStringLiteral("The settings could not be saved: %1")
                    .arg(QString::fromStdString(error)));
    }
}

std::optional<std::string> FmMain::mappedDevice(int n) const {
    return comMapEntry(ProfileFile(options_.settingsPath), n);
}

void FmMain::refreshPortTips() {
    ProfileFile settings(options_.settingsPath);
    for (int n = 1; n <= kPortCount; ++n) {
        const std::string device = comMapEntry(settings, n).value_or(defaultComDevice(n));
        portItems_[static_cast<std::size_t>(n - 1)]->setStatusTip(QString::fromStdString(device));
        portItems_[static_cast<std::size_t>(n - 1)]->setToolTip(QString::fromStdString(device));
    }
}

// --- shared operations ---

void FmMain::UncheckPortItems() {
    for (QAction* item : portItems_) item->setChecked(false);
}

void FmMain::HideFrontKeys() {
    for (KeyButton* key : frontKeys_) key->setVisible(false);
}

void FmMain::ShowFrontKeys() {
    for (KeyButton* key : frontKeys_) key->setVisible(true);
}

void FmMain::EnableLengthSteppers() {
    editor_->EnableLengthSteppers();
}

// --- keys ---

std::uint8_t FmMain::SendKey(std::uint8_t code, bool flag) {
    link_.ExchangeEnabled = true;
    return link_.SendCommand(kt6::code(CommandCode::Key), {code}, flag, kTries, kKeyTimeoutMs);
}

void FmMain::SpeedButton1Click() {
    auto* key = qobject_cast<KeyButton*>(sender());
    if (!key) return;
    const int code = key->tag();
    SendKey(static_cast<std::uint8_t>(code));
    if (code >= keys::k6m && code <= keys::k40m) {
        moveBandLamp(key);
        SpeedButton14_->click();
        showBandLamp();
    }
}

void FmMain::moveBandLamp(const KeyButton* key) {
    BLED_ON1_->move(key->pos());
}

void FmMain::showBandLamp() {
    BLED_ON1_->show();
    BLED_ON1_->raise();
}

KeyButton* FmMain::keyWithCode(int code) const {
    for (KeyButton* key : frontKeys_) {
        if (key->tag() == code) return key;
    }
    return nullptr;
}

void FmMain::lFreqClick() {
    const auto text =
        dialogs_->input(this, QStringLiteral("Skarnel"), QStringLiteral("Nuova frequenza in Khz"),
                        QStringLiteral("7000"));
    if (!text) return;
    const auto value = wholeNumber(text->trimmed().toStdString());
    if (!value || *value < 0 || *value > 65535) {
        message(QStringLiteral("\"%1\" is not a frequency in kHz from 0 to 65535.").arg(*text));
        return;
    }
    link_.ExchangeEnabled = true;
    link_.SendCommand(
        code(CommandCode::SetFrequency),
        {static_cast<std::uint8_t>(*value & 0xFF), static_cast<std::uint8_t>((*value >> 8) & 0xFF)},
        true, kTries, kKeyTimeoutMs);
}

void FmMain::btRetractClick() {
    link_.ExchangeEnabled = true;
    link_.SendCommand(code(CommandCode::Retract), {}, true, kTries, kKeyTimeoutMs);
}

void FmMain::btImpostaClick() {
    setupPanel_->btImpostaClick();
}

void FmMain::setPollRunning(bool running) {
    pollRunning_ = running;
    // A transfer that ends while the window closes must not start the poll again.
    if (!options_.runPollTimer || link_.isShutDown()) return;
    if (running) {
        tmPoll_.start(kPollInterval);
    } else {
        tmPoll_.stop();
    }
}

void FmMain::ckSK2200Click() {
    cbSlave_->setEnabled(ckSK2200_->isChecked());
}

void FmMain::lProgressFGClick() {
    link_.ExchangeEnabled = true;
    if (link_.SendCommand(code(CommandCode::Progress), {}, true, kTries, kKeyTimeoutMs) != 0)
        return;
    const Bytes& rx = link_.RxPayload();
    // Two words and the checksum byte; a shorter reply changes nothing.
    if (rx.size() < 5) return;
    const int first = rx[0] | rx[1] << 8;
    const int second = rx[2] | rx[3] << 8;
    const int width = first == 0 ? 0 : lProgressBG_->width() * second / 60;
    lProgressFG_->resize(width, lProgressFG_->height());
}

// --- timers ---

void FmMain::tmTimerTimer() {
    link_.LinkTimerTick();
}

void FmMain::tmPollTimer() {
    poll_.tick();
    // While a sequence holds the poll back, no request of ours is out: a tick without a
    // reply says nothing of the controller.
    if (!services_ || !services_->running()) linkWatch_.tickEnded();
    refreshStatusBar();
}

void FmMain::onlineChanged(bool online) {
    // A line per change of the link, for stations that run the console from a terminal.
    const QByteArray state =
        online ? "online, " + lStatus_->text().toUtf8() : QByteArray("offline");
    std::fprintf(stderr, "link: COM%d %s\n", PortNumber(), state.constData());
}

void FmMain::txLamp(NamedColour c) {
    ldTX_->setColour(c);
}

void FmMain::rxLamp(NamedColour c) {
    ldRX_->setColour(c);
}

void FmMain::blinkStep() {
    btAggiorna_->setEnabled(true);
    const bool grey = textColourOf(lMove_) == toQColor(NamedColour::clGray);
    const BlinkPaint paint =
        blinkPaint(poll_.ElementsMoving, grey ? NamedColour::clGray : NamedColour::clRed);
    setTextColour(lMove_, paint.lMoveText);
    ldMove_->setColour(paint.ldMove);
    if (paint.hideBandLamp) BLED_ON1_->hide();
    moving_->setVisible(paint.showMoving);
}

void FmMain::logLine(std::string_view text) {
    mmLog_->appendPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void FmMain::linkWarning(std::string_view text) {
    qWarning("link: %.*s", static_cast<int>(text.size()), text.data());
}

void FmMain::commandAnswered(std::uint8_t code, const Bytes& sent, std::uint8_t status) {
    if (status != 0) announce(refusalText(code, sent, status));
}

// --- status bar ---

void FmMain::announce(const QString& text) {
    statusBar_->announce(text);
}

bool FmMain::sequenceRunning() const {
    return services_ && services_->running();
}

void FmMain::clearEvent() {
    statusBar_->clearEvent();
}

void FmMain::refreshStatusBar() {
    statusBar_->setLink(linkWatch_.text(), linkWatch_.tip());
    // Dimmed only once something was shown: the empty display has nothing to grey.
    dimmer_.setDimmed(linkWatch_.answered() && linkWatch_.stale());
    RadioFacts radio;
    radio.rig = ckOmni1_->isChecked() ? 1 : ckOmni2_->isChecked() ? 2 : 0;
    radio.clientFailed = rigs_->clientCreated() && !rigs_->following();
    radio.clientError = QString::fromStdString(rigs_->connectError());
    if (RigServer* server = rigs_->RigClient(); server && rigs_->following() && radio.rig) {
        radio.clientOpen = true;
        try {
            radio.status = server->status(radio.rig);
            radio.hz = server->rxFrequency(radio.rig);
            radio.reason = QString::fromStdString(server->reason(radio.rig));
            radio.connecting = server->connecting(radio.rig);
        } catch (const std::exception& e) {
            radio.status = RigStatus::NotResponding;
            radio.reason = QString::fromUtf8(e.what());
        }
    }
    statusBar_->setRadio(radioFieldText(radio),
                         QStringLiteral("The radio the antenna follows: choose it in Cat Radio, "
                                        "set it up in Cat Radio > Config Radio."));
}

void FmMain::forgetDisplay() {
    dimmer_.setDimmed(false);
    for (QLabel* line : {static_cast<QLabel*>(lFreq_), lBanda_, Heading_}) line->clear();
    BLED_ON1_->hide();
}

// --- poll painting ---

void FmMain::showDisplay() {
    Panel_Elem_Retract_->hide();
    pnDisplay_->show();
}

void FmMain::showRetracted() {
    // A frequency of 0 before any reply on this port is not the controller's word: the empty
    // display says nothing is known yet.
    if (!linkWatch_.answered()) {
        Panel_Elem_Retract_->hide();
        pnDisplay_->show();
        BLED_ON1_->hide();
        return;
    }
    pnDisplay_->hide();
    Panel_Elem_Retract_->show();
    BLED_ON1_->hide();
}

void FmMain::placeBandLamp(int keyCode) {
    if (!linkWatch_.answered()) return;
    KeyButton* key = keyWithCode(keyCode);
    if (!key) return;
    moveBandLamp(key);
    showBandLamp();
}

void FmMain::rigPollStep() {
    // Inside a waiting exchange the step could open the rig client, whose error box would
    // take user input in the middle of the exchange: it runs once the exchange is over.
    if (link_.busy()) {
        if (!rigStepDeferred_) {
            rigStepDeferred_ = true;
            link_.whenIdle([this] {
                rigStepDeferred_ = false;
                rigs_->RigPollStep();
            });
        }
        return;
    }
    rigs_->RigPollStep();
}

// --- rig painting ---

QCheckBox* FmMain::rigBox(int rigNumber) const {
    return rigNumber == 1 ? ckOmni1_ : rigNumber == 2 ? ckOmni2_ : nullptr;
}

bool FmMain::isTicked(int rigNumber) const {
    QCheckBox* box = rigBox(rigNumber);
    return box && box->isChecked();
}

void FmMain::setTicked(int rigNumber, bool ticked) {
    if (QCheckBox* box = rigBox(rigNumber)) box->setChecked(ticked);
}

void FmMain::setLamp(int rigNumber, NamedColour colour) {
    if (QCheckBox* box = rigBox(rigNumber)) setBackground(box, colour);
}

void FmMain::setMenuCheck(RigMenuItem item, bool checked) {
    switch (item) {
        case RigMenuItem::Radio1:
            Radio1_->setChecked(checked);
            break;
        case RigMenuItem::Radio21:
            Radio21_->setChecked(checked);
            break;
        case RigMenuItem::NoRadio1:
            NoRadio1_->setChecked(checked);
            break;
    }
}

void FmMain::showError(const std::string& text, const std::string& title) {
    // From the event loop and with the link free: raised inside a poll tick (or inside the
    // event pumping of its request), the box's own loop would hold that tick open and the
    // poll timer with it.
    QTimer::singleShot(
        0, this,
        [this, text = QString::fromStdString(text), title = QString::fromStdString(title)] {
            link_.whenIdle([this, text, title] { message(text, title); });
        });
}

void FmMain::setLinkButtonsEnabled(bool enabled) {
    for (QPushButton* b : {btRicevi_, btInvia_, btImposta_, btRetract_}) b->setEnabled(enabled);
}

void FmMain::setStatusLine(const std::string& text) {
    lStatus_->setText(QString::fromStdString(text));
}

void FmMain::showRecord(const StatusRecord& r) {
    linkWatch_.replied(r);
    dimmer_.setDimmed(false);
    lStatus_->setText(QString::fromStdString(statusLine(r)));
    lSituaz_->setText(QString::fromStdString(screenLine(r.screen)));
    const QString separator = QLocale().decimalPoint();
    const char sep = separator.size() == 1 && separator[0].unicode() < 128
                         ? static_cast<char>(separator[0].unicode())
                         : '.';
    lFreq_->setText(QString::fromStdString(frequencyLine(r.frequency, sep)));
    lBanda_->setText(QString::fromStdString(bandLine(r.band, r.flags)));
    if (auto h = headingPaint(r.heading)) {
        setTextColour(lBidir_, h->lBidirText);
        ldBidir_->setColour(h->ldBidir);
        setTextColour(l180_, h->l180Text);
        ld180_->setColour(h->ld180);
        Heading_->setText(
            QString::fromUtf8(h->line.data(), static_cast<qsizetype>(h->line.size())));
    }
    if (r.flags & StatusRecord::kDisplayOff) {
        setBackground(pnDisplay_, NamedColour::clBlack);
        BPower_ON_->hide();
        setTextColour(lFreq_, NamedColour::clBlack);
        setTextColour(lBanda_, NamedColour::clBlack);
    } else {
        setBackground(pnDisplay_, NamedColour::clMoneyGreen);
        BPower_ON_->show();
        setTextColour(lFreq_, NamedColour::clBlack);
        setTextColour(lBanda_, NamedColour::clBlack);
        setTextColour(Heading_, NamedColour::clBlack);
    }
}

// --- help ---

void FmMain::openManual(const char* fileName) {
    const std::vector<std::filesystem::path> folders{options_.documentsDir,
                                                     options_.installedDocumentsDir};
    const auto found = findDocument(folders, fileName);
    if (!found) {
        QStringList looked;
        for (const auto& folder : folders)
            if (!folder.empty()) looked << QString::fromStdString(folder.string());
        message(QStringLiteral("The manual %1 is missing (looked in %2).")
                    .arg(QString::fromLatin1(fileName), looked.join(QStringLiteral(", "))));
        return;
    }
    const auto& path = *found;
    if (!dialogs_->open(QUrl::fromLocalFile(QString::fromStdString(path.string())))) {
        message(
            QStringLiteral("No program could open %1.").arg(QString::fromStdString(path.string())));
    }
}

void FmMain::ita2Click() {
    openManual(kItalianManual);
}

void FmMain::eng1Click() {
    openManual(kEnglishManual);
}

void FmMain::Website2Click() {
    if (!dialogs_->open(QUrl(QString::fromLatin1(kWebSite)))) {
        message(QStringLiteral("No program could open %1.").arg(QString::fromLatin1(kWebSite)));
    }
}

void FmMain::message(const QString& text, const QString& title) {
    dialogs_->message(this, title, text);
}

}  // namespace kt6
