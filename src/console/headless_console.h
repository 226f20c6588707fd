#pragma once
// The console without a window, for a small computer beside the controller: the controller,
// its poll and port retry, the radio the antenna follows, backups and restores, the local
// interface and the "elements moving" outputs, on a core application's loop. Stations reach it with
// kt6ctl or any interface client. Nothing here needs a display.
#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>

#include "core/console_controller.h"
#include "core/controller_station.h"
#include "core/rig_tracker.h"

namespace kt6 {

class LinkDriver;
class QtScheduler;
class StationHost;

class HeadlessConsole : public QObject, private ConsoleObserver {
  public:
    explicit HeadlessConsole(std::filesystem::path settingsPath);
    ~HeadlessConsole() override;

    // Opens the settings' port and starts the interface; empty when serving, else why not.
    QString start();
    // Every client hears the console close; nothing more goes out on the link.
    void stop();

  private:
    // The radio the settings chose, with no boxes, lamps or menu: what would be a box is told
    // on stderr and in the Events field; a lamp's change is a change watchers hear.
    class Rigs : public RigView {
      public:
        explicit Rigs(HeadlessConsole& console) : console_(console) {}
        bool isTicked(int rigNumber) const override;
        void setTicked(int rigNumber, bool ticked) override;
        void setLamp(int rigNumber, NamedColour colour) override;
        void setMenuCheck(RigMenuItem, bool) override {}
        void showError(const std::string& text, const std::string& title) override;

      private:
        HeadlessConsole& console_;
        bool ticked_[2] = {false, false};
    };

    void linkChanged() override;
    void replyRead() override;
    void logLink(const std::string& text, bool warning) override;
    void tell(const std::string& text, bool warning = false);

    std::filesystem::path settingsPath_;
    // Before the controller: its tracker paints on it to the end.
    Rigs rigs_{*this};
    std::unique_ptr<QtScheduler> scheduler_;
    std::unique_ptr<ConsoleController> controller_;
    // Owned by the host.
    ControllerStation* station_ = nullptr;
    std::unique_ptr<StationHost> host_;
    LinkDriver* driver_ = nullptr;
    std::string lastLink_;
};

}  // namespace kt6
