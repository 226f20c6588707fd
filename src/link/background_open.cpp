#include "link/background_open.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace kt6 {

struct BackgroundOpen::Shared {
    std::mutex mutex;
    std::optional<OpenedPort> outcome;
    bool abandoned = false;
    // Apart from the rest: the backend asks it, and the outcome may come to hold the backend.
    std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
};

BackgroundOpen::BackgroundOpen(const MakeBackend& make, std::string path, LineSettings settings)
    : shared_(std::make_shared<Shared>()) {
    std::unique_ptr<SerialBackend> backend =
        make([cancelled = shared_->cancelled] { return cancelled->load(); });
    try {
        std::thread([shared = shared_, backend = std::move(backend), path = std::move(path),
                     settings]() mutable {
            run(shared, std::move(backend), path, settings);
        }).detach();
    } catch (const std::system_error& e) {
        shared_->outcome = OpenedPort{nullptr, e.code().value() != 0 ? e.code().value() : EAGAIN};
    }
}

BackgroundOpen::~BackgroundOpen() {
    shared_->cancelled->store(true);
    std::optional<OpenedPort> late;
    {
        std::lock_guard lock(shared_->mutex);
        shared_->abandoned = true;
        late = std::move(shared_->outcome);
    }
    // A late outcome's backend closes here, outside the lock: closing a socket does not wait.
}

std::optional<OpenedPort> BackgroundOpen::take() {
    std::lock_guard lock(shared_->mutex);
    return std::exchange(shared_->outcome, std::nullopt);
}

void BackgroundOpen::run(const std::shared_ptr<Shared>& shared,
                         std::unique_ptr<SerialBackend> backend, const std::string& path,
                         const LineSettings& settings) {
    OpenedPort opened;
    opened.error = backend->open(path);
    if (opened.error == 0) {
        opened.error = backend->configure(settings);
        // Nothing is left half-done: a line that would not take the settings is let go.
        if (opened.error != 0) backend->close();
    }
    if (opened.error == 0) opened.backend = std::move(backend);
    std::lock_guard lock(shared->mutex);
    // Given up meanwhile: what opened closes as this returns, on this thread, after the lock.
    if (shared->abandoned) return;
    shared->outcome = std::move(opened);
}

}  // namespace kt6
