#include "radio/rig_poller.h"

#include <hamlib/rig.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <system_error>

#include "radio/hamlib_models.h"
#include "radio/ptt_watch.h"

namespace kt6 {
namespace {

// A rig handle that is closed and freed on every path out of the poll loop.
class RigHandle {
  public:
    RigHandle() = default;
    ~RigHandle() { reset(); }
    RigHandle(const RigHandle&) = delete;
    RigHandle& operator=(const RigHandle&) = delete;

    RIG* get() const { return rig_; }
    bool isOpen() const { return open_; }
    // The model reads PTT from the radio itself. Without its own reader libhamlib would
    // report the level of a serial line this console never drives, which says nothing.
    bool modelReadsPtt() const { return rig_ && rig_->caps && rig_->caps->get_ptt; }
    void reset() {
        if (!rig_) return;
        if (open_) rig_close(rig_);
        rig_cleanup(rig_);
        rig_ = nullptr;
        open_ = false;
    }
    // 0, or the libhamlib error code (negative) with the reason in error.
    int open(const RigPortSettings& s, std::string& error) {
        reset();
        rig_ = rig_init(static_cast<rig_model_t>(s.model));
        if (!rig_) {
            error = "libhamlib does not know rig model " + std::to_string(s.model);
            return -RIG_ENIMPL;
        }
        // Fresh values every poll: the library's cache would hide changes for 500 ms.
        rig_set_cache_timeout_ms(rig_, HAMLIB_CACHE_ALL, 0);
        setConf("timeout", std::to_string(kRigIoTimeout.count()));
        setConf("retry", std::to_string(kRigIoRetries));
        if (!s.port.empty()) setConf("rig_pathname", s.port);
        if (s.speed > 0) setConf("serial_speed", std::to_string(s.speed));
        errno = 0;
        const int rc = rig_open(rig_);
        if (rc != RIG_OK) {
            // libhamlib says "IO error" for every refused connection and missing device; the
            // system's own word says which.
            const int why = errno;
            error = std::abs(rc) == RIG_EIO && why != 0 ? std::strerror(why) : rigerror2(rc);
            return rc;
        }
        open_ = true;
        return 0;
    }

  private:
    void setConf(const char* name, const std::string& value) {
        const token_t token = rig_token_lookup(rig_, name);
        if (token != RIG_CONF_END) rig_set_conf(rig_, token, value.c_str());
    }

    RIG* rig_ = nullptr;
    bool open_ = false;
};

RigStatus openFailureStatus(int rc) {
    switch (std::abs(rc)) {
        case RIG_EIO:
            return RigStatus::PortBusy;
        case RIG_ENIMPL:
        case RIG_ECONF:
        case RIG_EINVAL:
            return RigStatus::NotConfigured;
        default:
            return RigStatus::NotResponding;
    }
}

}  // namespace

// How long a window-thread destructor waits for a worker before leaving it to finish alone.
constexpr std::chrono::milliseconds kStopGrace{200};

struct RigPoller::Shared {
    Shared(int rig, RigPortSettings s, std::uint64_t gen, RigPoller* o)
        : rigNumber(rig), settings(std::move(s)), generation(gen), owner(o) {}

    void run();
    // Waits for the interval or a stop request; true when asked to stop.
    bool pause(std::chrono::milliseconds interval);
    void publish(RigReading next);

