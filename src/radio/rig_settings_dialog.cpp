#include "radio/rig_settings_dialog.h"

#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

namespace kt6 {
namespace {

constexpr int kSerialSpeeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
const QString kDefaultSpeed = QStringLiteral("Default");
const QString kNoRig = QStringLiteral("No rig (#0)");

std::size_t slot(int rigNumber) {
    return static_cast<std::size_t>(rigNumber - 1);
}

// The text field inside an editable list, where typing and the focus go, has no caption of its
// own: it carries the row's. The list gets it too, where a platform names a list by its caption
// rather than by its entry.
void nameAfterCaption(QComboBox* box, const QString& caption) {
    box->setAccessibleName(caption);
    box->lineEdit()->setAccessibleName(caption);
}

}  // namespace

RigSettingsDialog::RigSettingsDialog(std::vector<RigModelInfo> models, QWidget* parent)
    : QDialog(parent), models_(std::move(models)), shown_(defaultRigSettings()) {
    setObjectName(QStringLiteral("RigSettingsDialog"));
    setWindowTitle(QString::fromLatin1(kCaption));
    auto* layout = new QVBoxLayout(this);
    // A page per rig: each page's captions carry the same mnemonics, and only the page shown
    // answers them.
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tcRigs"));
    layout->addWidget(tabs_);
    for (int n = 1; n <= kRigCount; ++n) {
        auto* page = new QWidget(tabs_);
        page->setObjectName(QStringLiteral("gbRig%1").arg(n));
        tabs_->addTab(page, QStringLiteral("Rig &%1").arg(n));
        buildRig(n, page);
    }
    lProblems_ = new QLabel(this);
    lProblems_->setObjectName(QStringLiteral("lRigProblems"));
    lProblems_->setWordWrap(true);
    lProblems_->setStyleSheet(QStringLiteral("color: #800000"));
    layout->addWidget(lProblems_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("bbRig"));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &RigSettingsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    setSettings(shown_);
}

void RigSettingsDialog::buildRig(int rigNumber, QWidget* box) {
    RigControls& c = rigs_[slot(rigNumber)];
    auto* form = new QFormLayout(box);
    c.form = form;
    const auto row = [form](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, form->parentWidget());
        label->setBuddy(field);
        form->addRow(label, field);
    };

    c.source = new QComboBox(box);
    c.source->setObjectName(QStringLiteral("cbSource%1").arg(rigNumber));
    for (RigSource source : {RigSource::Hamlib, RigSource::N1mm, RigSource::Wsjtx}) {
        c.source->addItem(QString::fromLatin1(rigSourceCaption(source)), static_cast<int>(source));
    }
    row(QStringLiteral("&Source"), c.source);
    connect(c.source, &QComboBox::currentIndexChanged, this,
            [this, rigNumber] { sourceChosen(rigNumber); });

    c.model = new QComboBox(box);
    c.model->setObjectName(QStringLiteral("cbModel%1").arg(rigNumber));
    c.model->setEditable(true);
    c.model->setInsertPolicy(QComboBox::NoInsert);
    c.model->setMinimumContentsLength(32);
    c.model->addItem(kNoRig, 0);
    for (const RigModelInfo& m : models_) {
        c.model->addItem(QString::fromStdString(rigModelLabel(m)), m.model);
    }
    // Typing any part of the manufacturer, the name or the number finds the model.
    c.model->completer()->setFilterMode(Qt::MatchContains);
    c.model->completer()->setCompletionMode(QCompleter::PopupCompletion);
    row(QStringLiteral("&Model"), c.model);
    nameAfterCaption(c.model, QStringLiteral("Model"));

    c.port = new QLineEdit(box);
    c.port->setObjectName(QStringLiteral("edPort%1").arg(rigNumber));
    c.port->setPlaceholderText(QStringLiteral("host:port or /dev/ttyUSB0"));
    row(QStringLiteral("&Port"), c.port);

    c.speed = new QComboBox(box);
    c.speed->setObjectName(QStringLiteral("cbSpeed%1").arg(rigNumber));
    c.speed->setEditable(true);
    c.speed->setInsertPolicy(QComboBox::NoInsert);
    c.speed->addItem(kDefaultSpeed, 0);
    for (int s : kSerialSpeeds) c.speed->addItem(QString::number(s), s);
    row(QStringLiteral("Spee&d"), c.speed);
    nameAfterCaption(c.speed, QStringLiteral("Speed"));

    c.poll = new QSpinBox(box);
    c.poll->setObjectName(QStringLiteral("sePoll%1").arg(rigNumber));
    c.poll->setRange(static_cast<int>(kMinRigPoll.count()), static_cast<int>(kMaxRigPoll.count()));
    c.poll->setSingleStep(50);
    c.poll->setSuffix(QStringLiteral(" ms"));
    row(QStringLiteral("Poll &every"), c.poll);

    c.udpPort = new QSpinBox(box);
    c.udpPort->setObjectName(QStringLiteral("seUdpPort%1").arg(rigNumber));
    c.udpPort->setRange(1, 65535);
    row(QStringLiteral("&UDP port"), c.udpPort);

