#include "console/ports/port_assign_dialog.h"

#include <QPointer>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "console/accessibility.h"

namespace kt6 {

PortAssignDialog::PortAssignDialog(std::vector<SerialDevice> devices, Mapping mapping,
                                   std::function<QString(int)> defaultDevice, Tester tester,
                                   QWidget* parent)
    : QDialog(parent),
      devices_(std::move(devices)),
      mapping_(std::move(mapping)),
      defaultDevice_(std::move(defaultDevice)),
      tester_(std::move(tester)) {
    setObjectName("PortAssignDialog");
    setWindowTitle(QStringLiteral("Assign ports"));
    auto* layout = new QHBoxLayout(this);

    auto* left = new QVBoxLayout;
    auto* portsCaption = new QLabel(QStringLiteral("&Ports:"), this);
    lstPorts_ = new QListWidget(this);
    lstPorts_->setObjectName("lstPorts");
    lstPorts_->setAccessibleName(QStringLiteral("Ports"));
    portsCaption->setBuddy(lstPorts_);
    for (int row = 0; row < kPorts; ++row) lstPorts_->addItem(rowText(row));
    lstPorts_->setMinimumWidth(300);
    left->addWidget(portsCaption);
    left->addWidget(lstPorts_);
    layout->addLayout(left);

    auto* right = new QVBoxLayout;
    lDevice_ = new QLabel(this);
    cbDevice_ = new QComboBox(this);
    cbDevice_->setObjectName("cbDevice");
    cbDevice_->setEditable(true);
    cbDevice_->setInsertPolicy(QComboBox::NoInsert);
    cbDevice_->setMinimumContentsLength(34);
    cbDevice_->lineEdit()->setPlaceholderText(deviceExample() +
                                              QStringLiteral(", tcp://host:port"));
    for (const SerialDevice& d : devices_) {
        cbDevice_->addItem(d.path);
        cbDevice_->setItemData(cbDevice_->count() - 1, d.label, Qt::ToolTipRole);
    }
    lDevice_->setBuddy(cbDevice_);
    right->addWidget(lDevice_);
    right->addWidget(cbDevice_);
    auto* buttons = new QHBoxLayout;
    btTest_ = new QPushButton(QStringLiteral("&Test"), this);
    btTest_->setObjectName("btTest");
    btTest_->setToolTip(
        QStringLiteral("Open this device as the controller's port and ask for a "
                       "status reply"));
    // Alt+D is the device field's.
    btDefault_ = new QPushButton(QStringLiteral("Def&ault"), this);
    btDefault_->setObjectName("btDefault");
    btDefault_->setToolTip(QStringLiteral("Give this port its default device back"));
    buttons->addWidget(btTest_);
    buttons->addWidget(btDefault_);
    buttons->addStretch();
    right->addLayout(buttons);
    lTestResult_ = new QLabel(this);
    lTestResult_->setObjectName("lTestResult");
    lTestResult_->setWordWrap(true);
    lTestResult_->setMinimumHeight(48);
    lTestResult_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lTestResult_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A Test's answer comes seconds later, while the focus is still on "Test": it is read out.
    makeAnnouncer(lTestResult_);
    right->addWidget(lTestResult_);
    right->addStretch();
    auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    box->setObjectName("bbPorts");
    right->addWidget(box);
    layout->addLayout(right);

    connect(lstPorts_, &QListWidget::currentRowChanged, this, &PortAssignDialog::showRow);
    connect(cbDevice_, &QComboBox::editTextChanged, this, &PortAssignDialog::deviceEdited);
    connect(btTest_, &QPushButton::clicked, this, &PortAssignDialog::test);
    connect(btDefault_, &QPushButton::clicked, this, [this] { setDevice({}); });
    connect(box, &QDialogButtonBox::accepted, this, &PortAssignDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    lstPorts_->setCurrentRow(0);
}

QString PortAssignDialog::rowText(int row) const {
    const QString& mapped = mapping_[static_cast<std::size_t>(row)];
    if (mapped.isEmpty()) {
        return QStringLiteral("COM%1: %2 (default)").arg(row + 1).arg(defaultDevice_(row + 1));
    }
    return QStringLiteral("COM%1: %2").arg(row + 1).arg(mapped);
}

int PortAssignDialog::currentCom() const {
    return std::max(0, lstPorts_->currentRow()) + 1;
}

void PortAssignDialog::selectCom(int comNumber) {
    lstPorts_->setCurrentRow(comNumber - 1);
}

void PortAssignDialog::showRow(int row) {
    if (row < 0) return;
    showing_ = true;
    lDevice_->setText(QStringLiteral("&Device for COM%1:").arg(row + 1));
    // The text inside the editable list, where typing and the focus go, has no caption of its
    // own: it carries this one, and so does the list where a platform names a list by it.
    const QString name = QStringLiteral("Device for COM%1").arg(row + 1);
    cbDevice_->setAccessibleName(name);
    cbDevice_->lineEdit()->setAccessibleName(name);
    const QString& mapped = mapping_[static_cast<std::size_t>(row)];
    cbDevice_->setEditText(mapped.isEmpty() ? defaultDevice_(row + 1) : mapped);
    lTestResult_->clear();
    showing_ = false;
}

void PortAssignDialog::deviceEdited(const QString& text) {
    if (showing_) return;
    const int row = currentCom() - 1;
    const QString device = text.trimmed();
    // Typing the default device back is the same as having none mapped.
    mapping_[static_cast<std::size_t>(row)] =
        device == defaultDevice_(row + 1) ? QString() : device;
    lstPorts_->item(row)->setText(rowText(row));
    lTestResult_->setText(checkDeviceText(device));
}

void PortAssignDialog::setDevice(const QString& device) {
    cbDevice_->setEditText(device.isEmpty() ? defaultDevice_(currentCom()) : device);
}

void PortAssignDialog::test() {
    const int com = currentCom();
    const QString& mapped = mapping_[static_cast<std::size_t>(com - 1)];
    const QString device = mapped.isEmpty() ? defaultDevice_(com) : mapped;
    if (const QString wrong = checkDeviceText(device); !wrong.isEmpty()) {
        lTestResult_->setText(wrong);
        return;
    }
    lTestResult_->setText(QStringLiteral("Testing %1...").arg(device));
    btTest_->setEnabled(false);
    if (!tester_) {
        btTest_->setEnabled(true);
        lTestResult_->clear();
        return;
    }
    // The dialog may be closed before the controller answers.
    tester_(com, device, [dialog = QPointer<PortAssignDialog>(this)](const QString& answer) {
        if (!dialog) return;
        dialog->btTest_->setEnabled(true);
        dialog->lTestResult_->setText(answer);
        announceNow(dialog->lTestResult_);
    });
}

QString PortAssignDialog::testResult() const {
    return lTestResult_->text();
}

void PortAssignDialog::accept() {
    for (int row = 0; row < kPorts; ++row) {
        if (const QString wrong = checkDeviceText(mapping_[static_cast<std::size_t>(row)]);
            !wrong.isEmpty()) {
            selectCom(row + 1);
            lTestResult_->setText(QStringLiteral("COM%1: %2").arg(row + 1).arg(wrong));
            return;
        }
    }
    QDialog::accept();
}

}  // namespace kt6
