// Builds the window's controls (geometry, stacking in creation order, captions, colours) and
// hands each screen the ones it paints.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>

#include "console/accessibility.h"
#include "console/colours.h"
#include "console/documents_location.h"
#include "console/fm_main.h"
#include "console/help_pages.h"
#include "console/panel/clickable_label.h"
#include "console/panel/key_button.h"
#include "console/panel/keyboard.h"
#include "console/panel/lamp.h"
#include "console/ports/port_menu.h"
#include "console/service/element_editor.h"
#include "console/service/service_screens.h"
#include "console/setup/setup_panel.h"
#include "console/station/station_host.h"
#include "console/station/station_outputs.h"
#include "console/status/radio_panel.h"
#include "console/status/status_bar.h"
#include "console/widget_factory.h"

namespace kt6 {

namespace {

constexpr const char* kTitle = "SkarNel KT-6";
constexpr QSize kClientSize{623, 330};
// Between the one-pixel top strip and the one-pixel service strip.
constexpr QRect kMainArea{0, 1, kClientSize.width(), kClientSize.height() - 2};

QFrame* panel(QWidget* parent, const char* name, QRect geometry, NamedColour colour) {
    auto* p = make<QFrame>(parent, name, geometry);
    p->setFrameShape(QFrame::NoFrame);
    setBackground(p, colour);
    return p;
}

QLabel* centredLabel(QWidget* parent, const char* name, QRect geometry, const QString& text,
                     const QFont& f, NamedColour colour) {
    auto* l = make<QLabel>(parent, name, geometry, text);
    l->setAlignment(Qt::AlignCenter);
    l->setFont(f);
    setTextColour(l, colour);
    return l;
}

QPixmap glyph(const char* resource) {
    return QPixmap(QString::fromLatin1(resource));
}

}  // namespace

void FmMain::buildWindow() {
    setObjectName("fmMain");
    installConsoleAccessibility();
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
    client->setFixedSize(kClientSize);
    setCentralWidget(client);
    buildTopStrip(client);
    buildSetupPanel(client);
    buildFrontPanel(client);
    buildServiceStrip(client);
    wireFunctions();
    statusBar_ = new ConsoleStatusBar(this);
    setStatusBar(statusBar_);
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    wireViews();
    // The technician's way to the service strip: Ctrl+Alt+S, or --service from the start.
    auto* service = new QShortcut(QKeySequence(QStringLiteral("Ctrl+Alt+S")), this);
    service->setObjectName("scService");
    connect(service, &QShortcut::activated, this,
            [this] { showServiceStrip(ui_.Panel2->isHidden()); });
    if (options_.serviceStrip) showServiceStrip(true);
}

void FmMain::buildMenus() {
    QMenuBar* bar = menuBar();
    // Each title and item has its mnemonic (Alt+letter, then the letter): the '&' only
    // underlines, the captions read as they always did.
    QMenu* ports = bar->addMenu(QStringLiteral("&Com port"));
    ports->setObjectName("Comport1");
    // There is no status bar: the device each item opens shows as its tool tip.
    ports->setToolTipsVisible(true);
    static constexpr const char* kPortNames[kComPortCount] = {
        "com1", "com2", "com3",  "com4",  "COM5",  "COM6", "COM7",
        "COM8", "COM9", "COM10", "COM11", "COM12", "COM13"};
    for (int i = 0; i < kComPortCount; ++i) {
        // COM1 to COM9 by their digit; the two-digit ports have no letter of their own.
        QAction* item = ports->addAction(i < 9 ? QStringLiteral("COM&%1").arg(i + 1)
                                               : QStringLiteral("COM%1").arg(i + 1));
        item->setObjectName(QString::fromLatin1(kPortNames[i]));
        item->setCheckable(true);
        ui_.portItems[static_cast<std::size_t>(i)] = item;
    }
    PortMenuContext context{ui_.portItems,
                            options_.settingsPath,
                            options_.serialByIdDir,
                            options_.devDir,
                            options_.makeSerialBackend,
                            controller_.port(),
                            controller_.link(),
                            [this] { return PortNumber(); },
                            [this](int n) { SelectPort(n); },
                            [this](const QString& text) { message(text); },
                            [this](const QString& text) { announce(text); },
                            this};
    ports_ = new PortMenu(std::move(context), this);
    void (PortMenu::*const kPortSlots[kComPortCount])() = {
        &PortMenu::com1Click, &PortMenu::com2Click,  &PortMenu::com3Click,  &PortMenu::com4Click,
        &PortMenu::COM5Click, &PortMenu::COM6Click,  &PortMenu::COM7Click,  &PortMenu::COM8Click,
        &PortMenu::COM9Click, &PortMenu::COM10Click, &PortMenu::COM11Click, &PortMenu::COM12Click,
        &PortMenu::COM13Click};
    for (int i = 0; i < kComPortCount; ++i) {
        connect(ui_.portItems[static_cast<std::size_t>(i)], &QAction::triggered, ports_,
                kPortSlots[i]);
    }
    ports->addSeparator();
    ports_->addStationItem(ports);
    connect(ports_, &PortMenu::stationRequested, this,
            [this] { station_->outputs().openDialog(this); });
    QAction* assign = ports->addAction(QStringLiteral("&Assign ports..."));
    assign->setObjectName("AssignPorts1");
    connect(assign, &QAction::triggered, this, &FmMain::AssignPorts1Click);

    ui_.Functions1 = bar->addMenu(QStringLiteral("&Functions"));
    ui_.Functions1->setObjectName("Functions1");
    const std::pair<const char*, const char*> kFunctions[] = {
        {"Calibrate1", "&Calibrate"},
        {"FactoryDefault1", "&Factory Default"},
        {"ModifyElemets1", "&Modify elemets"},
        {"Retract1", "&Retract"},
        {"estelements1", "&Test elements"}};
    for (std::size_t i = 0; i < ui_.functionItems.size(); ++i) {
        const auto& [name, caption] = kFunctions[i];
        ui_.functionItems[i] = ui_.Functions1->addAction(QString::fromLatin1(caption));
        ui_.functionItems[i]->setObjectName(QString::fromLatin1(name));
    }

    QMenu* radio = bar->addMenu(QStringLiteral("Cat &Radio"));
    radio->setObjectName("CatRadio1");
    QAction* config = radio->addAction(QStringLiteral("&Config Radio"));
    config->setObjectName("ConfigRadio1");
    ui_.Radio1 = radio->addAction(QStringLiteral("Radio &1"));
    ui_.Radio1->setObjectName("Radio1");
    ui_.Radio21 = radio->addAction(QStringLiteral("Radio &2"));
    ui_.Radio21->setObjectName("Radio21");
    ui_.NoRadio1 = radio->addAction(QStringLiteral("&No Radio"));
    ui_.NoRadio1->setObjectName("NoRadio1");
    for (QAction* a : {ui_.Radio1, ui_.Radio21, ui_.NoRadio1}) a->setCheckable(true);
    radio->addSeparator();
    QAction* pause = radio->addAction(QStringLiteral("&Pause following"));
    pause->setObjectName("PauseFollowing1");
    pause->setCheckable(true);
    pause->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+F")));
    connect(pause, &QAction::toggled, this, [this](bool paused) {
        controller_.rigs()->setFollowingPaused(paused);
        refreshStatusBar();
    });
    connect(config, &QAction::triggered, this, [this] { controller_.rigs()->ConfigRadio1Click(); });
    connect(ui_.Radio1, &QAction::triggered, this, [this] { controller_.rigs()->Radio1Click(); });
    connect(ui_.Radio21, &QAction::triggered, this, [this] { controller_.rigs()->Radio21Click(); });
    connect(ui_.NoRadio1, &QAction::triggered, this,
            [this] { controller_.rigs()->NoRadio1Click(); });

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName("Help1");
    QMenu* manual = help->addMenu(QStringLiteral("&Manual"));
    manual->setObjectName("Manual1");
    QAction* ita = manual->addAction(QStringLiteral("&ita"));
    ita->setObjectName("ita2");
    // The manuals and the web page are the help pages' own handlers.
    connect(ita, &QAction::triggered, this, [this] { help_->openManual(kItalianManual); });
    QAction* eng = manual->addAction(QStringLiteral("&eng"));
    eng->setObjectName("eng1");
    connect(eng, &QAction::triggered, this, [this] { help_->openManual(kEnglishManual); });
    QAction* web = help->addAction(QStringLiteral("&Web site"));
    web->setObjectName("Website2");
    connect(web, &QAction::triggered, this, [this] { help_->openWebSite(); });

    // F10 opens the first menu, as on the desktops operators come from.
    auto* f10 = new QShortcut(QKeySequence(Qt::Key_F10), this);
    f10->setObjectName("scMenuBar");
    connect(f10, &QShortcut::activated, bar,
            [bar, ports] { bar->setActiveAction(ports->menuAction()); });
}

void FmMain::buildTopStrip(QWidget* client) {
    // Its controls exist and are kept up to date for their state and handlers, but nobody sees
    // them: the strip is hidden, and assistive technology neither reads nor presses them.
    auto* strip = make<QFrame>(client, "Panel1", QRect(0, 0, kClientSize.width(), 1));
    ui_.lStatus =
        make<QLabel>(strip, "lStatus", QRect(8, 0, 220, 16), QStringLiteral("Stato: non connesso"));
    setTextColour(ui_.lStatus, NamedColour::clNavy);
    make<QLabel>(strip, "Label1", QRect(230, 0, 70, 16), QStringLiteral("Porta seriale:"));
    ui_.ldTX = make<Lamp>(strip, "ldTX", QRect(300, 0, 14, 14), NamedColour::clGreen);
    make<QLabel>(strip, "Label2", QRect(316, 0, 16, 16), QStringLiteral("Tx"));
    ui_.ldRX = make<Lamp>(strip, "ldRX", QRect(334, 0, 14, 14), NamedColour::clNavy);
    make<QLabel>(strip, "Label3", QRect(350, 0, 16, 16), QStringLiteral("Rx"));
    ui_.ckOmni1 = make<QCheckBox>(strip, "ckOmni1", QRect(370, 0, 120, 16),
                                  QStringLiteral("Omnirig: use rig #1"));
    ui_.ckOmni2 = make<QCheckBox>(strip, "ckOmni2", QRect(490, 0, 120, 16),
                                  QStringLiteral("Omnirig: use rig #2"));
    ui_.btSetOmni = make<QPushButton>(strip, "btSetOmni", QRect(610, 0, 90, 16),
                                      QStringLiteral("Setup Omnirig"));
    connect(ui_.btSetOmni, &QPushButton::clicked, this,
            [this] { controller_.rigs()->btSetOmniClick(); });
    // Out of sight, so out of the keyboard's reach too: Space must not toggle a rig unseen.
    for (QWidget* w : {static_cast<QWidget*>(ui_.ckOmni1), static_cast<QWidget*>(ui_.ckOmni2),
                       static_cast<QWidget*>(ui_.btSetOmni)}) {
        w->setFocusPolicy(Qt::NoFocus);
    }
    setBackground(ui_.ckOmni1, NamedColour::clBtnFace);
    setBackground(ui_.ckOmni2, NamedColour::clBtnFace);
    strip->hide();
    keepFromAssistiveTechnology(strip);
}

void FmMain::buildServiceStrip(QWidget* client) {
    ui_.Panel2 =
        make<QFrame>(client, "Panel2", QRect(0, kClientSize.height() - 1, kClientSize.width(), 1));
    auto* exit =
        make<QPushButton>(ui_.Panel2, "btExit", QRect(4, 4, 60, 25), QStringLiteral("&Uscita"));
    connect(exit, &QPushButton::clicked, this, &QWidget::close);
    ui_.btImposta = make<QPushButton>(ui_.Panel2, "btImposta", QRect(68, 4, 70, 25),
                                      QStringLiteral("Setup..."));
    ui_.btImposta->setEnabled(false);
    connect(ui_.btImposta, &QPushButton::clicked, this, &FmMain::btImpostaClick);
    ui_.btRetract = make<QPushButton>(ui_.Panel2, "btRetract", QRect(142, 4, 60, 25),
                                      QStringLiteral("Retract"));
    ui_.btRetract->setEnabled(false);
    connect(ui_.btRetract, &QPushButton::clicked, this, &FmMain::btRetractClick);
    ui_.cbSlave = make<QComboBox>(ui_.Panel2, "cbSlave", QRect(206, 6, 80, 21));
    ui_.cbSlave->addItems(
        {QStringLiteral("Master"), QStringLiteral("Slave 1"), QStringLiteral("Slave 2")});
    ui_.cbSlave->setCurrentIndex(0);
    ui_.cbSlave->setEnabled(false);
    ui_.cbSlave->setAccessibleName(QStringLiteral("Master / Slave"));
    ui_.ckSK2200 = make<QCheckBox>(ui_.Panel2, "ckSK2200", QRect(292, 8, 95, 17),
                                   QStringLiteral("Skarnel 2200"));
    connect(ui_.ckSK2200, &QCheckBox::clicked, this, &FmMain::ckSK2200Click);
    ui_.lResult = make<QLabel>(ui_.Panel2, "lResult", QRect(392, 8, 227, 16), QStringLiteral("--"));
    ui_.Panel2->hide();
    setupPanel_->attach(
        {ui_.btImposta, ui_.btRetract, ui_.cbSlave, ui_.ckSK2200, ui_.lResult, ui_.mmLog});
}

void FmMain::buildSetupPanel(QWidget* client) {
    SetupPanelContext context{
        controller_.transfers(),
        *dialogs_,
        [this] { return static_cast<std::uint16_t>(poll().FirmwareVersion()); },
        [this] { return port().IsOpen(); },
        [this](const QString& text) { announce(text); },
    };
    setupPanel_ = new SetupPanel(std::move(context), client, kMainArea);
    // Open, the panel covers the keys: they are not met under it.
    listOnlyWhatShows(client);
    ui_.pnImposta = setupPanel_;
    ui_.btRicevi = setupPanel_->btRicevi();
    ui_.btInvia = setupPanel_->btInvia();
    ui_.btAggiorna = setupPanel_->btAggiorna();
}

void FmMain::showServiceStrip(bool shown) {
    // A row of its own below the front panel: the window grows by its height.
    constexpr int kStripHeight = 33;
    ui_.Panel2->setGeometry(0, kClientSize.height() - 1, kClientSize.width(),
                            shown ? kStripHeight : 1);
    centralWidget()->setFixedSize(kClientSize.width(),
                                  kClientSize.height() + (shown ? kStripHeight - 1 : 0));
    ui_.Panel2->setVisible(shown);
}

KeyButton* FmMain::addKey(const char* name, int tag, QRect place, const QPixmap& glyphImage,
                          const QString& caption) {
    auto* key = make<KeyButton>(ui_.pnBlue, name, place, tag, glyphImage, caption);
    ui_.panelKeys.push_back(key);
    connect(key, &KeyButton::clicked, this, &FmMain::SpeedButton1Click);
    return key;
}

void FmMain::buildFrontPanel(QWidget* client) {
    ui_.pnBlue = panel(client, "pnBlue", kMainArea, NamedColour::clBlack);
    auto* image = make<QLabel>(ui_.pnBlue, "Image1", QRect(0, 0, 625, 321));
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image->setPixmap(glyph(":/assets/panel.jpg"));

    const QPixmap round = glyph(":/assets/key_round.png");
    const QPixmap updown = glyph(":/assets/key_updown.png");
    const QPixmap lit = glyph(":/assets/key_lit.png");
    ui_.frontKeys = {
        addKey("SpeedButton1", 3, {104, 32, 41, 41}, round),
        addKey("SpeedButton2", 2, {168, 32, 41, 41}, round),
        addKey("SpeedButton3", 1, {232, 32, 33, 41}, round),
        addKey("SpeedButton4", 0, {288, 32, 41, 41}, round),
        addKey("SpeedButton5", 7, {104, 280, 41, 41}, round),
        addKey("SpeedButton6", 6, {168, 280, 41, 41}, round),
        addKey("SpeedButton7", 5, {224, 280, 41, 41}, round),
        addKey("SpeedButton8", 4, {288, 280, 41, 41}, round),
        addKey("SpeedButton9", 8, {560, 360, 41, 33}, round),
        addKey("SpeedButton10", 10, {440, 200, 33, 30}, updown, QStringLiteral("^")),
        addKey("SpeedButton11", 11, {440, 272, 33, 41}, updown, QStringLiteral("v")),
        addKey("SpeedButton12", 9, {512, 120, 33, 33}, round),
        addKey("Chiudi", 12, {568, 264, 49, 49}, glyph(":/assets/key_power_off.png")),
    };
    // The lit key is 41 wide on this 33-wide key: the picture draws the key where it lands.
    ui_.frontKeys[2]->setGlyphOffset(QPoint((41 - 33) / 2, 0));
    QFont bold = ui_.frontKeys[9]->font();
    bold.setBold(true);
    ui_.frontKeys[9]->setFont(bold);
    ui_.BPower_ON = addKey("BPower_ON", 12, {566, 264, 49, 49}, glyph(":/assets/key_power_on.png"));
    ui_.BPower_ON->hide();
    ui_.BPower_ON->setLitFaceOf(ui_.frontKeys[12]);
    listLitFacesAsTheirKeys(ui_.pnBlue);
    ui_.BLED_ON1 = addKey("BLED_ON1", 77, {776, 344, 41, 41}, lit);
    ui_.BLED_ON1->hide();
    KeyButton* spareLamp = addKey("BLED_ON", 77, {600, 352, 41, 41}, lit);
    KeyButton* menuLamp = addKey("BLED_MENU_ON", 77, {720, 352, 41, 41}, lit);
    ui_.SpeedButton14 =
        addKey("SpeedButton14", 13, {920, 368, 73, 22}, QPixmap(), QStringLiteral("Return"));
    // Outside the picture (SpeedButton9 too, though ShowFrontKeys shows it): code presses
    // them, nobody else.
    for (KeyButton* key : {ui_.frontKeys[8], spareLamp, menuLamp, ui_.SpeedButton14}) {
        key->hide();
        keepFromAssistiveTechnology(key);
    }

    const QFont small = pixelFont(11);
    ui_.l180 =
        make<QLabel>(ui_.pnBlue, "l180", QRect(488, 80, 22, 13), QStringLiteral("180\u00B0"));
    ui_.ld180 = make<Lamp>(ui_.pnBlue, "ld180", QRect(488, 96, 21, 17), NamedColour::clGreen);
    ui_.lBidir =
        make<QLabel>(ui_.pnBlue, "lBidir", QRect(544, 80, 26, 13), QStringLiteral("Bi-dir."));
    ui_.ldBidir = make<Lamp>(ui_.pnBlue, "ldBidir", QRect(544, 96, 25, 17), NamedColour::clMaroon);
    ui_.lMove =
        make<QLabel>(ui_.pnBlue, "lMove", QRect(392, 96, 44, 13), QStringLiteral("Moving..."));
    ui_.ldMove = make<Lamp>(ui_.pnBlue, "ldMove", QRect(385, 112, 56, 25), NamedColour::clGray);
    for (QLabel* l : {ui_.l180, ui_.lBidir, ui_.lMove}) {
        l->setFont(small);
        setTextColour(l, NamedColour::clWhite);
    }

    // Below the visible picture: their handlers are the window's all the same.
    ui_.lProgressBG =
        make<QLabel>(ui_.pnBlue, "lProgressBG", QRect(8, 340, 201, 13), QStringLiteral("Progress"));
    setBackground(ui_.lProgressBG, NamedColour::clMaroon);
    ui_.lProgressFG = make<ClickableLabel>(ui_.pnBlue, "lProgressFG", QRect(8, 340, 57, 13));
    setBackground(ui_.lProgressFG, NamedColour::clGreen);
    connect(static_cast<ClickableLabel*>(ui_.lProgressFG), &ClickableLabel::clicked, this,
            &FmMain::lProgressFGClick);
    auto* bgClick = new ClickableLabel(ui_.lProgressBG);
    bgClick->setGeometry(0, 0, 201, 13);
    connect(bgClick, &ClickableLabel::clicked, this, &FmMain::lProgressFGClick);
    ui_.lSituaz = make<QLabel>(ui_.pnBlue, "lSituaz", QRect(240, 340, 120, 13), QString());
    ui_.lSituaz->hide();
    ui_.mmLog = make<QPlainTextEdit>(ui_.pnBlue, "mmLog", QRect(400, 340, 200, 80));
    ui_.mmLog->setReadOnly(true);
    ui_.mmLog->setFocusPolicy(Qt::NoFocus);
    ui_.mmLog->hide();
    for (QWidget* below :
         {static_cast<QWidget*>(ui_.lProgressBG), static_cast<QWidget*>(ui_.lProgressFG),
          static_cast<QWidget*>(ui_.lSituaz), static_cast<QWidget*>(ui_.mmLog)}) {
        below->hide();
        keepFromAssistiveTechnology(below);
    }

    const std::pair<const char*, QRect> kHidden[] = {{"Button1", {8, 376, 105, 25}},
                                                     {"Button2", {120, 376, 105, 25}},
                                                     {"Button3", {8, 416, 105, 25}},
                                                     {"Button4", {120, 416, 105, 25}}};
    const char* kCaptions[] = {"disable sel COM PORT", "disable BUTTONS", "enable_bottons",
                               "enable up_down"};
    void (FmMain::*kOps[])() = {&FmMain::UncheckPortItems, &FmMain::HideFrontKeys,
                                &FmMain::ShowFrontKeys, &FmMain::EnableLengthSteppers};
    for (int i = 0; i < 4; ++i) {
        auto* b = make<QPushButton>(ui_.pnBlue, kHidden[i].first, kHidden[i].second,
                                    QString::fromLatin1(kCaptions[i]));
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, kOps[i]);
        // Clicked from code only: no person may press one and take the front keys away.
        b->hide();
        keepFromAssistiveTechnology(b);
    }