    const int rigNumber;
    const RigPortSettings settings;
    const std::uint64_t generation;
    std::mutex mutex;
    std::condition_variable wake;
    bool stop = false;
    bool finished = false;
    // Cleared by the owner's destructor, under the mutex: no report reaches a dead poller.
    RigPoller* owner;
    RigReading last;
    bool published = false;
};

RigPoller::RigPoller(int rigNumber, RigPortSettings settings, std::uint64_t generation)
    : shared_(std::make_shared<Shared>(rigNumber, std::move(settings), generation, this)) {
    qRegisterMetaType<kt6::RigReading>();
}

RigPoller::~RigPoller() {
    std::unique_lock lock(shared_->mutex);
    shared_->stop = true;
    shared_->owner = nullptr;
    shared_->wake.notify_all();
    if (!thread_.joinable()) return;
    const bool done =
        shared_->wake.wait_for(lock, kStopGrace, [this] { return shared_->finished; });
    lock.unlock();
    if (done) {
        thread_.join();
    } else {
        thread_.detach();
    }
}

bool RigPoller::start() {
    if (thread_.joinable()) return true;
    try {
        thread_ = std::thread([shared = shared_] {
            shared->run();
            std::lock_guard lock(shared->mutex);
            shared->finished = true;
            shared->wake.notify_all();
        });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void RigPoller::requestStop() {
    {
        std::lock_guard lock(shared_->mutex);
        shared_->stop = true;
    }
    shared_->wake.notify_all();
}

bool RigPoller::Shared::pause(std::chrono::milliseconds interval) {
    std::unique_lock lock(mutex);
    return wake.wait_for(lock, interval, [this] { return stop; });
}

void RigPoller::Shared::run() {
    prepareHamlib();
    RigReading idle;
    if (settings.model == 0) {
        idle.status = RigStatus::NotConfigured;
        idle.error = kNoRigModel;
        publish(idle);
        return;
    }
    RigHandle rig;
    PttWatch ptt;
    // Mode and VFO of the last look at them, and when to look again.
    rmode_t mode = RIG_MODE_NONE;
    vfo_t vfo = RIG_VFO_NONE;
    // The last frequency read, valid while haveLastHz (an optional here draws a false
    // maybe-uninitialized warning from GCC 12).
    freq_t lastHz = 0;
    bool haveLastHz = false;
    auto detailsDue = std::chrono::steady_clock::now();
    auto pttDue = detailsDue;
    while (!pause(std::chrono::milliseconds::zero())) {
        if (!rig.isOpen()) {
            // An open can take long (a host that drops packets); until it ends the rig is
            // not answering yet, rather than not there at all.
            if (!published) {
                RigReading connecting;
                connecting.status = RigStatus::NotResponding;
                connecting.error = "connecting";
                connecting.connecting = true;
                publish(connecting);
            }
            std::string error;
            if (const int rc = rig.open(settings, error); rc != 0) {
                RigReading failed;
                failed.status = openFailureStatus(rc);
                failed.error = error;
                publish(failed);
                rig.reset();
                if (pause(kRigReopenDelay)) break;
                continue;
            }
            ptt.opened(rig.modelReadsPtt());
            haveLastHz = false;
        }
        // The interval runs from the start of one reading to the next, so the time the
        // radio takes to answer does not add to the delay of a change.
        const auto started = std::chrono::steady_clock::now();
        const auto nextReading = started + settings.poll;
        RigReading now;
        freq_t hz = 0;
        const int rc = rig_get_freq(rig.get(), RIG_VFO_CURR, &hz);
        if (rc != RIG_OK) {
            now.status = RigStatus::NotResponding;
            now.error = rigerror2(rc);
            publish(now);
            // A radio that stopped answering is best met with a fresh connection.
            rig.reset();
            if (pause(kRigReopenDelay)) break;
            continue;
        }
        now.status = RigStatus::Online;
        now.hasFrequency = true;
        now.hz = hz;
        // Every libhamlib call costs the console CPU time (about 0.3 ms, mostly the library's
        // own bookkeeping and a system call per byte of the answer), so a cycle reads only what
        // decides whether the antenna moves: the frequency, and the PTT whenever a new
        // frequency is to go out or the radio transmits (its return to receive releases what
        // waits). The PTT of a radio on receive only changes what the status bar shows, and
        // mode and VFO only send the same frequency again: they are read at slower paces, mode
        // and VFO never in a cycle with a new frequency, which goes out without waiting.
        const bool firstReading = !haveLastHz;
        const bool newFrequency = !firstReading && lastHz != hz;
        const bool details = firstReading || (!newFrequency && started >= detailsDue);
        lastHz = hz;
        haveLastHz = true;
        if (details) {
            detailsDue = started + kRigDetailsInterval;
            // Not every model reports mode or VFO; a failure there leaves the value at 0.
            pbwidth_t width = 0;
            if (rig_get_mode(rig.get(), RIG_VFO_CURR, &mode, &width) != RIG_OK) {
                mode = RIG_MODE_NONE;
            }
            if (rig_get_vfo(rig.get(), &vfo) != RIG_OK) vfo = RIG_VFO_NONE;
        }
        now.mode = mode;
        now.vfo = vfo;
        // Read last, so the transmit state is the freshest word when a change is sent.
        if (ptt.asking() &&
            (firstReading || newFrequency || ptt.transmitting() || started >= pttDue)) {
            pttDue = started + kRigPttInterval;
            ptt_t state = RIG_PTT_OFF;
            if (rig_get_ptt(rig.get(), RIG_VFO_CURR, &state) == RIG_OK) {
                ptt.answered(state != RIG_PTT_OFF);
            } else {
                ptt.failed();
            }
        }
        now.transmitting = ptt.transmitting();
        publish(now);
        if (pause(std::chrono::duration_cast<std::chrono::milliseconds>(
                std::max(nextReading - std::chrono::steady_clock::now(),
                         std::chrono::steady_clock::duration::zero())))) {
            break;
        }
    }
}

void RigPoller::Shared::publish(RigReading next) {
    next.rigNumber = rigNumber;
    next.generation = generation;
    // libhamlib's messages end in a newline.
    while (!next.error.empty() && std::isspace(static_cast<unsigned char>(next.error.back()))) {
        next.error.pop_back();
    }
    if (!markChanges(next, published ? &last : nullptr)) return;
    published = true;
    last = next;
    std::lock_guard lock(mutex);
    if (owner) emit owner->reading(next);
}

}  // namespace kt6
