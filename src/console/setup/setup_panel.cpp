#include "console/setup/setup_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QValidator>

#include "console/colours.h"
#include "console/dialogs.h"
#include "console/input_block.h"
#include "console/widget_factory.h"
#include "memory/block_codec.h"
#include "memory/code_page.h"
#include "memory/setup_file.h"
#include "memory/setup_log.h"
#include "memory/setup_update.h"

namespace kt6 {

namespace {

const QString kTitle = QStringLiteral("Skarnel");

// "Skarnel setup data|*.skarnel" in the toolkit's filter form.
const QString kFilter = QStringLiteral("Skarnel setup data (*.skarnel)");
constexpr int kModelLimit = 15;
constexpr int kWelcomeLimit = 23;

QString fromBytes(std::string_view bytes) {
    return QString::fromStdU16String(cp1252ToUtf16(bytes));
}

// The validator keeps every character in the code page, so nothing is lost here.
std::string toBytes(const QString& text) {
    std::string out;
    for (QChar c : text)
        out.push_back(static_cast<char>(unicodeToCp1252(c.unicode()).value_or('?')));
    return out;
}

// Text boxes take only characters of the controller's code page, and an entry limit stops
// typing beyond it without cutting a longer text the controller sent (that goes back whole).
class CodePageValidator : public QValidator {
  public:
    CodePageValidator(int limit, QObject* parent) : QValidator(parent), limit_(limit) {}
    // A text about to be shown: as long as it is, it stays acceptable.
    void allow(qsizetype length) { allowed_ = std::max<qsizetype>(limit_, length); }
    State validate(QString& input, int&) const override {
        for (QChar c : input) {
            if (!unicodeToCp1252(c.unicode())) return Invalid;
        }
        if (limit_ > 0 && input.size() > allowed_) return Invalid;
        return Acceptable;
    }

  private:
    int limit_;
    qsizetype allowed_ = 0;
};

// A group whose title sits on its frame's top line, where the desktop style would draw it above
// the frame: the captions placed under the title then stand inside the frame, not across it.
class LineTitledGroup : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        const QFontMetrics metrics = fontMetrics();
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(rect().adjusted(0, metrics.height() / 2, -1, -1));
        const QRect titleArea(kTitleLeft, 0, metrics.horizontalAdvance(title()), metrics.height());
        p.fillRect(titleArea, palette().color(QPalette::Window));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(titleArea, Qt::AlignLeft | Qt::AlignVCenter, title());
    }

  private:
    static constexpr int kTitleLeft = 8;
};

void showText(QLineEdit* edit, const QString& text) {
    if (auto* v = dynamic_cast<const CodePageValidator*>(edit->validator())) {
        const_cast<CodePageValidator*>(v)->allow(text.size());
    }
    edit->setText(text);
}

}  // namespace

SetupPanel::SetupPanel(SetupPanelContext context, QWidget* parent, const QRect& geometry)
    : QFrame(parent), context_(std::move(context)) {
    setObjectName(QStringLiteral("pnImposta"));
    setGeometry(geometry);
    setFrameShape(QFrame::NoFrame);
    setBackground(this, NamedColour::clBtnFace);
    lastFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    build();
    hide();
    if (QWidget* top = window(); top != this) top->installEventFilter(this);
    // The controller's shut-down lets go of the panel: it outlives the controller's owner.
    context_.transfers.setView(this);
}

QLineEdit* SetupPanel::addEdit(QWidget* group, const char* name, const QRect& place,
                               const QString& text) {
    auto* edit = make<QLineEdit>(group, name, place, text);
    // Enter presses the panel's default button, "Aggiorna Skarnel".
    connect(edit, &QLineEdit::returnPressed, this, [this] { btAggiorna_->click(); });
    return edit;
}

QLabel* SetupPanel::addCaption(QWidget* group, const char* name, const QRect& place,
                               const QString& text, QLineEdit* buddy) {
    auto* label = make<QLabel>(group, name, place, text);
    if (buddy) {
        label->setBuddy(buddy);
        captions_[buddy] = label;
    }
    return label;
}