    buildDisplay();
    buildScreens();
}

void FmMain::buildDisplay() {
    ui_.pnDisplay = panel(ui_.pnBlue, "pnDisplay", kDisplayPlace, NamedColour::clMoneyGreen);
    ui_.lFreq = make<ClickableLabel>(ui_.pnDisplay, "lFreq", QRect(8, 9, 273, 56));
    ui_.lFreq->setAlignment(Qt::AlignCenter);
    ui_.lFreq->setFont(pixelFont(48, true, "Arial"));
    ui_.lFreq->setCursor(Qt::PointingHandCursor);
    setTextColour(ui_.lFreq, NamedColour::clNavy);
    connect(ui_.lFreq, &ClickableLabel::clicked, this, &FmMain::lFreqClick);
    ui_.lBanda = centredLabel(ui_.pnDisplay, "lBanda", QRect(8, 65, 273, 24), QString(),
                              pixelFont(19, true), NamedColour::clNavy);
    ui_.Heading = centredLabel(ui_.pnDisplay, "Heading", QRect(8, 89, 273, 24), QString(),
                               pixelFont(19, true), NamedColour::clNavy);
    ui_.moving = centredLabel(ui_.pnDisplay, "moving", QRect(0, 120, 289, 25),
                              QStringLiteral("MOVING ELEMENTS....."), pixelFont(21, true, "Arial"),
                              NamedColour::clYellow);
    setBackground(ui_.moving, NamedColour::clRed);
    ui_.moving->hide();
}

