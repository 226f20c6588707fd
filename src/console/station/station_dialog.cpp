#include "console/station/station_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/command_line.h"
#include "link/serial_network.h"

namespace kt6 {

namespace {
// A caption whose '&' letter moves the focus to its field, which carries the caption as its
// name for a screen reader.
QLabel* caption(QWidget* parent, const QString& text, QWidget* field, const QString& name) {
    auto* label = new QLabel(text, parent);
    label->setBuddy(field);
    field->setAccessibleName(name);
    return label;
}
}  // namespace

StationDialog::StationDialog(const StationSettings& settings, Tester tester, Saver saver,
                             QWidget* parent)
    : QDialog(parent), tester_(std::move(tester)), saver_(std::move(saver)) {
    setObjectName("StationDialog");
    setWindowTitle(QStringLiteral("Station"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(
        QStringLiteral("While the elements move the antenna is detuned. The line is asserted "
                       "then, and whenever the console cannot tell (no answer, no port), and "
                       "the command runs at each change with KT6_MOVING=1 or 0."),
        this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto* form = new QFormLayout;
    edPort_ = new QLineEdit(QString::fromStdString(settings.port), this);
    edPort_->setObjectName("edPort");
    edPort_->setPlaceholderText(QStringLiteral("/dev/ttyUSB3 or COM3; empty: no line"));
    edPort_->setMinimumWidth(320);
    form->addRow(caption(this, QStringLiteral("&Port:"), edPort_, QStringLiteral("Port")), edPort_);

    cbLine_ = new QComboBox(this);
    cbLine_->setObjectName("cbLine");
    cbLine_->addItem(QStringLiteral("RTS"));
    cbLine_->addItem(QStringLiteral("DTR"));
    cbLine_->setCurrentIndex(settings.line == ModemLine::Dtr ? 1 : 0);
    form->addRow(caption(this, QStringLiteral("&Line:"), cbLine_, QStringLiteral("Line")), cbLine_);

    ckActiveLow_ = new QCheckBox(QStringLiteral("asserted is the line off"), this);
    ckActiveLow_->setObjectName("ckActiveLow");
    ckActiveLow_->setChecked(settings.activeLow);
    ckActiveLow_->setToolTip(
        QStringLiteral("For wiring where a dropped line inhibits: it then stays inhibited when "
                       "the console is closed or the adapter unplugged."));
    form->addRow(
        caption(this, QStringLiteral("Active l&ow:"), ckActiveLow_, QStringLiteral("Active low")),
        ckActiveLow_);

    edCommand_ = new QLineEdit(QString::fromStdString(settings.command), this);
    edCommand_->setObjectName("edCommand");
    edCommand_->setPlaceholderText(QStringLiteral("program and arguments; empty: no command"));
    edCommand_->setToolTip(
        QStringLiteral("Run without a shell: quote arguments with blanks in \"...\" or '...'."));
    form->addRow(
        caption(this, QStringLiteral("&Hook command:"), edCommand_, QStringLiteral("Hook command")),
        edCommand_);
    layout->addLayout(form);

    auto* testRow = new QHBoxLayout;
    btTest_ = new QPushButton(QStringLiteral("&Test"), this);
    btTest_->setObjectName("btTest");
    btTest_->setAccessibleName(QStringLiteral("Test"));
    btTest_->setToolTip(QStringLiteral("Assert the line for one second"));
    testRow->addWidget(btTest_);
    testRow->addStretch();
    layout->addLayout(testRow);
    lMessage_ = new QLabel(this);
    lMessage_->setObjectName("lMessage");
    lMessage_->setWordWrap(true);
    lMessage_->setMinimumHeight(36);
    lMessage_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(lMessage_);

    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->setObjectName("bbStation");
    layout->addWidget(box);
    connect(btTest_, &QPushButton::clicked, this, &StationDialog::test);
    connect(box, &QDialogButtonBox::accepted, this, &StationDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

StationSettings StationDialog::settings() const {
    StationSettings s;
    s.port = edPort_->text().trimmed().toStdString();
    s.line = cbLine_->currentIndex() == 1 ? ModemLine::Dtr : ModemLine::Rts;
    s.activeLow = ckActiveLow_->isChecked();
    s.command = edCommand_->text().trimmed().toStdString();
    return s;
}

void StationDialog::test() {
    if (!tester_) return;
    const StationSettings s = settings();
    if (isNetworkPort(s.port)) {
        tell(
            QStringLiteral("Port: a network port has no line on this computer; name a serial "
                           "device."));
        return;
    }
    const QString failure = tester_(s);
    tell(failure.isEmpty() ? QStringLiteral("%1 %2 asserted for one second.")
                                 .arg(QString::fromStdString(s.port), cbLine_->currentText())
                           : failure);
}

QString StationDialog::message() const {
    return lMessage_->text();
}

void StationDialog::tell(const QString& text) {
    lMessage_->setText(text);
    // Read out as it changes, not only when the focus happens to pass by.
    lMessage_->setAccessibleName(text);
}

QString StationDialog::problem() const {
    const StationSettings s = settings();
    if (isNetworkPort(s.port)) {
        return QStringLiteral(
            "Port: a network port has no line on this computer; name a serial "
            "device.");
    }
    const SplitCommand split = splitCommandLine(s.command);
    if (!split.error.empty()) {
        return QStringLiteral("Hook command: %1.").arg(QString::fromStdString(split.error));
    }
    return {};
}

void StationDialog::accept() {
    if (const QString wrong = problem(); !wrong.isEmpty()) {
        tell(wrong);
        return;
    }
    if (saver_) {
        if (const QString error = saver_(settings()); !error.isEmpty()) {
            tell(QStringLiteral("Not saved: %1").arg(error));
            return;
        }
    }
    QDialog::accept();
}

}  // namespace kt6