void SetupPanel::build() {
    auto group = [this](const char* name, const QString& title, const QRect& place) {
        return make<LineTitledGroup>(this, name, place, title);
    };
    auto textBox = [this](QWidget* g, const char* name, const QRect& place, int limit) {
        QLineEdit* e = addEdit(g, name, place, QString());
        auto* v = new CodePageValidator(limit, e);
        e->setValidator(v);
        connect(e, &QLineEdit::textChanged, v, [v](const QString& t) { v->allow(t.size()); });
        return e;
    };

    // The antenna model.
    auto* model = group("gbModello", QStringLiteral("Tipo / modello antenna "), {4, 2, 615, 100});
    edModel_ = textBox(model, "edModel", {8, 31, 130, 20}, kModelLimit);
    addCaption(model, "lModel", {8, 16, 130, 14}, QStringLiteral("Descrizione modello"), edModel_);
    edWelcome_ = textBox(model, "edWelcome", {146, 31, 180, 20}, kWelcomeLimit);
    addCaption(model, "lWelcome", {146, 16, 180, 14}, QStringLiteral("Benvenuto per utente"),
               edWelcome_);
    edMotori_ = addEdit(model, "edMotori", {402, 14, 50, 20}, QString());
    addCaption(model, "lMotori", {340, 17, 60, 14}, QStringLiteral("Num. driver"), edMotori_);
    auto* vertical = addCaption(model, "lMotoriNote", {458, 17, 110, 14},
                                QStringLiteral("(+128=verticale)"), nullptr);
    edMotori_->setAccessibleDescription(vertical->text());
    edBande_ = addEdit(model, "edBande", {402, 37, 50, 20}, QString());
    addCaption(model, "lBande", {340, 40, 60, 14}, QStringLiteral("Num. bande"), edBande_);
    const std::pair<const char*, const char*> lengths[] = {{"edExtMin", "Dim. min."},
                                                           {"edExtMax1", "L. Driver:"},
                                                           {"edExtMax2", "L. Dirett 1"},
                                                           {"edExtMax3", "L. Riflettore"},
                                                           {"edExtMax4", "L. Dirett 2"}};
    QLineEdit** lengthBoxes[] = {&edExtMin_, &edExtMax1_, &edExtMax2_, &edExtMax3_, &edExtMax4_};
    for (int i = 0; i < 5; ++i) {
        const int x = 8 + 120 * i;
        *lengthBoxes[i] = addEdit(model, lengths[i].first, {x, 73, 80, 20}, QStringLiteral("0"));
        addCaption(model, (QByteArray("l") + (lengths[i].first + 2)).constData(), {x, 58, 110, 14},
                   QString::fromLatin1(lengths[i].second), *lengthBoxes[i]);
    }

    // The movement formula.
    auto* formula =
        group("gbFormula", QStringLiteral(" Formula per movimento "), {4, 104, 300, 98});
    const std::pair<const char*, const char*> formulaRows[] = {
        {"edPP", "Numero passi (400) per conversione:"},
        {"edPD", "Distanza in mm per conversione:"},
        {"edK", "K per calcolo lunghezza:"}};
    QLineEdit** formulaBoxes[] = {&edPP_, &edPD_, &edK_};
    for (int i = 0; i < 3; ++i) {
        const int y = 18 + 24 * i;
        *formulaBoxes[i] =
            addEdit(formula, formulaRows[i].first, {210, y, 80, 20}, QStringLiteral("0"));
        addCaption(formula, (QByteArray("l") + (formulaRows[i].first + 2)).constData(),
                   {8, y + 3, 200, 14}, QString::fromLatin1(formulaRows[i].second),
                   *formulaBoxes[i]);
    }

    // The motors.
    auto* motors =
        group("gbMotori", QStringLiteral(" Caratteristiche dei motori "), {308, 104, 311, 98});
    const std::pair<const char*, const char*> motorRows[] = {
        {"edVelMin", "Vel. min"},        {"edVelMax", "Vel. max"},
        {"edAcc", "Accel 1..5"},         {"edPwmF", "PWM Freq 1..5"},
        {"edPwmR", "PWM rampa 0..255:"}, {"edPwmC", "PWM crociera 0..255:"}};
    QLineEdit** motorBoxes[] = {&edVelMin_, &edVelMax_, &edAcc_, &edPwmF_, &edPwmR_, &edPwmC_};
    // The second row stands lower: "PWM Freq"'s note has the line under its caption.
    constexpr int kMotorRows[] = {14, 44, 70};
    for (int i = 0; i < 6; ++i) {
        const bool left = i < 3;
        const int y = kMotorRows[i % 3];
        const QRect edit = left ? QRect(64, y, 52, 20) : QRect(246, y, 52, 20);
        const QRect caption = left ? QRect(8, y + 3, 55, 14) : QRect(124, y + 3, 120, 14);
        // The first two start at 0, the last four empty.
        *motorBoxes[i] =
            addEdit(motors, motorRows[i].first, edit, i < 2 ? QStringLiteral("0") : QString());
        addCaption(motors, (QByteArray("l") + (motorRows[i].first + 2)).constData(), caption,
                   QString::fromLatin1(motorRows[i].second), *motorBoxes[i]);
    }
    auto* fullStep = addCaption(motors, "lPwmFNote", {124, 31, 120, 13},
                                QStringLiteral("(+128=passo intero)"), nullptr);
    edPwmF_->setAccessibleDescription(fullStep->text());

    // The +24 V output.
    auto* v24 = group("gbV24", QStringLiteral(" Gestione +24V "), {4, 204, 266, 122});
    edV24msg_ = textBox(v24, "edV24msg", {8, 28, 250, 20}, 0);
    addCaption(v24, "lV24msg", {8, 14, 250, 14}, QStringLiteral("Messaggio di +24V attivo"),
               edV24msg_);
    for (int i = 0; i < 3; ++i) {
        const int y = 52 + 22 * i;
        const QByteArray row = QByteArray::number(i + 1);
        ed24vl_[i] =
            addEdit(v24, ("ed24vl" + row).constData(), {76, y, 60, 20}, QStringLiteral("0"));
        ed24vh_[i] =
            addEdit(v24, ("ed24vh" + row).constData(), {186, y, 60, 20}, QStringLiteral("0"));
        addCaption(v24, ("l24vl" + row).constData(), {8, y + 3, 66, 14},
                   QStringLiteral("+24V da KHz:"), ed24vl_[i]);
        addCaption(v24, ("l24vh" + row).constData(), {144, y + 3, 40, 14}, QStringLiteral("a KHz:"),
                   ed24vh_[i]);
        // The three rows share their captions: the row number tells them apart.
        ed24vl_[i]->setAccessibleName(QStringLiteral("+24V da KHz: %1").arg(i + 1));
        ed24vh_[i]->setAccessibleName(QStringLiteral("a KHz: %1").arg(i + 1));
    }

    pbTransfer_ = make<QProgressBar>(this, "pbTransfer", QRect(278, 266, 337, 18));
    pbTransfer_->setFormat(QStringLiteral("blocco %v/%m"));
    pbTransfer_->setAccessibleName(QStringLiteral("Blocchi trasferiti"));
    pbTransfer_->hide();

    auto button = [this](const char* name, const QString& caption, const QRect& place) {
        return make<QPushButton>(this, name, place, caption);
    };
    btRicevi_ = button("btRicevi", QStringLiteral("Salva..."), {278, 296, 76, 25});
    btInvia_ = button("btInvia", QStringLiteral("Carica..."), {360, 296, 76, 25});
    btAggiorna_ = button("btAggiorna", QStringLiteral("Aggiorna Skarnel"), {442, 296, 100, 25});
    btChiudi_ = button("btChiudi", QStringLiteral("Chiudi"), {548, 296, 67, 25});
    btRicevi_->setEnabled(false);
    btInvia_->setEnabled(false);
    connect(btRicevi_, &QPushButton::clicked, this, &SetupPanel::btRiceviClick);
    connect(btInvia_, &QPushButton::clicked, this, &SetupPanel::btInviaClick);
    connect(btAggiorna_, &QPushButton::clicked, this, &SetupPanel::btAggiornaClick);
    connect(btChiudi_, &QPushButton::clicked, this, &SetupPanel::btChiudiClick);

    // Model group, formula group, motor group, +24 V group, then the buttons.
    const std::vector<QWidget*> order{edModel_,   edWelcome_, edMotori_,   edBande_,   edExtMin_,
                                      edExtMax1_, edExtMax2_, edExtMax3_,  edExtMax4_, edPP_,
                                      edPD_,      edK_,       edVelMin_,   edVelMax_,  edAcc_,
                                      edPwmF_,    edPwmR_,    edPwmC_,     edV24msg_,  ed24vl_[0],
                                      ed24vh_[0], ed24vl_[1], ed24vh_[1],  ed24vl_[2], ed24vh_[2],
                                      btRicevi_,  btInvia_,   btAggiorna_, btChiudi_};
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

// --- what the transfers report ---

void SetupPanel::attach(const ServiceStripControls& strip) {
    strip_ = strip;
}

void SetupPanel::transferHeld(TransferKind kind) {
    // "Setup..." is off from a transfer's start; under the open panel, until "Chiudi".
    if (strip_.btImposta) strip_.btImposta->setEnabled(false);
    if (kind != TransferKind::Backup && kind != TransferKind::Restore) return;
    (kind == TransferKind::Backup ? btRicevi_ : btInvia_)->setEnabled(false);
    if (strip_.btRetract) strip_.btRetract->setEnabled(false);
    if (strip_.mmLog) strip_.mmLog->show();
}

void SetupPanel::transferReleased(TransferKind kind) {
    switch (kind) {
        case TransferKind::PanelRead:
            buttonsBack({btRicevi_, strip_.btImposta, btInvia_});
            break;
        case TransferKind::Backup:
        case TransferKind::Restore:
            if (strip_.mmLog) strip_.mmLog->hide();
            buttonsBack({kind == TransferKind::Backup ? btRicevi_ : btInvia_, strip_.btImposta,
                         strip_.btRetract});
            break;
        case TransferKind::Update:
            break;
    }
}

void SetupPanel::inputHeld(bool held) {
    if (held) {
        if (!inputBlock_) inputBlock_ = std::make_unique<InputBlock>();
    } else {
        inputBlock_.reset();
    }
}

void SetupPanel::logCleared() {
    if (strip_.mmLog) strip_.mmLog->clear();
}

void SetupPanel::logLine(std::string_view line) {
    if (strip_.mmLog)
        strip_.mmLog->appendPlainText(
            QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
}

UnitSelection SetupPanel::units() const {
    UnitSelection units;
    if (strip_.ckSK2200) units.linked = strip_.ckSK2200->isChecked();
    if (strip_.cbSlave) units.index = strip_.cbSlave->currentIndex();
    return units;
}

void SetupPanel::result(const std::string& text) {
    if (strip_.lResult) strip_.lResult->setText(QString::fromStdString(text));
}

void SetupPanel::progress(int done, int total) {
    pbTransfer_->setRange(0, total);
    pbTransfer_->setValue(done);
    pbTransfer_->show();
    result("blocco " + std::to_string(done) + "/" + std::to_string(total));
}

void SetupPanel::progressEnded() {
    pbTransfer_->hide();
}

void SetupPanel::notify(const QString& text) {
    context_.dialogs.message(this, kTitle, text);
}

void SetupPanel::tell(const std::string& text) {
    notify(QString::fromStdString(text));
}

void SetupPanel::announce(const std::string& text) {
    if (context_.announce) context_.announce(QString::fromStdString(text));
}

std::optional<std::filesystem::path> SetupPanel::backupPath() {
    const auto name = context_.dialogs.saveFileName(
        this, kFilter, QString::fromLatin1(kSetupFileExtension.data()), lastFolder_);
    if (!name) return std::nullopt;
    lastFolder_ = QFileInfo(*name).absolutePath();
    return std::filesystem::path(name->toStdString());
}

void SetupPanel::panelOpened(const PanelValues& values) {
    showValues(values);
    show();
    raise();
    edModel_->setFocus();
}

void SetupPanel::panelValues(const PanelValues& values) {
    showValues(values);
}

std::vector<SetupPanel::NumberBox> SetupPanel::numberBoxes(std::uint16_t version) const {
    const std::string_view layout = FactoryLayout2;
    auto box = [&](QLineEdit* edit, const char* field) {
        return NumberBox{edit, field, static_cast<int>(findField(layout, field)->width)};
    };
    std::vector<NumberBox> boxes{box(edVelMax_, "mot_maxvel"),     box(edVelMin_, "mot_minvel"),
                                 box(edAcc_, "mot_accel"),         box(edPwmR_, "pwm_rampa"),
                                 box(edPwmC_, "pwm_crociera"),     box(edPwmF_, "pwm_freq"),
                                 box(edK_, "k_freq2mm"),           box(edExtMin_, "min_estensio"),
                                 box(edExtMax1_, "max_estensio"),  box(edExtMax2_, "max_estensio2"),
                                 box(edExtMax3_, "max_estensio3"), box(edExtMax4_, "max_estensio4"),
                                 box(edPP_, "k_mm2s_passi"),       box(edPD_, "k_mm2s_mm"),
                                 box(edBande_, "max_tpband"),      box(edMotori_, "max_driver")};
    if (version >= kFirmware130) {
        const char* low[] = {"v24l1", "v24l2", "v24l3"};
        const char* high[] = {"v24h1", "v24h2", "v24h3"};
        for (int i = 0; i < 3; ++i) boxes.push_back(box(ed24vl_[i], low[i]));
        for (int i = 0; i < 3; ++i) boxes.push_back(box(ed24vh_[i], high[i]));
    }
    return boxes;
}

std::optional<std::int32_t> SetupPanel::numberOf(const NumberBox& box) {
    const QString text = box.edit->text().trimmed();
    const auto value = parseInteger(text.toStdString());
    QString problem;
    if (!value) {
        // Where it goes, as a setup file names it: every number box is a Factory field.
        problem = QStringLiteral("'%1' is not a valid integer value in [Factory] %2")
                      .arg(box.edit->text(), QString::fromLatin1(box.field));
    } else if (!fitsFieldWidth(*value, box.width)) {
        const auto caption = captions_.find(box.edit);
        problem = QStringLiteral("%1 %2 does not fit its %3-byte field (%4).")
                      .arg(caption != captions_.end() ? caption->second->text()
                                                      : QString::fromLatin1(box.field),
                           text)
                      .arg(box.width)
                      .arg(QString::fromStdString(fieldRangeText(box.width)));
    }
    if (problem.isEmpty()) return value;
    notify(problem);
    box.edit->setFocus();
    box.edit->selectAll();
    return std::nullopt;
}

bool SetupPanel::textsFit(std::uint16_t version, const SetupEdits& edits) {
    // The controller would hold only the first characters of a longer text: refused, as a
    // setup file's is, rather than cut unseen.
    const std::pair<QLineEdit*, const char*> boxes[] = {
        {edModel_, "model"}, {edWelcome_, "welcome"}, {edV24msg_, "v24mess"}};
    for (const auto& [edit, key] : boxes) {
        if (std::string_view(key) == "v24mess" && version < kFirmware130) continue;
        const std::string_view layout = std::string_view(key) == "welcome" && version < kFirmware113
                                            ? UserLayout1
                                            : FactoryLayout2;
        const auto width = static_cast<int>(findField(layout, key)->width);
        const auto length = static_cast<int>(edits.texts.find(key)->second.size());
        if (length <= width) continue;
        const auto caption = captions_.find(edit);
        notify(QStringLiteral("%1 is %2 characters long; its field holds 0 to %3 characters.")
                   .arg(caption != captions_.end() ? caption->second->text()
                                                   : QString::fromLatin1(key))
                   .arg(length)
                   .arg(width));
        edit->setFocus();
        edit->selectAll();
        return false;
    }
    return true;
}

// --- the operator's clicks ---

bool SetupPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == window()) {
        // Before the window shuts the link: nothing more goes out, no box opens, and the
        // buttons and poll are as they were (the poll's timer stays stopped once closed).
        context_.transfers.abandon();
    }
    return QFrame::eventFilter(watched, event);
}

