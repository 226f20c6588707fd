#include "console/setup_panel.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
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
#include <QTimer>
#include <QValidator>
#include <cstdio>

#include "console/colours.h"
#include "console/dialogs.h"
#include "console/qt_scheduler.h"
#include "memory/block_codec.h"
#include "memory/code_page.h"
#include "memory/setup_file.h"
#include "memory/setup_log.h"
#include "memory/setup_update.h"

namespace kt6 {

namespace {

const QString kTitle = QStringLiteral("Skarnel");
const QString kReceiveError = QStringLiteral("Errore in ricezione dati.");
const QString kReceiveFailed = QStringLiteral("Ricezione impostazioni fallita.");
const QString kReceived = QStringLiteral("Ricezione dati eseguita correttamente.");
const QString kSendError = QStringLiteral("Errore in invio dati. Prego riprovare");
const QString kSendFailed = QStringLiteral("Trasmissione dati non eseguita.");
const QString kSent = QStringLiteral("Trasmissione dati eseguita correttamente.");
const QString kWriteError = QStringLiteral("Errore in scrittura dati.");
const QString kBackupSaved = QStringLiteral("Backup saved to %1");
const QString kBackupNotSaved = QStringLiteral("Backup not saved: %1");
const QString kTransferBusy = QStringLiteral("busy: a backup or restore is running");
const QString kAbandoned = QStringLiteral("the console closed before the transfer ended");
const QString kPartlyLoaded =
    QStringLiteral("Loaded %1 blocks; %2 not in the file were left as they were");

// Tells whoever asked through the interface how the transfer ended; empty error: it went through.
void tellRemote(const std::shared_ptr<RemoteTransfer>& remote, const QString& error) {
    if (remote && remote->done) remote->done(error);
}
const QString kUpdateNotSent = QStringLiteral("Update not sent: %1");
const QString kPanelNotOpened = QStringLiteral("Setup not read: %1");
const QString kNotRefreshed = QStringLiteral("Setup values not read back: %1");
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
    : QFrame(parent),
      context_(std::move(context)),
      transfer_(context_.link),
      run_(transfer_, context_.scheduler) {
    setObjectName(QStringLiteral("pnImposta"));
    setGeometry(geometry);
    setFrameShape(QFrame::NoFrame);
    setBackground(this, NamedColour::clBtnFace);
    lastFolder_ = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    build();
    hide();
    if (QWidget* top = window(); top != this) top->installEventFilter(this);
}

QLineEdit* SetupPanel::addEdit(QWidget* group, const char* name, const QRect& place,
                               const QString& text) {
    auto* edit = new QLineEdit(text, group);
    edit->setObjectName(QString::fromLatin1(name));
    edit->setGeometry(place);
    // Enter presses the panel's default button, "Aggiorna Skarnel".
    connect(edit, &QLineEdit::returnPressed, this, [this] { btAggiorna_->click(); });
    return edit;
}

QLabel* SetupPanel::addCaption(QWidget* group, const char* name, const QRect& place,
                               const QString& text, QLineEdit* buddy) {
    auto* label = new QLabel(text, group);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(place);
    if (buddy) {
        label->setBuddy(buddy);
        captions_[buddy] = label;
    }
    return label;
}

void SetupPanel::build() {
    auto group = [this](const char* name, const QString& title, const QRect& place) {
        auto* g = new LineTitledGroup(title, this);
        g->setObjectName(QString::fromLatin1(name));
        g->setGeometry(place);
        return g;
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

    pbTransfer_ = new QProgressBar(this);
    pbTransfer_->setObjectName(QStringLiteral("pbTransfer"));
    pbTransfer_->setGeometry(278, 266, 337, 18);
    pbTransfer_->setFormat(QStringLiteral("blocco %v/%m"));
    pbTransfer_->setAccessibleName(QStringLiteral("Blocchi trasferiti"));
    pbTransfer_->hide();

    auto button = [this](const char* name, const QString& caption, const QRect& place) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(place);
        return b;
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

// --- shared steps ---

void SetupPanel::attach(const ServiceStripControls& strip) {
    strip_ = strip;
    transfer_.setLogSink([this](std::string_view line) {
        if (strip_.mmLog)
            strip_.mmLog->appendPlainText(
                QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size())));
    });
}

void SetupPanel::clearLog() {
    transfer_.clearLog();
    if (strip_.mmLog) strip_.mmLog->clear();
}

void SetupPanel::syncUnits() {
    UnitSelection units;
    if (strip_.ckSK2200) units.linked = strip_.ckSK2200->isChecked();
    if (strip_.cbSlave) units.index = strip_.cbSlave->currentIndex();
    transfer_.setUnits(units);
}

void SetupPanel::setResult(const QString& text) {
    if (strip_.lResult) strip_.lResult->setText(text);
}

void SetupPanel::showProgress(int done, int total) {
    pbTransfer_->setRange(0, total);
    pbTransfer_->setValue(done);
    pbTransfer_->show();
    setResult(QStringLiteral("blocco %1/%2").arg(done).arg(total));
}

void SetupPanel::endProgress() {
    pbTransfer_->hide();
}

void SetupPanel::notify(const QString& text) {
    // A transfer cut short by the window closing has nobody left to tell.
    if (context_.link.isShutDown()) return;
    context_.dialogs.message(this, kTitle, text);
}

void SetupPanel::announce(const QString& text) {
    // As with the boxes: a closing window has no bar left to show it in.
    if (context_.link.isShutDown() || !context_.announce) return;
    context_.announce(text);
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

// --- the transfer under way ---

void SetupPanel::beginTransfer(std::function<void()> restore) {
    ++transferId_;
    sequence_.emplace(transfer_);
    restore_ = std::move(restore);
}

void SetupPanel::dropInput() {
    if (!inputBlock_) inputBlock_ = std::make_unique<InputBlock>();
}

void SetupPanel::walk(bool preamble, std::vector<TransferRun::BlockStep> steps,
                      std::function<void(TransferEnd)> then) {
    dropInput();
    run_.start(preamble, std::move(steps), {}, [this, then = std::move(then)](TransferEnd end) {
        afterTurn([then, end] { then(end); });
    });
}

void SetupPanel::afterTurn(std::function<void()> work) {
    inputBlock_.reset();
    QTimer::singleShot(0, this, [this, id = transferId_, work = std::move(work)] {
        // A transfer ended meanwhile (the window closing) has nothing left to tell.
        if (id != transferId_ || !sequence_) return;
        work();
        if (id == transferId_ && !run_.busy()) endTransfer();
    });
}

void SetupPanel::endTransfer() {
    run_.cancel();
    inputBlock_.reset();
    if (auto restore = std::exchange(restore_, nullptr)) restore();
    sequence_.reset();
    ++transferId_;
}

void SetupPanel::abandonTransfer() {
    if (sequence_) endTransfer();
}

bool SetupPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Close && watched == window() && sequence_) {
        // Before the window shuts the link: nothing more goes out, no box opens, and the
        // buttons and poll are as they were (the poll's timer stays stopped once closed).
        endTransfer();
    }
    return QFrame::eventFilter(watched, event);
}

// --- open, update, close ---

void SetupPanel::btImpostaClick() {
    if (transfer_.running()) {
        QApplication::beep();
        return;
    }
    // Put back only when the panel does not open.
    beginTransfer([this] {
        context_.setPollRunning(true);
        buttonsBack({btRicevi_, strip_.btImposta, btInvia_});
    });
    clearLog();
    context_.setPollRunning(false);
    if (strip_.btImposta) strip_.btImposta->setEnabled(false);
    syncUnits();
    auto read = std::make_shared<PanelRead>();
    walk(true, panelReadSteps(read), [this, read](TransferEnd end) {
        if (end == TransferEnd::Abandoned) return;
        if (read->failure) {
            notify(kReceiveError);
            setResult(kReceiveFailed);
            announce(kPanelNotOpened.arg(*read->failure));
            return;
        }
        // Open: the poll stays stopped and "Setup..." disabled until "Chiudi".
        restore_ = nullptr;
        showValues(read->version);
        show();
        raise();
        edModel_->setFocus();
    });
}

std::vector<TransferRun::BlockStep> SetupPanel::panelReadSteps(std::shared_ptr<PanelRead> read) {
    return {[this, read](TransferRun::StepDone done) {
                read->version = context_.firmwareVersion();
                clearLog();
                readPanelBlock(kFactoryBlock, "Factory", read, std::move(done));
            },
            [this, read](TransferRun::StepDone done) {
                readPanelBlock(kUserBlock, "User", read, std::move(done));
            }};
}

void SetupPanel::readPanelBlock(int block, const char* section, std::shared_ptr<PanelRead> read,
                                TransferRun::StepDone done) {
    const auto info = blockInfo(block, read->version);
    transfer_.ReadBlockToLog(
        block, info->layout, section, [this, block, read, done = std::move(done)](bool failed) {
            if (failed) {
                read->failure = QString::fromStdString(
                    blockFaultText(transfer_.lastFault().value_or(BlockFault{})));
                done(false);
                return;
            }
            (block == kFactoryBlock ? heldFactory_ : heldUser_) = transfer_.lastBlock();
            done(true);
        });
}

void SetupPanel::showValues(std::uint16_t version) {
    const std::string& log = transfer_.logText();
    auto number = [&](const char* name) { return QString::number(LogInteger(log, name)); };
    const bool newer = version >= kFirmware113;
    showText(edVelMax_, number("mot_maxvel"));
    showText(edVelMin_, number("mot_minvel"));
    showText(edExtMax1_, number("max_estensio"));
    showText(edExtMin_, number("min_estensio"));
    // The one four-byte field may hold a negative number, which the log's digits rule reads
    // as 0 and an update would then write: it is shown as the block holds it.
    const auto k = findField(factoryLayout(version), "k_freq2mm");
    const auto kHeld = k ? readInteger(heldFactory_, *k) : std::nullopt;
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
    if (transfer_.running()) {
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
    beginTransfer({});
    syncUnits();
    // The boxes go over the blocks as the controller holds them now, not as they were when
    // the panel opened: a load since then, or a field the panel does not show, must not be
    // written back stale.
    auto read = std::make_shared<PanelRead>();
    walk(false, panelReadSteps(read), [this, read, version, edits](TransferEnd end) {
        if (end == TransferEnd::Abandoned) return;
        if (read->failure) {
            notify(kReceiveError + QStringLiteral("\n") + kUpdateNotSent.arg(*read->failure));
            announce(kUpdateNotSent.arg(*read->failure));
            return;
        }
        const auto blocks = composeSetupBlocks(version, heldFactory_, heldUser_, edits);
        if (!blocks) {
            notify(kWriteError);
            return;
        }
        writeSetupBlock(kWriteFactoryCommand, blocks->factory, [this, user = blocks->user] {
            writeSetupBlock(kWriteUserCommand, user, [this] { refreshValues(); });
        });
    });
}

void SetupPanel::writeSetupBlock(std::uint8_t command, const Bytes& block,
                                 std::function<void()> then) {
    auto failed = std::make_shared<bool>(false);
    walk(false, {[this, command, block, failed](TransferRun::StepDone done) {
             transfer_.WriteSetupBlock(command, block, [failed, done = std::move(done)](bool f) {
                 *failed = f;
                 done(true);
             });
         }},
         [this, failed, then = std::move(then)](TransferEnd end) {
             if (end == TransferEnd::Abandoned) return;
             // What comes next goes out once the operator has seen this.
             if (*failed) notify(kWriteError);
             then();
         });
}

void SetupPanel::refreshValues() {
    // Shows what the controller holds now, so the next update starts from its values.
    auto read = std::make_shared<PanelRead>();
    walk(false, panelReadSteps(read), [this, read](TransferEnd end) {
        if (end == TransferEnd::Abandoned) return;
        if (read->failure) {
            announce(kNotRefreshed.arg(*read->failure));
            return;
        }
        showValues(read->version);
    });
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
    if (transfer_.running()) {
        QApplication::beep();
        return;
    }
    hide();
    context_.setPollRunning(true);
    buttonsBack({btRicevi_, strip_.btImposta, btInvia_});
}

// --- setup file ---

void SetupPanel::btRiceviClick() {
    if (transfer_.running()) {
        QApplication::beep();
        return;
    }
    startSave(nullptr);
}

void SetupPanel::holdStripFor(QPushButton* own) {
    clearLog();
    own->setEnabled(false);
    if (strip_.btImposta) strip_.btImposta->setEnabled(false);
    if (strip_.btRetract) strip_.btRetract->setEnabled(false);
    context_.setPollRunning(false);
    if (strip_.mmLog) strip_.mmLog->show();
}

TransferProgress SetupPanel::progressTo(std::shared_ptr<RemoteTransfer> remote) {
    return [this, remote = std::move(remote)](int done, int total) {
        showProgress(done, total);
        if (remote && remote->progress) remote->progress(done, total);
    };
}

QString SetupPanel::saveTo(RemoteTransfer remote) {
    if (transfer_.running()) return kTransferBusy;
    startSave(std::make_shared<RemoteTransfer>(std::move(remote)));
    return {};
}

void SetupPanel::startSave(std::shared_ptr<RemoteTransfer> remote) {
    beginTransfer([this] {
        endProgress();
        if (strip_.mmLog) strip_.mmLog->hide();
        resumePoll();
        buttonsBack({btRicevi_, strip_.btImposta, strip_.btRetract});
    });
    holdStripFor(btRicevi_);
    syncUnits();
    dropInput();
    startBackup(run_, context_.firmwareVersion(), progressTo(remote),
                [this, remote](const BackupResult& result) {
                    afterTurn([this, result, remote] { saveEnded(result, remote); });
                });
}

void SetupPanel::saveEnded(const BackupResult& result, std::shared_ptr<RemoteTransfer> remote) {
    endProgress();
    if (result.abandoned) {
        tellRemote(remote, kAbandoned);
        return;
    }
    if (!result.complete()) {
        // Nothing is written: a file without every block would pass for a backup later, and
        // an older whole one at that path is worth more.
        const QString why =
            kBackupNotSaved.arg(QString::fromStdString(failedBlocksText(result.failed)));
        // Whoever asked through the interface hears it there: no box for the operator.
        if (!remote) notify(result.received ? why : kReceiveError);
        setResult(result.received ? why : kReceiveFailed);
        // Replaces any earlier "saved" still showing, which would now mislead.
        announce(why);
        // The box keeps its one line; whoever asked hears which block and why.
        tellRemote(remote, why);
        return;
    }
    setResult(kReceived);
    const auto name =
        remote ? std::optional<QString>(QString::fromStdString(remote->path.string()))
               : context_.dialogs.saveFileName(
                     this, kFilter, QString::fromLatin1(kSetupFileExtension.data()), lastFolder_);
    if (!name) return;
    if (!remote) lastFolder_ = QFileInfo(*name).absolutePath();
    std::string error;
    if (!writeFileAtomically(name->toStdString(), transfer_.fileText(), &error)) {
        const QString why = kBackupNotSaved.arg(QString::fromStdString(error));
        if (!remote)
            notify(QStringLiteral("The setup file was not saved: %1")
                       .arg(QString::fromStdString(error)));
        announce(why);
        tellRemote(remote, why);
        return;
    }
    QString saved = kBackupSaved.arg(QDir::toNativeSeparators(*name));
    // The file is no byte-exact copy where a text's line break had to become a space.
    if (const std::string note = spacedTextsNote(result); !note.empty())
        saved += QStringLiteral("; ") + QString::fromStdString(note);
    announce(saved);
    tellRemote(remote, {});
}

void SetupPanel::btInviaClick() {
    if (transfer_.running()) {
        QApplication::beep();
        return;
    }
    const auto name = context_.dialogs.openFileName(
        this, kFilter, QString::fromLatin1(kSetupFileExtension.data()), lastFolder_);
    // The dialog's own event loop may have let another transfer start.
    if (!name || transfer_.running()) return;
    lastFolder_ = QFileInfo(*name).absolutePath();
    if (const QString problem = startLoad(name->toStdString(), nullptr); !problem.isEmpty()) {
        // The last transfer's "sent" would read as this file's result: back to the line's
        // blank of the start.
        setResult(QStringLiteral("--"));
        notify(problem);
    }
}

QString SetupPanel::loadFrom(RemoteTransfer remote) {
    if (transfer_.running()) return kTransferBusy;
    const std::filesystem::path path = remote.path;
    return startLoad(path, std::make_shared<RemoteTransfer>(std::move(remote)));
}

QString SetupPanel::startLoad(const std::filesystem::path& path,
                              std::shared_ptr<RemoteTransfer> remote) {
    syncUnits();
    const std::uint16_t version = context_.firmwareVersion();
    auto source = std::make_unique<ProfileFile>(path);
    // The whole file is checked before the first block goes out.
    if (auto problem = checkSetupFile(*source, version, transfer_.units().linked))
        return QString::fromStdString(*problem);
    beginTransfer([this] {
        endProgress();
        if (strip_.mmLog) strip_.mmLog->hide();
        buttonsBack({btInvia_, strip_.btImposta, strip_.btRetract});
        resumePoll();
        transfer_.freeSourceIni();
    });
    holdStripFor(btInvia_);
    transfer_.setSourceIni(std::move(source));
    dropInput();
    startRestore(run_, version, progressTo(remote), [this, remote](const RestoreResult& result) {
        afterTurn([this, result, remote] { loadEnded(result, remote); });
    });
    return {};
}

void SetupPanel::loadEnded(const RestoreResult& result, std::shared_ptr<RemoteTransfer> remote) {
    endProgress();
    if (context_.link.isShutDown()) {
        tellRemote(remote, kAbandoned);
        return;
    }
    if (result.failed()) {
        const QString why = QString::fromStdString(restoreStoppedText(result));
        if (!remote) notify(kSendError);
        setResult(kSendFailed);
        announce(why);
        tellRemote(remote, why);
        return;
    }
    setResult(kSent);
    // A file without some sections loads what it has; the rest of the controller's memory is
    // as it was, which the operator is told rather than left to assume a whole restore.
    if (result.skipped > 0) announce(kPartlyLoaded.arg(result.sent).arg(result.skipped));
    // The boxes showed the blocks as they were before the load; an update from them would
    // write the old values back.
    if (!isHidden()) refreshValues();
    if (remote && remote->loaded) remote->loaded(result.sent, result.skipped);
    tellRemote(remote, {});
}

void SetupPanel::buttonsBack(std::initializer_list<QPushButton*> buttons) {
    // A device lost meanwhile keeps them off: the poll's first reply after its return turns
    // them on. "Setup..." stays off under the open panel, as it is from its opening to "Chiudi".
    const bool linkThere = context_.link.port().IsOpen();
    for (QPushButton* b : buttons) {
        if (!b) continue;
        b->setEnabled(linkThere && !(b == strip_.btImposta && !isHidden()));
    }
}

void SetupPanel::resumePoll() {
    // Under the open panel the poll stays stopped until "Chiudi", whatever happened meanwhile.
    if (isHidden()) context_.setPollRunning(true);
}

}  // namespace kt6
