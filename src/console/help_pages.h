#pragma once
// The Help menu's targets: the manuals, found beside the executable or in the installed
// documentation, and the web site, each opened with the desktop's default program.
#include <QString>
#include <filesystem>
#include <functional>
#include <vector>

namespace kt6 {

class Dialogs;

class HelpPages {
  public:
    // Manuals are looked for in the folders in order; message tells the operator what failed.
    HelpPages(std::vector<std::filesystem::path> folders, Dialogs& dialogs,
              std::function<void(const QString&)> message)
        : folders_(std::move(folders)), dialogs_(dialogs), message_(std::move(message)) {}

    // Opens "manual.pdf" or "manuale.pdf"; says where it looked when it is missing.
    void openManual(const char* fileName);
    void openWebSite();

  private:
    std::vector<std::filesystem::path> folders_;
    Dialogs& dialogs_;
    std::function<void(const QString&)> message_;
};

}  // namespace kt6