    c.bind = new QLineEdit(box);
    c.bind->setObjectName(QStringLiteral("edBind%1").arg(rigNumber));
    c.bind->setPlaceholderText(QString::fromLatin1(kDefaultUdpBind));
    c.bind->setToolTip(QStringLiteral(
        "127.0.0.1 hears a logger on this computer only; 0.0.0.0 hears every network"));
    row(QStringLiteral("&Listen on"), c.bind);

    c.radioNumber = new QSpinBox(box);
    c.radioNumber->setObjectName(QStringLiteral("seRadioNr%1").arg(rigNumber));
    c.radioNumber->setRange(1, 99);
    c.radioNumber->setToolTip(QStringLiteral("The logger's radio to follow (RadioNr)"));
    row(QStringLiteral("Radio &number"), c.radioNumber);

    c.step = new QSpinBox(box);
    c.step->setObjectName(QStringLiteral("seStep%1").arg(rigNumber));
    c.step->setRange(1, kMaxStepKHz);
    c.step->setSuffix(QStringLiteral(" kHz"));
    c.step->setToolTip(
        QStringLiteral("A new frequency is sent once it is this far from the last one sent, or "
                       "on another band"));
    row(QStringLiteral("&Retune step"), c.step);

    c.status = new QLabel(box);
    c.status->setObjectName(QStringLiteral("lRigStatus%1").arg(rigNumber));
    c.status->setWordWrap(true);
    form->addRow(QStringLiteral("Status"), c.status);

    c.test = new QPushButton(QStringLiteral("&Test"), box);
    c.test->setObjectName(QStringLiteral("btTest%1").arg(rigNumber));
    c.test->setAccessibleName(QStringLiteral("Test rig %1").arg(rigNumber));
    c.test->setToolTip(QStringLiteral("Connect with the settings above and read the frequency"));
    c.testResult = new QLabel(box);
    c.testResult->setObjectName(QStringLiteral("lTestResult%1").arg(rigNumber));
    c.testResult->setWordWrap(true);
    c.testResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(c.test, c.testResult);
    connect(c.test, &QPushButton::clicked, this, [this, rigNumber] { test(rigNumber); });

    // Any edit may turn the page's settings away from those in use, or back.
    const auto changed = [this, rigNumber] { refreshStatus(rigNumber); };
    connect(c.model, &QComboBox::currentTextChanged, this, changed);
    connect(c.port, &QLineEdit::textChanged, this, changed);
    connect(c.speed, &QComboBox::currentTextChanged, this, changed);
    connect(c.poll, &QSpinBox::valueChanged, this, changed);
    connect(c.udpPort, &QSpinBox::valueChanged, this, changed);
    connect(c.bind, &QLineEdit::textChanged, this, changed);
    connect(c.radioNumber, &QSpinBox::valueChanged, this, changed);
}

RigSource RigSettingsDialog::sourceOf(const RigControls& c) const {
    return static_cast<RigSource>(c.source->currentData().toInt());
}

void RigSettingsDialog::showSourceRows(int rigNumber) {
    RigControls& c = rigs_[slot(rigNumber)];
    const RigSource source = sourceOf(c);
    const bool hamlib = source == RigSource::Hamlib;
    for (QWidget* w : {static_cast<QWidget*>(c.model), static_cast<QWidget*>(c.port),
                       static_cast<QWidget*>(c.speed), static_cast<QWidget*>(c.poll)}) {
        c.form->setRowVisible(w, hamlib);
    }
    c.form->setRowVisible(c.udpPort, !hamlib);
    c.form->setRowVisible(c.bind, !hamlib);
    // WSJT-X has no radio number: each instance is one radio.
    c.form->setRowVisible(c.radioNumber, source == RigSource::N1mm);
}

void RigSettingsDialog::sourceChosen(int rigNumber) {
    RigControls& c = rigs_[slot(rigNumber)];
    const RigSource source = sourceOf(c);
    // The other logger's default port is no choice of the operator's: the new one's replaces it.
    const int port = c.udpPort->value();
    if (source != RigSource::Hamlib &&
        (port == defaultUdpPort(RigSource::N1mm) || port == defaultUdpPort(RigSource::Wsjtx))) {
        c.udpPort->setValue(defaultUdpPort(source));
    }
    showSourceRows(rigNumber);
    refreshStatus(rigNumber);
}

QString RigSettingsDialog::problems(int rigNumber) const {
    const RigControls& c = rigs_[slot(rigNumber)];
    QStringList found;
    const RigPortSettings r = settings().rig(rigNumber);
    if (r.source != RigSource::Hamlib) {
        if (const std::string p = rigUdpProblem(r); !p.empty()) found << QString::fromStdString(p);
        return found.join(QStringLiteral("; "));
    }
    if (const std::string p = rigPortProblem(r); !p.empty()) found << QString::fromStdString(p);
    const std::string speed = c.speed->currentText().trimmed().toStdString();
    if (const std::string p = rigSpeedProblem(speed); !p.empty())
        found << QString::fromStdString(p);
    if (c.model->findText(c.model->currentText()) < 0) {
        found << QStringLiteral("model \"%1\" is not in the list").arg(c.model->currentText());
    }
    return found.join(QStringLiteral("; "));
}

