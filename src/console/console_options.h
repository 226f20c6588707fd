#pragma once
// What the one who starts the window chooses: files, device layers, dialogs, timers.
#include <filesystem>
#include <functional>
#include <memory>

namespace kt6 {

class Dialogs;
class HookLauncher;
class LineControl;
class RigServer;
class Scheduler;
class SerialBackend;

struct ConsoleOptions {
    std::filesystem::path settingsPath;
    // Where "manual.pdf" and "manuale.pdf" are; the executable's directory by default.
    std::filesystem::path documentsDir;
    // Looked in when documentsDir lacks a manual: the installed documentation folder.
    std::filesystem::path installedDocumentsDir;
    // The serial device layer; when empty, the platform's own for device paths and a network
    // transport for tcp:// and rfc2217:// mappings.
    std::function<std::unique_ptr<SerialBackend>()> makeSerialBackend;
    std::shared_ptr<Dialogs> dialogs;
    // The rig-control server; Hamlib's when empty.
    std::function<std::unique_ptr<RigServer>()> makeRigServer;
    // Where the port dialog looks for serial devices.
    std::filesystem::path serialByIdDir = "/dev/serial/by-id";
    std::filesystem::path devDir = "/dev";
    // Tests drive the status poll by hand; the link timer always runs, it bounds every wait.
    bool runPollTimer = true;
    // The timers the service sequences and block transfers wait on; the window's own when
    // empty.
    std::shared_ptr<Scheduler> scheduler;
    // Show the service strip from the start (--service).
    bool serviceStrip = false;
    // Serve the local control interface as the settings' "Api" section says; the console's
    // own start turns it on, tests where they need it.
    bool serveInterface = false;
    // The station's inhibit line and hook processes; the platform's and QProcess when empty.
    std::function<std::unique_ptr<LineControl>()> makeLineControl;
    std::function<std::unique_ptr<HookLauncher>()> makeHookLauncher;
};

}  // namespace kt6
