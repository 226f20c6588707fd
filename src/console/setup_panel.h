#pragma once
// The setup panel pnImposta: the controller's Factory block (and the welcome text of the User
// block) in named edit boxes, written back with "Aggiorna Skarnel"; and the backup and restore
// of every memory block to a setup file ("Salva...", "Carica..."). Every transfer is a walk on
// the window's timers: a click starts it and returns, and its outcome is told once it ends.
#include <QFrame>
#include <QString>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "link/scheduler.h"
#include "memory/block_transfer.h"
#include "memory/transfer_run.h"

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
struct SetupEdits;
struct BackupResult;
struct RestoreResult;

// What the panel uses of the window around it.
struct SetupPanelContext {
    Link& link;
    Dialogs& dialogs;
    // FirmwareVersion as the last status reply gave it.
    std::function<std::uint16_t()> firmwareVersion;
    // Starts or stops the status poll (tmPoll).
    std::function<void(bool)> setPollRunning;
    // The timers transfers wait on: the preamble's pauses and the turns between blocks.
    Scheduler& scheduler;
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

// A backup or restore asked for through the local interface: the file is given, and what the
// window would say in boxes goes back to the one who asked.
struct RemoteTransfer {
    std::filesystem::path path;
    std::function<void(int done, int total)> progress;
    // Empty when it went through; else why not.
    std::function<void(const QString& error)> done;
    // A restore that went through: the blocks written, and those left as they were because the
    // file has no section for them; told before done.
    std::function<void(int sent, int skipped)> loaded{};
};

class SetupPanel : public QFrame {
    Q_OBJECT
  public:
    SetupPanel(SetupPanelContext context, QWidget* parent, const QRect& geometry);

    // The strip's controls; the setup log's lines go to its memo.
    void attach(const ServiceStripControls& strip);
    // running() is true from a transfer's click until its outcome has been told, boxes and
    // dialogs included.
    BlockTransfer& transfer() { return transfer_; }

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

  public:
    // "Salva..." into remote's file, without a dialog; empty when it started, else why not.
    QString saveTo(RemoteTransfer remote);
    // "Carica..." from remote's file, checked whole first; empty when it started, else why not.
    QString loadFrom(RemoteTransfer remote);
    // The window goes away: a transfer under way ends here, quietly, before the link does.
    void abandonTransfer();

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
    void clearLog();
    void syncUnits();
    void setResult(const QString& text);
    void showProgress(int done, int total);
    void endProgress();
    void notify(const QString& text);
    // The status bar's event field, for outcomes worth a glance after the boxes are gone.
    void announce(const QString& text);
    // The box's value when it is an integer that fits its field; else says why and focuses it.
    std::optional<std::int32_t> numberOf(const NumberBox& box);
    // False, telling the operator, when a text box holds more than its field takes.
    bool textsFit(std::uint16_t version, const SetupEdits& edits);
    std::vector<NumberBox> numberBoxes(std::uint16_t version) const;
    void showValues(std::uint16_t version);
    // Blocks 0 and 1 read into the log and heldFactory_/heldUser_.
    struct PanelRead {
        std::uint16_t version = 0;
        // Which block failed and why.
        std::optional<QString> failure;
    };
    // The two block steps, the first clearing the log; the firmware version as it is then.
    std::vector<TransferRun::BlockStep> panelReadSteps(std::shared_ptr<PanelRead> read);
    void readPanelBlock(int block, const char* section, std::shared_ptr<PanelRead> read,
                        TransferRun::StepDone done);
    // Reads blocks 0 and 1 again and shows them.
    void refreshValues();
    // The update's writes: a Factory (6) or User (7) block in a walk of its own, so that a
    // refusal's box is up before the next goes out; `then` runs either way.
    void writeSetupBlock(std::uint8_t command, const Bytes& block, std::function<void()> then);
    // The walks behind the buttons and the interface; remote is null for the buttons.
    void startSave(std::shared_ptr<RemoteTransfer> remote);
    // Why the file cannot be loaded (nothing started), or empty.
    QString startLoad(const std::filesystem::path& path, std::shared_ptr<RemoteTransfer> remote);
    // A save or load starts: the log cleared, its own button and the strip's others off, the
    // poll stopped, the log shown.
    void holdStripFor(QPushButton* own);
    // The bar, and whoever asked through the interface, follow the blocks.
    TransferProgress progressTo(std::shared_ptr<RemoteTransfer> remote);
    void saveEnded(const BackupResult& result, std::shared_ptr<RemoteTransfer> remote);
    void loadEnded(const RestoreResult& result, std::shared_ptr<RemoteTransfer> remote);
    // A transfer's end: the poll again, unless the panel is open.
    void resumePoll();
    // Buttons a transfer or the panel switched off, back on when the port is there.
    void buttonsBack(std::initializer_list<QPushButton*> buttons);

    // A transfer starts; restore puts back what it switches, on every path.
    void beginTransfer(std::function<void()> restore);
    // Plays the steps on the run with the window's input dropped; then gets how the walk ended.
    void walk(bool preamble, std::vector<TransferRun::BlockStep> steps,
              std::function<void(TransferEnd)> then);
    void dropInput();
    // From a walk's last turn: the input back, and work run right after that turn (no box opens
    // inside a timer tick), within the transfer. The transfer ends when work returns without
    // having started another walk.
    void afterTurn(std::function<void()> work);
    // Puts back what the transfer switched; another may start.
    void endTransfer();

    SetupPanelContext context_;
    BlockTransfer transfer_;
    TransferRun run_;
    std::optional<BlockTransfer::Sequence> sequence_;
    std::unique_ptr<InputBlock> inputBlock_;
    std::function<void()> restore_;
    // Tells work posted by the transfer under way from that of one that has ended.
    std::uint64_t transferId_ = 0;
    ServiceStripControls strip_;
    QString lastFolder_;
    // Blocks 0 and 1 as last read whole: what the update lays the boxes over.
    Bytes heldFactory_;
    Bytes heldUser_;

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
