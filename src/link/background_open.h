#pragma once
// Opens and configures one port on a thread of its own, on a backend of its own, so a network
// port's name lookup, connect and negotiation never hold the loop that asked for it. The loop
// looks for the outcome when it likes; giving the open up never waits for the thread, which
// touches nothing but the state it shares with this object.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/serial_backend.h"

namespace kt6 {

class BackgroundOpen {
  public:
    // Makes the backend the open runs on; cancelled() turns true once the open is given up.
    using MakeBackend =
        std::function<std::unique_ptr<SerialBackend>(std::function<bool()> cancelled)>;

    // Makes a backend here and starts opening path on it, then applying settings, on a thread
    // of its own.
    BackgroundOpen(const MakeBackend& make, std::string path, LineSettings settings);
    // Gives the open up without waiting: the thread stops at its next step and closes what it
    // opened; an outcome already in is closed here.
    ~BackgroundOpen();
    BackgroundOpen(const BackgroundOpen&) = delete;
    BackgroundOpen& operator=(const BackgroundOpen&) = delete;

    // The outcome once the thread is done, handed over once; nothing while it runs. A backend
    // that opened but would not take the settings is closed on the thread.
    std::optional<OpenedPort> take();

  private:
    struct Shared;
    // The thread's whole work. It owns the backend until the outcome is handed over, and
    // closes it itself when nobody wants it any more.
    static void run(const std::shared_ptr<Shared>& shared, std::unique_ptr<SerialBackend> backend,
                    const std::string& path, const LineSettings& settings);

    std::shared_ptr<Shared> shared_;
};

}  // namespace kt6