void SetupPanel::btImpostaClick() {
    if (!context_.transfers.openPanel()) QApplication::beep();
}

void SetupPanel::showValues(const PanelValues& values) {
    const std::uint16_t version = values.version;
    const std::string& log = values.log;
    auto number = [&](const char* name) { return QString::number(LogInteger(log, name)); };
    const bool newer = version >= kFirmware113;
    showText(edVelMax_, number("mot_maxvel"));
    showText(edVelMin_, number("mot_minvel"));
    showText(edExtMax1_, number("max_estensio"));
    showText(edExtMin_, number("min_estensio"));
    // The one four-byte field may hold a negative number, which the log's digits rule reads
    // as 0 and an update would then write: it is shown as the block holds it.
    const auto k = findField(factoryLayout(version), "k_freq2mm");
    const auto kHeld = k ? readInteger(values.factory, *k) : std::nullopt;
    showText(edK_, kHeld ? QString::number(*kHeld) : number("k_freq2mm"));
    showText(edPP_, number("k_mm2s_passi"));
    showText(edPD_, number("k_mm2s_mm"));
    showText(edBande_, number("max_tpband"));
    showText(edMotori_, number("max_driver"));
    showText(edModel_, fromBytes(LogText(log, "model")));
    // Before 1.13 the welcome text is the User block's, the first welcome line of the log all
    // the same, as the Factory layout has none.
    showText(edWelcome_, fromBytes(LogText(log, "welcome")));
    for (auto [edit, field] :
         {std::pair{edExtMax2_, "max_estensio2"}, std::pair{edExtMax3_, "max_estensio3"},
          std::pair{edExtMax4_, "max_estensio4"}}) {
        showText(edit, newer ? number(field) : QStringLiteral("0"));
        edit->setEnabled(newer);
    }
    showText(edPwmR_, number("pwm_rampa"));
    showText(edPwmC_, number("pwm_crociera"));
    showText(edAcc_, number("mot_accel"));
    showText(edPwmF_, number("pwm_freq"));
    const char* low[] = {"v24l1", "v24l2", "v24l3"};
    const char* high[] = {"v24h1", "v24h2", "v24h3"};
    for (int i = 0; i < 3; ++i) {
        showText(ed24vl_[i], number(low[i]));
        showText(ed24vh_[i], number(high[i]));
    }
    showText(edV24msg_, fromBytes(LogText(log, "v24mess")));
}