void FmMain::buildScreens() {
    // Stacked in creation order: each later screen covers the ones before it.
    ui_.Panel_Elem_Retract =
        panel(ui_.pnBlue, "Panel_Elem_Retract", kDisplayPlace, NamedColour::clMoneyGreen);
    centredLabel(ui_.Panel_Elem_Retract, "Label_Retracted", QRect(0, 20, 289, 32),
                 QStringLiteral("ELEMENTS RETRACTED"), pixelFont(20, true, "Arial"),
                 NamedColour::clRed);
    const char* kLines[] = {"Before you select any band,", "make sure to have connected",
                            "the antenna to the controller"};
    for (int i = 0; i < 3; ++i) {
        centredLabel(ui_.Panel_Elem_Retract, "Label_RetractedHint", QRect(0, 64 + 22 * i, 289, 20),
                     QString::fromLatin1(kLines[i]), pixelFont(14), NamedColour::clBlack);
    }
    ui_.Panel_Elem_Retract->hide();

    ui_.Panel_Chiuso = panel(ui_.pnBlue, "Panel_Chiuso", kDisplayPlace, NamedColour::clMoneyGreen);
    ui_.COM_VERIFY = panel(ui_.Panel_Chiuso, "COM_VERIFY",
                           QRect(0, 0, kDisplayPlace.width(), kDisplayPlace.height()),
                           NamedColour::clMoneyGreen);
    centredLabel(ui_.COM_VERIFY, "Label_SelectPort",
                 QRect(0, 0, kDisplayPlace.width(), kDisplayPlace.height()),
                 QStringLiteral("SELECT THE VALID PORT"), pixelFont(16, true),
                 NamedColour::clBlack);
    ui_.lPortError =
        centredLabel(ui_.COM_VERIFY, "lPortError", QRect(6, 96, kDisplayPlace.width() - 12, 52),
                     QString(), pixelFont(11), NamedColour::clMaroon);
    ui_.lPortError->setWordWrap(true);
    ui_.COM_VERIFY->hide();
    ui_.Panel_Chiuso->hide();

    ServiceContext context{controller_.link(), controller_.sequences(), controller_.poll()};
    context.announce = [this](const QString& text) { announce(text); };
    context.clearEvent = [this] { clearEvent(); };
    context.showFrontKeys = [this](bool shown) { shown ? ShowFrontKeys() : HideFrontKeys(); };
    context.focusPanel = [this] {
        // The panel's Tab order starts at its first key; the frequency line when none shows.
        for (QWidget* w = ui_.lFreq->nextInFocusChain(); w && w != ui_.lFreq;
             w = w->nextInFocusChain()) {
            if (qobject_cast<KeyButton*>(w) && w->isVisibleTo(this) && w->isEnabled()) {
                w->setFocus(Qt::OtherFocusReason);
                return;
            }
        }
        ui_.lFreq->setFocus(Qt::OtherFocusReason);
    };
    context.returnKey = ui_.SpeedButton14;
    context.portPrompt = ui_.COM_VERIFY;
    context.bandLine = ui_.lBanda;
    context.headingLine = ui_.Heading;
    context.items = ui_.functionItems;
    services_ = new ServiceScreens(std::move(context), ui_.pnBlue, this);
    editor_ = new ElementEditor(*services_, ui_.lFreq, ui_.lBanda, ui_.pnBlue, this);
    services_->stackScreens(editor_->panel(), ui_.Panel_Elem_Retract, ui_.Panel_Chiuso);
}

