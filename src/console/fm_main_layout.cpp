// Builds the window's controls: geometry, stacking (creation order), captions, colours.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>

#include "console/colours.h"
#include "console/fm_main.h"
#include "console/panel/clickable_label.h"
#include "console/panel/key_button.h"
#include "console/panel/lamp.h"
#include "console/service/element_editor.h"
#include "console/service/service_screens.h"
#include "console/setup_panel.h"

namespace kt6 {

namespace {

constexpr QSize kClientSize{623, 330};
constexpr QRect kDisplayPlace{72, 96, 289, 153};
// Between the one-pixel top strip and the one-pixel service strip.
constexpr QRect kMainArea{0, 1, kClientSize.width(), kClientSize.height() - 2};

template <typename W, typename... Args>
W* make(QWidget* parent, const char* name, QRect geometry, Args&&... args) {
    auto* w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(geometry);
    return w;
}

QFont pixelFont(const char* family, int pixels, bool bold = false) {
    QFont f(QString::fromLatin1(family));
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

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

void FmMain::buildMenus() {
    QMenuBar* bar = menuBar();
    QMenu* ports = bar->addMenu(QStringLiteral("Com port"));
    ports->setObjectName("Comport1");
    // There is no status bar: the device each item opens shows as its tool tip.
    ports->setToolTipsVisible(true);
    static constexpr const char* kPortNames[kPortCount] = {
        "com1", "com2", "com3",  "com4",  "COM5",  "COM6", "COM7",
        "COM8", "COM9", "COM10", "COM11", "COM12", "COM13"};
    void (FmMain::*const kPortSlots[kPortCount])() = {
        &FmMain::com1Click, &FmMain::com2Click,  &FmMain::com3Click,  &FmMain::com4Click,
        &FmMain::COM5Click, &FmMain::COM6Click,  &FmMain::COM7Click,  &FmMain::COM8Click,
        &FmMain::COM9Click, &FmMain::COM10Click, &FmMain::COM11Click, &FmMain::COM12Click,
        &FmMain::COM13Click};
    for (int i = 0; i < kPortCount; ++i) {
        QAction* item = ports->addAction(QStringLiteral("COM%1").arg(i + 1));
        item->setObjectName(QString::fromLatin1(kPortNames[i]));
        item->setCheckable(true);
        connect(item, &QAction::triggered, this, kPortSlots[i]);
        portItems_[static_cast<std::size_t>(i)] = item;
    }
    ports->addSeparator();
    QAction* assign = ports->addAction(QStringLiteral("Assign ports..."));
    assign->setObjectName("AssignPorts1");
    connect(assign, &QAction::triggered, this, &FmMain::AssignPorts1Click);

    Functions1_ = bar->addMenu(QStringLiteral("Functions"));
    Functions1_->setObjectName("Functions1");
    const std::pair<const char*, const char*> kFunctions[] = {
        {"Calibrate1", "Calibrate"},
        {"FactoryDefault1", "Factory Default"},
        {"ModifyElemets1", "Modify elemets"},
        {"Retract1", "Retract"},
        {"estelements1", "Test elements"}};
    for (std::size_t i = 0; i < functionItems_.size(); ++i) {
        const auto& [name, caption] = kFunctions[i];
        functionItems_[i] = Functions1_->addAction(QString::fromLatin1(caption));
        functionItems_[i]->setObjectName(QString::fromLatin1(name));
    }

    QMenu* radio = bar->addMenu(QStringLiteral("Cat Radio"));
    radio->setObjectName("CatRadio1");
    QAction* config = radio->addAction(QStringLiteral("Config Radio"));
    config->setObjectName("ConfigRadio1");
    Radio1_ = radio->addAction(QStringLiteral("Radio 1"));
    Radio1_->setObjectName("Radio1");
    Radio21_ = radio->addAction(QStringLiteral("Radio 2"));
    Radio21_->setObjectName("Radio21");
    NoRadio1_ = radio->addAction(QStringLiteral("No Radio"));
    NoRadio1_->setObjectName("NoRadio1");
    for (QAction* a : {Radio1_, Radio21_, NoRadio1_}) a->setCheckable(true);
    connect(config, &QAction::triggered, this, &FmMain::ConfigRadio1Click);
    connect(Radio1_, &QAction::triggered, this, &FmMain::Radio1Click);
    connect(Radio21_, &QAction::triggered, this, &FmMain::Radio21Click);
    connect(NoRadio1_, &QAction::triggered, this, &FmMain::NoRadio1Click);

    QMenu* help = bar->addMenu(QStringLiteral("Help"));
    help->setObjectName("Help1");
    QMenu* manual = help->addMenu(QStringLiteral("Manual"));
    manual->setObjectName("Manual1");
    QAction* ita = manual->addAction(QStringLiteral("ita"));
    ita->setObjectName("ita2");
    connect(ita, &QAction::triggered, this, &FmMain::ita2Click);
    QAction* eng = manual->addAction(QStringLiteral("eng"));
    eng->setObjectName("eng1");
    connect(eng, &QAction::triggered, this, &FmMain::eng1Click);
    QAction* web = help->addAction(QStringLiteral("Web site"));
    web->setObjectName("Website2");
    connect(web, &QAction::triggered, this, &FmMain::Website2Click);
}

void FmMain::buildTopStrip(QWidget* client) {
    // One pixel high: its controls exist and are kept up to date, but are not seen.
    auto* strip = make<QFrame>(client, "Panel1", QRect(0, 0, kClientSize.width(), 1));
    lStatus_ =
        make<QLabel>(strip, "lStatus", QRect(8, 0, 220, 16), QStringLiteral("Stato: non connesso"));
    setTextColour(lStatus_, NamedColour::clNavy);
    make<QLabel>(strip, "Label1", QRect(230, 0, 70, 16), QStringLiteral("Porta seriale:"));
    ldTX_ = make<Lamp>(strip, "ldTX", QRect(300, 0, 14, 14), NamedColour::clGreen);
    make<QLabel>(strip, "Label2", QRect(316, 0, 16, 16), QStringLiteral("Tx"));
    ldRX_ = make<Lamp>(strip, "ldRX", QRect(334, 0, 14, 14), NamedColour::clNavy);
    make<QLabel>(strip, "Label3", QRect(350, 0, 16, 16), QStringLiteral("Rx"));
    ckOmni1_ = make<QCheckBox>(strip, "ckOmni1", QRect(370, 0, 120, 16),
                               QStringLiteral("Omnirig: use rig #1"));
    ckOmni2_ = make<QCheckBox>(strip, "ckOmni2", QRect(490, 0, 120, 16),
                               QStringLiteral("Omnirig: use rig #2"));
    btSetOmni_ = make<QPushButton>(strip, "btSetOmni", QRect(610, 0, 90, 16),
                                   QStringLiteral("Setup Omnirig"));
    connect(btSetOmni_, &QPushButton::clicked, this, &FmMain::btSetOmniClick);
    // Out of sight, so out of the keyboard's reach too: Space must not toggle a rig unseen.
    for (QWidget* w : {static_cast<QWidget*>(ckOmni1_), static_cast<QWidget*>(ckOmni2_),
                       static_cast<QWidget*>(btSetOmni_)}) {
        w->setFocusPolicy(Qt::NoFocus);
    }
    setBackground(ckOmni1_, NamedColour::clBtnFace);
    setBackground(ckOmni2_, NamedColour::clBtnFace);
}

void FmMain::buildServiceStrip(QWidget* client) {
    Panel2_ =
        make<QFrame>(client, "Panel2", QRect(0, kClientSize.height() - 1, kClientSize.width(), 1));
    auto* exit =
        make<QPushButton>(Panel2_, "btExit", QRect(4, 4, 60, 25), QStringLiteral("&Uscita"));
    connect(exit, &QPushButton::clicked, this, &QWidget::close);
    btImposta_ =
        make<QPushButton>(Panel2_, "btImposta", QRect(68, 4, 70, 25), QStringLiteral("Setup..."));
    btImposta_->setEnabled(false);
    connect(btImposta_, &QPushButton::clicked, this, &FmMain::btImpostaClick);
    btRetract_ =
        make<QPushButton>(Panel2_, "btRetract", QRect(142, 4, 60, 25), QStringLiteral("Retract"));
    btRetract_->setEnabled(false);
    connect(btRetract_, &QPushButton::clicked, this, &FmMain::btRetractClick);
    cbSlave_ = make<QComboBox>(Panel2_, "cbSlave", QRect(206, 6, 80, 21));
    cbSlave_->addItems(
        {QStringLiteral("Master"), QStringLiteral("Slave 1"), QStringLiteral("Slave 2")});
    cbSlave_->setCurrentIndex(0);
    cbSlave_->setEnabled(false);
    cbSlave_->setAccessibleName(QStringLiteral("Master / Slave"));
    ckSK2200_ =
        make<QCheckBox>(Panel2_, "ckSK2200", QRect(292, 8, 95, 17), QStringLiteral("Skarnel 2200"));
    connect(ckSK2200_, &QCheckBox::clicked, this, &FmMain::ckSK2200Click);
    lResult_ = make<QLabel>(Panel2_, "lResult", QRect(392, 8, 227, 16), QStringLiteral("--"));
    Panel2_->hide();
    setupPanel_->attach({btImposta_, btRetract_, cbSlave_, ckSK2200_, lResult_, mmLog_});
}

void FmMain::buildSetupPanel(QWidget* client) {
    SetupPanelContext context{
        link_,
        *dialogs_,
        [this] { return static_cast<std::uint16_t>(poll_.FirmwareVersion); },
        [this](bool running) { setPollRunning(running); },
        *scheduler_,
        [this](const QString& text) { announce(text); },
    };
    setupPanel_ = new SetupPanel(std::move(context), client, kMainArea);
    pnImposta_ = setupPanel_;
    btRicevi_ = setupPanel_->btRicevi();
    btInvia_ = setupPanel_->btInvia();
    btAggiorna_ = setupPanel_->btAggiorna();
}

void FmMain::showServiceStrip(bool shown) {
    // A row of its own below the front panel: the window grows by its height.
    constexpr int kStripHeight = 33;
    Panel2_->setGeometry(0, kClientSize.height() - 1, kClientSize.width(),
                         shown ? kStripHeight : 1);
    centralWidget()->setFixedSize(kClientSize.width(),
                                  kClientSize.height() + (shown ? kStripHeight - 1 : 0));
    Panel2_->setVisible(shown);
}

KeyButton* FmMain::addKey(const char* name, int tag, QRect place, const QPixmap& glyphImage,
                          const QString& caption) {
    auto* key = make<KeyButton>(pnBlue_, name, place, tag, glyphImage, caption);
    panelKeys_.push_back(key);
    connect(key, &KeyButton::clicked, this, &FmMain::SpeedButton1Click);
    return key;
}

void FmMain::buildFrontPanel(QWidget* client) {
    pnBlue_ = panel(client, "pnBlue", kMainArea, NamedColour::clBlack);
    auto* image = make<QLabel>(pnBlue_, "Image1", QRect(0, 0, 625, 321));
    image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    image->setPixmap(glyph(":/assets/panel.jpg"));

    const QPixmap round = glyph(":/assets/key_round.png");
    const QPixmap updown = glyph(":/assets/key_updown.png");
    const QPixmap lit = glyph(":/assets/key_lit.png");
    frontKeys_ = {
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
    frontKeys_[2]->setGlyphOffset(QPoint((41 - 33) / 2, 0));
    QFont bold = frontKeys_[9]->font();
    bold.setBold(true);
    frontKeys_[9]->setFont(bold);
    frontKeys_[8]->hide();  // SpeedButton9 lies outside the picture
    BPower_ON_ = addKey("BPower_ON", 12, {566, 264, 49, 49}, glyph(":/assets/key_power_on.png"));
    BPower_ON_->hide();
    BLED_ON1_ = addKey("BLED_ON1", 77, {776, 344, 41, 41}, lit);
    BLED_ON1_->hide();
    addKey("BLED_ON", 77, {600, 352, 41, 41}, lit)->hide();
    addKey("BLED_MENU_ON", 77, {720, 352, 41, 41}, lit)->hide();
    SpeedButton14_ =
        addKey("SpeedButton14", 13, {920, 368, 73, 22}, QPixmap(), QStringLiteral("Return"));
    SpeedButton14_->hide();

    const QFont small = pixelFont("MS Sans Serif", 11);
    l180_ = make<QLabel>(pnBlue_, "l180", QRect(488, 80, 22, 13), QStringLiteral("180\u00B0"));
    ld180_ = make<Lamp>(pnBlue_, "ld180", QRect(488, 96, 21, 17), NamedColour::clGreen);
    lBidir_ = make<QLabel>(pnBlue_, "lBidir", QRect(544, 80, 26, 13), QStringLiteral("Bi-dir."));
    ldBidir_ = make<Lamp>(pnBlue_, "ldBidir", QRect(544, 96, 25, 17), NamedColour::clMaroon);
    lMove_ = make<QLabel>(pnBlue_, "lMove", QRect(392, 96, 44, 13), QStringLiteral("Moving..."));
    ldMove_ = make<Lamp>(pnBlue_, "ldMove", QRect(385, 112, 56, 25), NamedColour::clGray);
    for (QLabel* l : {l180_, lBidir_, lMove_}) {
        l->setFont(small);
        setTextColour(l, NamedColour::clWhite);
    }

    // Below the visible picture: their handlers are the window's all the same.
    lProgressBG_ =
        make<QLabel>(pnBlue_, "lProgressBG", QRect(8, 340, 201, 13), QStringLiteral("Progress"));
    setBackground(lProgressBG_, NamedColour::clMaroon);
    lProgressFG_ = make<ClickableLabel>(pnBlue_, "lProgressFG", QRect(8, 340, 57, 13));
    setBackground(lProgressFG_, NamedColour::clGreen);
    connect(static_cast<ClickableLabel*>(lProgressFG_), &ClickableLabel::clicked, this,
            &FmMain::lProgressFGClick);
    auto* bgClick = new ClickableLabel(lProgressBG_);
    bgClick->setGeometry(0, 0, 201, 13);
    connect(bgClick, &ClickableLabel::clicked, this, &FmMain::lProgressFGClick);
    lSituaz_ = make<QLabel>(pnBlue_, "lSituaz", QRect(240, 340, 120, 13), QString());
    lSituaz_->hide();
    mmLog_ = make<QPlainTextEdit>(pnBlue_, "mmLog", QRect(400, 340, 200, 80));
    mmLog_->setReadOnly(true);
    mmLog_->setFocusPolicy(Qt::NoFocus);
    mmLog_->hide();

    const std::pair<const char*, QRect> kHidden[] = {{"Button1", {8, 376, 105, 25}},
                                                     {"Button2", {120, 376, 105, 25}},
                                                     {"Button3", {8, 416, 105, 25}},
                                                     {"Button4", {120, 416, 105, 25}}};
    const char* kCaptions[] = {"disable sel COM PORT", "disable BUTTONS", "enable_bottons",
                               "enable up_down"};
    void (FmMain::*kOps[])() = {&FmMain::UncheckPortItems, &FmMain::HideFrontKeys,
                                &FmMain::ShowFrontKeys, &FmMain::EnableLengthSteppers};
    for (int i = 0; i < 4; ++i) {
        auto* b = make<QPushButton>(pnBlue_, kHidden[i].first, kHidden[i].second,
                                    QString::fromLatin1(kCaptions[i]));
        b->setFocusPolicy(Qt::NoFocus);
        connect(b, &QPushButton::clicked, this, kOps[i]);
    }

    buildDisplay();
    buildScreens();
}

void FmMain::buildDisplay() {
    pnDisplay_ = panel(pnBlue_, "pnDisplay", kDisplayPlace, NamedColour::clMoneyGreen);
    lFreq_ = make<ClickableLabel>(pnDisplay_, "lFreq", QRect(8, 9, 273, 56));
    lFreq_->setAlignment(Qt::AlignCenter);
    lFreq_->setFont(pixelFont("Arial", 48, true));
    lFreq_->setCursor(Qt::PointingHandCursor);
    setTextColour(lFreq_, NamedColour::clNavy);
    connect(lFreq_, &ClickableLabel::clicked, this, &FmMain::lFreqClick);
    lBanda_ = centredLabel(pnDisplay_, "lBanda", QRect(8, 65, 273, 24), QString(),
                           pixelFont("MS Sans Serif", 19, true), NamedColour::clNavy);
    Heading_ = centredLabel(pnDisplay_, "Heading", QRect(8, 89, 273, 24), QString(),
                            pixelFont("MS Sans Serif", 19, true), NamedColour::clNavy);
    moving_ = centredLabel(pnDisplay_, "moving", QRect(0, 120, 289, 25),
                           QStringLiteral("MOVING ELEMENTS....."), pixelFont("Arial", 21, true),
                           NamedColour::clYellow);
    setBackground(moving_, NamedColour::clRed);
    moving_->hide();
}

void FmMain::buildScreens() {
    // Stacked in creation order: each later screen covers the ones before it.
    Panel_Elem_Retract_ =
        panel(pnBlue_, "Panel_Elem_Retract", kDisplayPlace, NamedColour::clMoneyGreen);
    centredLabel(Panel_Elem_Retract_, "Label_Retracted", QRect(0, 20, 289, 32),
                 QStringLiteral("ELEMENTS RETRACTED"), pixelFont("Arial", 20, true),
                 NamedColour::clRed);
    const char* kLines[] = {"Before you select any band,", "make sure to have connected",
                            "the antenna to the controller"};
    for (int i = 0; i < 3; ++i) {
        centredLabel(Panel_Elem_Retract_, "Label_RetractedHint", QRect(0, 64 + 22 * i, 289, 20),
                     QString::fromLatin1(kLines[i]), pixelFont("MS Sans Serif", 14),
                     NamedColour::clBlack);
    }
    Panel_Elem_Retract_->hide();

    Panel_Chiuso_ = panel(pnBlue_, "Panel_Chiuso", kDisplayPlace, NamedColour::clMoneyGreen);
    COM_VERIFY_ = panel(Panel_Chiuso_, "COM_VERIFY",
                        QRect(0, 0, kDisplayPlace.width(), kDisplayPlace.height()),
                        NamedColour::clMoneyGreen);
    centredLabel(COM_VERIFY_, "Label_SelectPort",
                 QRect(0, 0, kDisplayPlace.width(), kDisplayPlace.height()),
                 QStringLiteral("SELECT THE VALID PORT"), pixelFont("MS Sans Serif", 16, true),
                 NamedColour::clBlack);
    lPortError_ =
        centredLabel(COM_VERIFY_, "lPortError", QRect(6, 96, kDisplayPlace.width() - 12, 52),
                     QString(), pixelFont("MS Sans Serif", 11), NamedColour::clMaroon);
    lPortError_->setWordWrap(true);
    COM_VERIFY_->hide();
    Panel_Chiuso_->hide();

    ServiceContext context{link_, poll_};
    context.sendKey = [this](std::uint8_t code, bool flag) { return SendKey(code, flag); };
    context.announce = [this](const QString& text) { announce(text); };
    context.clearEvent = [this] { clearEvent(); };
    context.showFrontKeys = [this](bool shown) { shown ? ShowFrontKeys() : HideFrontKeys(); };
    context.returnKey = SpeedButton14_;
    context.portPrompt = COM_VERIFY_;
    context.bandLine = lBanda_;
    context.headingLine = Heading_;
    context.items = functionItems_;
    services_ = new ServiceScreens(std::move(context), pnBlue_, *scheduler_, this);
    editor_ = new ElementEditor(*services_, lFreq_, lBanda_, pnBlue_, this);
    services_->stackScreens(editor_->panel(), Panel_Elem_Retract_, Panel_Chiuso_);
}

void FmMain::wireFunctions() {
    // The items are never disabled: each says in its status tip why it cannot act now.
    Functions1_->setToolTipsVisible(true);
    connect(Functions1_, &QMenu::aboutToShow, services_, &ServiceScreens::refreshTips);
    const auto wire = [this](ServiceFunction function, auto* receiver, auto slot) {
        connect(functionItems_[static_cast<std::size_t>(function)], &QAction::triggered, receiver,
                slot);
    };
    wire(ServiceFunction::Calibrate, services_, &ServiceScreens::Calibrate1Click);
    wire(ServiceFunction::FactoryDefault, services_, &ServiceScreens::FactoryDefault1Click);
    wire(ServiceFunction::ModifyElements, editor_, &ElementEditor::ModifyElemets1Click);
    wire(ServiceFunction::Retract, services_, &ServiceScreens::Retract1Click);
    wire(ServiceFunction::TestElements, services_, &ServiceScreens::estelements1Click);
    services_->refreshTips();
}

}  // namespace kt6
