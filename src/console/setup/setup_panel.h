#pragma once
// The setup panel pnImposta: the controller's Factory block (and the welcome text of the User
// block) in named edit boxes, written back with "Aggiorna Skarnel"; and the backup and restore
// of every memory block to a setup file ("Salva...", "Carica..."). The console controller's
// transfers do the work; the panel shows what they report and asks the operator what they
// need (a file, the boxes' values).
#include <QFrame>
#include <QString>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "core/setup_transfers.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

namespace kt6 {

class Dialogs;
class InputBlock;

// What the panel uses of the window around it.
struct SetupPanelContext {
    SetupTransfers& transfers;
    Dialogs& dialogs;
    // FirmwareVersion as the last status reply gave it.
    std::function<std::uint16_t()> firmwareVersion;
    // The controller's port is open.
    std::function<bool()> portOpen;
    // Shows a passing event in the window's status bar; nothing when empty.
    std::function<void(const QString&)> announce;
};

// The service strip's controls the panel switches and reads.
struct ServiceStripControls {
    QPushButton* btImposta = nullptr;
    QPushButton* btRetract = nullptr;
    QComboBox* cbSlave = nullptr;
    QCheckBox* ckSK2200 = nullptr;
    QLabel* lResult = nullptr;
    QPlainTextEdit* mmLog = nullptr;
};

class SetupPanel : public QFrame, private TransferView {
    Q_OBJECT
  public:
    SetupPanel(SetupPanelContext context, QWidget* parent, const QRect& geometry);

    // The strip's controls; the setup log's lines go to its memo.
    void attach(const ServiceStripControls& strip);
    // running() is true from a transfer's click until its outcome has been told, boxes and
    // dialogs included.
    BlockTransfer& transfer() { return context_.transfers.transfer(); }

    QPushButton* btRicevi() const { return btRicevi_; }
    QPushButton* btInvia() const { return btInvia_; }
    QPushButton* btAggiorna() const { return btAggiorna_; }

  public slots:
    // "Setup...": reads blocks 0 and 1, then shows the panel.
    void btImpostaClick();
    // "Aggiorna Skarnel": reads blocks 0 and 1 again, lays the boxes over them and writes them.
    void btAggiornaClick();
    // "Chiudi".
    void btChiudiClick();
    // "Salva...": every block into a setup file.
    void btRiceviClick();
    // "Carica...": a setup file back into the controller.
    void btInviaClick();

  protected:
    // The window closing ends a transfer under way, quietly, with everything put back.
    bool eventFilter(QObject* watched, QEvent* event) override;
    // "Aggiorna Skarnel" is the default button while the panel is open, and only then: a
    // screen reader names the window's default button when it reads the status bar.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    struct NumberBox {
        QLineEdit* edit;
        const char* field;
        int width;
    };

    void build();
    QLineEdit* addEdit(QWidget* group, const char* name, const QRect& place, const QString& text);
    QLabel* addCaption(QWidget* group, const char* name, const QRect& place, const QString& text,
                       QLineEdit* buddy);
    void notify(const QString& text);
    // The box's value when it is an integer that fits its field; else says why and focuses it.
    std::optional<std::int32_t> numberOf(const NumberBox& box);
    // False, telling the operator, when a text box holds more than its field takes.
    bool textsFit(std::uint16_t version, const SetupEdits& edits);
    std::vector<NumberBox> numberBoxes(std::uint16_t version) const;
    void showValues(const PanelValues& values);
    // Buttons a transfer or the panel switched off, back on when the port is there.
    void buttonsBack(std::initializer_list<QPushButton*> buttons);

    // TransferView.
    void transferHeld(TransferKind kind) override;
    void transferReleased(TransferKind kind) override;
    void inputHeld(bool held) override;
    void logCleared() override;
    void logLine(std::string_view line) override;
    void progress(int done, int total) override;
    void progressEnded() override;
    void result(const std::string& text) override;
    void tell(const std::string& text) override;
    void announce(const std::string& text) override;
    void panelOpened(const PanelValues& values) override;
    void panelValues(const PanelValues& values) override;
    UnitSelection units() const override;
    std::optional<std::filesystem::path> backupPath() override;

    SetupPanelContext context_;
    std::unique_ptr<InputBlock> inputBlock_;
    ServiceStripControls strip_;
    QString lastFolder_;

    // Each edit box's caption, for messages that name the box as the operator sees it.
    std::map<const QLineEdit*, QLabel*> captions_;
    QLineEdit* edModel_ = nullptr;
    QLineEdit* edWelcome_ = nullptr;
    QLineEdit* edMotori_ = nullptr;
    QLineEdit* edBande_ = nullptr;
    QLineEdit* edExtMin_ = nullptr;
    QLineEdit* edExtMax1_ = nullptr;
    QLineEdit* edExtMax2_ = nullptr;
    QLineEdit* edExtMax3_ = nullptr;
    QLineEdit* edExtMax4_ = nullptr;
    QLineEdit* edPP_ = nullptr;
    QLineEdit* edPD_ = nullptr;
    QLineEdit* edK_ = nullptr;
    QLineEdit* edVelMin_ = nullptr;
    QLineEdit* edVelMax_ = nullptr;
    QLineEdit* edAcc_ = nullptr;
    QLineEdit* edPwmF_ = nullptr;
    QLineEdit* edPwmR_ = nullptr;
    QLineEdit* edPwmC_ = nullptr;
    QLineEdit* edV24msg_ = nullptr;
    QLineEdit* ed24vl_[3] = {};
    QLineEdit* ed24vh_[3] = {};
    QProgressBar* pbTransfer_ = nullptr;
    QPushButton* btRicevi_ = nullptr;
    QPushButton* btInvia_ = nullptr;
    QPushButton* btAggiorna_ = nullptr;
    QPushButton* btChiudi_ = nullptr;
};

}  // namespace kt6