void SetupPanel::btAggiornaClick() {
    if (context_.transfers.running()) {
        QApplication::beep();
        return;
    }
    btAggiorna_->setEnabled(false);
    const std::uint16_t version = context_.firmwareVersion();
    // Every box is checked before anything is read or sent.
    SetupEdits edits;
    for (const NumberBox& box : numberBoxes(version)) {
        const auto value = numberOf(box);
        if (!value) return;
        edits.numbers.emplace(box.field, *value);
    }
    edits.texts.emplace("model", toBytes(edModel_->text()));
    edits.texts.emplace("welcome", toBytes(edWelcome_->text()));
    edits.texts.emplace("v24mess", toBytes(edV24msg_->text()));
    if (!textsFit(version, edits)) return;
    // "Aggiorna Skarnel" comes back with the link timer; nothing else is switched.
    context_.transfers.update(version, std::move(edits));
}

void SetupPanel::showEvent(QShowEvent* event) {
    QFrame::showEvent(event);
    btAggiorna_->setDefault(true);
}

void SetupPanel::hideEvent(QHideEvent* event) {
    QFrame::hideEvent(event);
    btAggiorna_->setDefault(false);
}

void SetupPanel::btChiudiClick() {
    if (!context_.transfers.closePanel()) {
        QApplication::beep();
        return;
    }
    hide();
    buttonsBack({btRicevi_, strip_.btImposta, btInvia_});
}