void FmMain::wireFunctions() {
    // The items are never disabled: each says in its status tip why it cannot act now.
    ui_.Functions1->setToolTipsVisible(true);
    connect(ui_.Functions1, &QMenu::aboutToShow, services_, &ServiceScreens::refreshTips);
    const auto wire = [this](ServiceFunction function, auto* receiver, auto slot) {
        connect(ui_.functionItems[static_cast<std::size_t>(function)], &QAction::triggered,
                receiver, slot);
    };
    wire(ServiceFunction::Calibrate, services_, &ServiceScreens::Calibrate1Click);
    wire(ServiceFunction::FactoryDefault, services_, &ServiceScreens::FactoryDefault1Click);
    wire(ServiceFunction::ModifyElements, editor_, &ElementEditor::ModifyElemets1Click);
    wire(ServiceFunction::Retract, services_, &ServiceScreens::Retract1Click);
    wire(ServiceFunction::TestElements, services_, &ServiceScreens::estelements1Click);
    services_->refreshTips();
}

void FmMain::wireViews() {
    for (QWidget* line : {static_cast<QWidget*>(ui_.lFreq), static_cast<QWidget*>(ui_.lBanda),
                          static_cast<QWidget*>(ui_.Heading)}) {
        dimmer_.add(line);
    }
    FrontPanelControls front;
    front.keys = ui_.panelKeys;
    // SpeedButton5..8 and 1..4 are the band keys from low to high.
    for (std::size_t i = 0; i < 8; ++i) front.bound[i] = ui_.frontKeys[(i + 4) % 8];
    front.bound[8] = ui_.frontKeys[9];    // SpeedButton10, frequency up
    front.bound[9] = ui_.frontKeys[10];   // SpeedButton11, frequency down
    front.bound[10] = ui_.frontKeys[11];  // SpeedButton12, display
    front.bound[11] = ui_.frontKeys[12];  // Chiudi, power
    front.powerOn = ui_.BPower_ON;
    front.bandLamp = ui_.BLED_ON1;
    front.lamps = {ui_.ld180, ui_.ldBidir, ui_.ldMove, ui_.ldTX, ui_.ldRX};
    front.frequency = ui_.lFreq;
    bindFrontPanel(this, front, [this] {
        // Not while a screen covers the display (it is disabled then) or a panel the window.
        if (ui_.pnDisplay->isVisibleTo(this) && ui_.pnDisplay->isEnabled()) lFreqClick();
    });
    // Tab walks the panel as the shortcuts number it, then reaches the frequency line.
    QWidget* previous = nullptr;
    for (KeyButton* key : front.bound) {
        key->takeKeyboardFocus();
        if (previous) setTabOrder(previous, key);
        previous = key;
    }
    ui_.lFreq->setFocusPolicy(Qt::TabFocus);
    setTabOrder(previous, ui_.lFreq);

    PanelWidgets panel;
    panel.lStatus = ui_.lStatus;
    panel.lSituaz = ui_.lSituaz;
    panel.ldTX = ui_.ldTX;
    panel.ldRX = ui_.ldRX;
    panel.lMove = ui_.lMove;
    panel.ldMove = ui_.ldMove;
    panel.l180 = ui_.l180;
    panel.ld180 = ui_.ld180;
    panel.lBidir = ui_.lBidir;
    panel.ldBidir = ui_.ldBidir;
    panel.pnDisplay = ui_.pnDisplay;
    panel.lFreq = ui_.lFreq;
    panel.lBanda = ui_.lBanda;
    panel.Heading = ui_.Heading;
    panel.moving = ui_.moving;
    panel.Panel_Elem_Retract = ui_.Panel_Elem_Retract;
    panel.BLED_ON1 = ui_.BLED_ON1;
    panel.BPower_ON = ui_.BPower_ON;
    panel.btAggiorna = ui_.btAggiorna;
    panel.linkButtons = {ui_.btRicevi, ui_.btInvia, ui_.btImposta, ui_.btRetract};
    panel.lProgressFG = ui_.lProgressFG;
    panel.lProgressBG = ui_.lProgressBG;
    panel.frontKeys = ui_.frontKeys;
    panel_.attach(std::move(panel));

    radio_ = new RadioPanel(
        RadioPanelContext{
            ui_.ckOmni1, ui_.ckOmni2, ui_.Radio1, ui_.Radio21, ui_.NoRadio1,
            [this](const QString& text, const QString& title) { message(text, title); }},
        this);
    ports_->refreshTips();
}

}  // namespace kt6
