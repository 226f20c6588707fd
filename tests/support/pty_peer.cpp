#include "support/pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <system_error>

#include "link/frame.h"

namespace kt6::testing {
namespace {

[[noreturn]] void fail(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void writeAll(int fd, const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0) {
            if (errno == EINTR) continue;
            fail("write to pty master");
        }
        done += static_cast<std::size_t>(put);
    }
}

}  // namespace

PtyPair::PtyPair() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) fail("posix_openpt");
    std::array<char, 128> name{};
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0 ||
        ::ptsname_r(master_, name.data(), name.size()) != 0) {
        const int error = errno;
        ::close(master_);
        errno = error;
        fail("pty slave");
    }
    slavePath_ = name.data();
    slaveKeeper_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (slaveKeeper_ < 0) {
        const int error = errno;
        ::close(master_);
        errno = error;
        fail("open pty slave");
    }
}

PtyPair::~PtyPair() {
    ::close(slaveKeeper_);
    if (master_ >= 0) ::close(master_);
}

void PtyPair::hangUp() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
}

void PtyPair::send(const Bytes& bytes) {
    writeAll(master_, bytes);
}

Bytes PtyPair::receive(std::size_t n, std::chrono::milliseconds within) {
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + within;
    Bytes got;
    while (got.size() < n) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - clock::now());
        if (left.count() <= 0) break;
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
        std::array<std::uint8_t, 4096> buffer{};
        const ssize_t count =
            ::read(master_, buffer.data(), std::min(buffer.size(), n - got.size()));
        if (count > 0) got.insert(got.end(), buffer.begin(), buffer.begin() + count);
    }
    return got;
}

Bytes statusZeroReply(const Bytes& content) {
    return encodeFrame(Bytes{content.at(0), 0}).value();
}

PtyResponder::PtyResponder(int master, Reply reply) : master_(master), reply_(std::move(reply)) {
    if (::pipe2(stopPipe_, O_CLOEXEC) != 0) fail("pipe2");
    thread_ = std::thread([this] { run(); });
}

PtyResponder::~PtyResponder() {
    const char stop = 'x';
    while (::write(stopPipe_[1], &stop, 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

std::vector<Bytes> PtyResponder::frames() const {
    std::lock_guard lock(mutex_);
    return frames_;
}

bool PtyResponder::waitForFrames(std::size_t n, std::chrono::milliseconds within) const {
    std::unique_lock lock(mutex_);
    return arrived_.wait_for(lock, within, [&] { return frames_.size() >= n; });
}

void PtyResponder::run() {
    FrameReceiver receiver;
    std::array<std::uint8_t, 512> buffer{};
    for (;;) {
        std::array<pollfd, 2> fds{pollfd{master_, POLLIN, 0}, pollfd{stopPipe_[0], POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents != 0) return;
        if ((fds[0].revents & POLLIN) == 0) return;
        const ssize_t count = ::read(master_, buffer.data(), buffer.size());
        if (count <= 0) {
            if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            return;
        }
        for (ssize_t i = 0; i < count; ++i) {
            if (receiver.feed(buffer[static_cast<std::size_t>(i)]) !=
                FrameReceiver::Event::GoodFrame) {
                continue;
            }
            Bytes content = receiver.payload();
            content.pop_back();
            const auto answer = reply_(content);
            // Recorded before the answer goes out, so a test that has the reply finds the frame.
            {
                std::lock_guard lock(mutex_);
                frames_.push_back(std::move(content));
            }
            arrived_.notify_all();
            try {
                if (answer) writeAll(master_, *answer);
            } catch (const std::system_error&) {
                // The far end is gone; the port under test sees no more answers.
                return;
            }
        }
    }
}

}  // namespace kt6::testing