QString RigSettingsDialog::problems() const {
    QStringList all;
    for (int n = 1; n <= kRigCount; ++n) {
        if (const QString p = problems(n); !p.isEmpty())
            all << QStringLiteral("Rig %1: %2").arg(n).arg(p);
    }
    return all.join(QStringLiteral("\n"));
}

void RigSettingsDialog::accept() {
    const QString found = problems();
    lProblems_->setText(found);
    if (!found.isEmpty()) return;
    QDialog::accept();
}

void RigSettingsDialog::test(int rigNumber) {
    if (rigNumber < 1 || rigNumber > kRigCount) return;
    RigControls& c = rigs_[slot(rigNumber)];
    const int run = ++testRuns_[slot(rigNumber)];
    if (const QString p = problems(rigNumber); !p.isEmpty()) {
        c.testResult->setText(p);
        return;
    }
    if (!tester_) {
        c.testResult->setText(QStringLiteral("No rig server to test with"));
        return;
    }
    c.testResult->setText(QStringLiteral("Testing..."));
    QPointer<QLabel> label = c.testResult;
    tester_(rigNumber, settings().rig(rigNumber),
            [this, label, run, rigNumber](const QString& text) {
                if (!label || testRuns_[slot(rigNumber)] != run) return;
                label->setText(text);
            });
}

QString RigSettingsDialog::testResult(int rigNumber) const {
    if (rigNumber < 1 || rigNumber > kRigCount) return {};
    return rigs_[slot(rigNumber)].testResult->text();
}

void RigSettingsDialog::selectModel(RigControls& c, int model) {
    int index = c.model->findData(model);
    if (index < 0) {
        // A model this libhamlib does not list is kept, not silently replaced.
        c.model->addItem(QStringLiteral("Model #%1").arg(model), model);
        index = c.model->count() - 1;
    }
    c.model->setCurrentIndex(index);
}

void RigSettingsDialog::setSettings(const RigSettings& settings) {
    shown_ = settings;
    for (int n = 1; n <= kRigCount; ++n) {
        RigControls& c = rigs_[slot(n)];
        const RigPortSettings& r = settings.rig(n);
        selectModel(c, r.model);
        c.port->setText(QString::fromStdString(r.port));
        const int speedIndex = c.speed->findData(r.speed);
        if (speedIndex >= 0) {
            c.speed->setCurrentIndex(speedIndex);
        } else {
            c.speed->setEditText(QString::number(r.speed));
        }
        c.poll->setValue(static_cast<int>(r.poll.count()));
        c.udpPort->setValue(r.udpPort);
        c.bind->setText(QString::fromStdString(r.bind));
        c.radioNumber->setValue(r.radioNumber);
        c.step->setValue(r.stepKHz);
        // Last: choosing the source looks at the port just set.
        const QSignalBlocker quiet(c.source);
        c.source->setCurrentIndex(c.source->findData(static_cast<int>(r.source)));
        showSourceRows(n);
        refreshStatus(n);
    }
}

RigSettings RigSettingsDialog::settings() const {
    RigSettings out = shown_;
    for (int n = 1; n <= kRigCount; ++n) {
        const RigControls& c = rigs_[slot(n)];
        RigPortSettings& r = out.rig(n);
        const int modelIndex = c.model->findText(c.model->currentText());
        if (modelIndex >= 0) r.model = c.model->itemData(modelIndex).toInt();
        r.port = c.port->text().trimmed().toStdString();
        const QString speedText = c.speed->currentText().trimmed();
        bool ok = false;
        const int speed = speedText.toInt(&ok);
        r.speed = ok ? std::clamp(speed, 0, kMaxSerialSpeed) : 0;
        r.poll = std::chrono::milliseconds(c.poll->value());
        r.source = sourceOf(c);
        r.udpPort = c.udpPort->value();
        r.bind = c.bind->text().trimmed().toStdString();
        if (r.bind.empty()) r.bind = kDefaultUdpBind;
        r.radioNumber = c.radioNumber->value();
        r.stepKHz = c.step->value();
    }
    return out;
}

void RigSettingsDialog::setStatusLine(int rigNumber, const QString& text) {
    if (rigNumber < 1 || rigNumber > kRigCount) return;
    rigs_[slot(rigNumber)].statusText = text;
    refreshStatus(rigNumber);
}

void RigSettingsDialog::refreshStatus(int rigNumber) {
    RigControls& c = rigs_[slot(rigNumber)];
    // Called while the page is being built too, before every control is there.
    if (!c.status || !c.step) return;
    QString text = c.statusText;
    if (!text.isEmpty() && !settings().rig(rigNumber).sameConnection(shown_.rig(rigNumber))) {
        text += QStringLiteral(" (with the settings in use; OK applies the ones above)");
    }
    c.status->setText(text);
}

QString RigSettingsDialog::statusLine(int rigNumber) const {
    if (rigNumber < 1 || rigNumber > kRigCount) return {};
    return rigs_[slot(rigNumber)].status->text();
}

}  // namespace kt6