void SetupPanel::btRiceviClick() {
    if (!context_.transfers.backup()) QApplication::beep();
}

void SetupPanel::btInviaClick() {
    if (context_.transfers.running()) {
        QApplication::beep();
        return;
    }
    const auto name = context_.dialogs.openFileName(
        this, kFilter, QString::fromLatin1(kSetupFileExtension.data()), lastFolder_);
    // The dialog's own event loop may have let another transfer start.
    if (!name || context_.transfers.running()) return;
    lastFolder_ = QFileInfo(*name).absolutePath();
    if (const std::string problem = context_.transfers.restore(name->toStdString());
        !problem.empty()) {
        // The last transfer's "sent" would read as this file's result: back to the line's
        // blank of the start.
        result("--");
        notify(QString::fromStdString(problem));
    }
}

void SetupPanel::buttonsBack(std::initializer_list<QPushButton*> buttons) {
    // A device lost meanwhile keeps them off: the poll's first reply after its return turns
    // them on. "Setup..." stays off under the open panel, as it is from its opening to "Chiudi".
    const bool linkThere = context_.portOpen();
    for (QPushButton* b : buttons) {
        if (!b) continue;
        b->setEnabled(linkThere && !(b == strip_.btImposta && !isHidden()));
    }
}

}  // namespace kt6
