// comm32 on the platform backend over a real pseudo-terminal: opening through the port map,
// the purge, reads that never wait, the free-room check, exclusive opens, error texts, and
// the whole command exchange against a controller stand-in on the master side.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <filesystem>
#include <fstream>

#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "link/comm32.h"
#include "link/device_recovery.h"
#include "link/frame.h"
#include "link/link.h"
#include "support/pty_peer.h"

namespace kt6 {
namespace {

using ::testing::AllOf;
using ::testing::AnyOf;
using ::testing::HasSubstr;
using testing::PtyPair;
using testing::PtyResponder;
using testing::RealTimePump;
using namespace std::chrono_literals;

constexpr auto kDeadline = 2s;
constexpr uid_t kNobody = 65534;

// A port on the platform backend whose COM3 is the given device.
Comm32 portMappingCom3To(const std::string& device) {
    return Comm32(makePlatformSerialBackend(),
                  comPortResolver([device](int n) -> std::optional<std::string> {
                      if (n == 3) return device;
                      return std::nullopt;
                  }));
}

// Reads from the port until n bytes came or the deadline passed.
Bytes readPort(Comm32& port, std::size_t n) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    Bytes got;
    std::uint8_t b = 0;
    while (got.size() < n && std::chrono::steady_clock::now() < deadline) {
        if (port.ReadByte(b)) {
            got.push_back(b);
        } else {
            port.WaitForInput(10ms);
        }
    }
    return got;
}

// Waits until n bytes are waiting at the port, or the deadline passed.
bool waitForInputCount(Comm32& port, std::uint16_t n) {
    const auto deadline = std::chrono::steady_clock::now() + kDeadline;
    while (port.InputCount() < n) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        port.WaitForInput(10ms);
    }
    return true;
}

class PtyPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(port.OpenPort("bio3"), 0) << portErrorText(port.PortError(), port.DevicePath());
        ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0)
            << portErrorText(port.PortError(), port.DevicePath());
    }

    PtyPair pty;
    Comm32 port = portMappingCom3To(pty.slavePath());
};

TEST_F(PtyPortTest, comNumberOpensTheDeviceThePortMapGives) {
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(port.DevicePath(), pty.slavePath());
    EXPECT_EQ(port.PortError(), 0);
    // The platform does not tell its transmit buffer size, so the default stands in.
    EXPECT_EQ(port.TxQueueSize(), Comm32::kDefaultQueueSize);
}

TEST_F(PtyPortTest, setPortParamsDiscardsWhatArrivedBeforeIt) {
    pty.send({1, 2, 3, 4, 5});
    ASSERT_TRUE(waitForInputCount(port, 5));
    ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
    EXPECT_EQ(port.InputCount(), 0);
    std::uint8_t b = 0;
    EXPECT_FALSE(port.ReadByte(b));
    // The line still works afterwards, and only what came after the purge is read.
    pty.send({9, 8});
    EXPECT_EQ(readPort(port, 2), (Bytes{9, 8}));
}

TEST_F(PtyPortTest, parityStopBitsAndFlowFollowTheirLetters) {
    // The two ends of a pseudo-terminal share one set of line settings. Its driver drops
    // PARENB, so the parity letter shows in PARODD (odd set, even and none clear).
    auto settings = [&] {
        termios tio{};
        EXPECT_EQ(::tcgetattr(pty.master(), &tio), 0);
        return tio;
    };
    auto odd = [&] { return (settings().c_cflag & PARODD) != 0; };
    EXPECT_EQ(settings().c_cflag & (CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(settings().c_iflag & (IXON | IXOFF), 0u);
    EXPECT_EQ(settings().c_cflag & CSIZE, static_cast<tcflag_t>(CS8));

    ASSERT_EQ(port.SetPortParams(19200, 'o', 8, 2, 'x'), 0);
    EXPECT_TRUE(odd());
    EXPECT_NE(settings().c_cflag & CSTOPB, 0u);
    EXPECT_NE(settings().c_iflag & IXON, 0u);
    // Any other parity letter keeps what the line had; any stop-bit count but 2 is one.
    ASSERT_EQ(port.SetPortParams(19200, 'q', 8, 3, 'r'), 0);
    EXPECT_TRUE(odd());
    EXPECT_EQ(settings().c_cflag & CSTOPB, 0u);
    EXPECT_NE(settings().c_iflag & IXON, 0u);
    ASSERT_EQ(port.SetPortParams(19200, 'E', 8, 1, 'N'), 0);
    EXPECT_FALSE(odd());
    EXPECT_EQ(settings().c_iflag & (IXON | IXOFF), 0u);
    ASSERT_EQ(port.SetPortParams(19200, 'O', 8, 1, 'N'), 0);
    ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
    EXPECT_FALSE(odd());
}

TEST_F(PtyPortTest, anOrdinaryFileIsNotAPort) {
    const std::string path =
        std::filesystem::temp_directory_path() / ("kt6-not-a-tty-" + std::to_string(::getpid()));
    { std::ofstream(path) << "notes\n"; }
    Comm32 other(makePlatformSerialBackend(), nullptr);
    EXPECT_EQ(other.OpenPort(path), ENOTTY);
    EXPECT_FALSE(other.IsOpen());
    std::filesystem::remove(path);
}

TEST_F(PtyPortTest, readsWithNothingWaitingReturnAtOnce) {
    std::uint8_t b = 0;
    EXPECT_FALSE(port.ReadByte(b));
    EXPECT_EQ(port.InputCount(), 0);
    // Below comm32's own count check the backend read must not wait either.
    auto backend = makePlatformSerialBackend();
    PtyPair other;
    ASSERT_EQ(backend->open(other.slavePath()), 0);
    ASSERT_EQ(backend->configure(LineSettings{}), 0);
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(backend->read(buffer, sizeof buffer), 0);
    EXPECT_FALSE(backend->waitReadable(0ms));
}

TEST_F(PtyPortTest, everyByteValueCrossesTheLineUnchangedBothWays) {
    // Line ends, the interrupt and suspend characters, XON/XOFF and bytes with bit 7 set are
    // what a cooked terminal would translate or swallow.
    const Bytes tricky{0x00, 0x03, 0x0A, 0x0D, 0x11, 0x13, 0x1A, 0x1C, 0x7F, 0xF5, 0xFA, 0xFF};
    pty.send(tricky);
    EXPECT_EQ(readPort(port, tricky.size()), tricky);
    EXPECT_FALSE(port.WriteString(tricky));
    EXPECT_EQ(port.PortError(), 0);
    EXPECT_EQ(pty.receive(tricky.size(), kDeadline), tricky);
}

TEST_F(PtyPortTest, stringsLargerThanTheFreeRoomAreDroppedWhole) {
    const Bytes tooLong(Comm32::kDefaultQueueSize + 1, 0x41);
    const Bytes exact(Comm32::kDefaultQueueSize, 0x42);
    const Bytes marker{0x43, 0x44};
    EXPECT_TRUE(port.WriteString(tooLong));
    EXPECT_EQ(port.PortError(), 0);
    EXPECT_FALSE(port.WriteString(exact));
    EXPECT_EQ(port.PortError(), 0);
    EXPECT_FALSE(port.WriteString(marker));
    // Nothing of the dropped string precedes what was written after it.
    Bytes expected = exact;
    expected.insert(expected.end(), marker.begin(), marker.end());
    EXPECT_EQ(pty.receive(expected.size(), kDeadline), expected);
}

TEST_F(PtyPortTest, aSecondOpenIsRefusedAsBusyUntilTheFirstCloses) {
    Comm32 second = portMappingCom3To(pty.slavePath());
    const std::int32_t error = second.OpenPort("bio3");
    EXPECT_THAT(error, AnyOf(EBUSY, EWOULDBLOCK));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_THAT(portErrorText(error, second.DevicePath()),
                AllOf(HasSubstr(pty.slavePath()), HasSubstr("busy"), HasSubstr("another program")));
    // Closing releases the lock and the exclusive flag: the port can be taken again.
    EXPECT_EQ(port.ClosePort(), 0);
    EXPECT_EQ(second.OpenPort("bio3"), 0);
    EXPECT_EQ(second.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
    pty.send({7});
    EXPECT_EQ(readPort(second, 1), (Bytes{7}));
}

TEST_F(PtyPortTest, reopeningClosesTheOldPortEvenWhenTheNewOpenFails) {
    port.ClosePort();
    ASSERT_EQ(port.OpenPort("bio3"), 0);
    EXPECT_EQ(port.OpenPort("/dev/kt6-no-such-port"), ENOENT);
    EXPECT_FALSE(port.IsOpen());
    // The failed reopen let go of the pty, so another port can hold it now.
    Comm32 other = portMappingCom3To(pty.slavePath());
    EXPECT_EQ(other.OpenPort("bio3"), 0);
}

TEST(PortOpenErrors, aMissingDeviceIsReportedAsNoSuchDevice) {
    Comm32 port = portMappingCom3To("/dev/kt6-no-such-port");
    const std::int32_t error = port.OpenPort("bio3");
    EXPECT_EQ(error, ENOENT);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_THAT(portErrorText(error, port.DevicePath()),
                AllOf(HasSubstr("/dev/kt6-no-such-port"), HasSubstr("no such device")));
    // The configure that follows in the console's calling order fails too, on no port.
    EXPECT_NE(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
}

constexpr int kCouldNotDropRoot = 250;

// Runs task where permission checks and the exclusive flag apply: in a child that gives up
// root first when the test runs as root (root is exempt from both). The task's result, which
// must fit an exit status.
int runUnprivileged(const std::function<int()>& task) {
    if (::geteuid() != 0) return task();
    const pid_t child = ::fork();
    if (child < 0) return -1;
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(kCouldNotDropRoot);
        }
        ::_exit(task() & 0xFF);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

// Opens the device as a program that knows nothing of locks would; 0 or the error code.
int plainOpen(const std::string& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

TEST_F(PtyPortTest, programsThatTakeNoLockAreKeptOutUntilThePortCloses) {
    // The unprivileged user must pass the permission check to reach the exclusive flag.
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(pty.slavePath().c_str(), kNobody, kNobody), 0);
    }
    const std::string device = pty.slavePath();
    const int whileHeld = runUnprivileged([&] { return plainOpen(device); });
    ASSERT_NE(whileHeld, kCouldNotDropRoot) << "could not drop root to uid " << kNobody;
    EXPECT_EQ(whileHeld, EBUSY);
    ASSERT_EQ(port.ClosePort(), 0);
    EXPECT_EQ(runUnprivileged([&] { return plainOpen(device); }), 0);
}

TEST(PortOpenErrors, aDeviceTheUserMayNotOpenIsReportedWithTheDialoutHint) {
    PtyPair pty;
    ASSERT_EQ(::chmod(pty.slavePath().c_str(), 0), 0);
    const std::string device = pty.slavePath();
    const int error = runUnprivileged([&] { return portMappingCom3To(device).OpenPort("bio3"); });
    ::chmod(device.c_str(), 0600);
    ASSERT_NE(error, kCouldNotDropRoot) << "could not drop root to uid " << kNobody;
    EXPECT_EQ(error, EACCES);
    EXPECT_THAT(portErrorText(error, pty.slavePath()),
                AllOf(HasSubstr(pty.slavePath()), HasSubstr("permission denied"),
                      HasSubstr("sudo usermod -aG dialout $USER")));
}

class PtyExchangeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pump.attach(&link);
        ASSERT_EQ(port.OpenPort("bio3"), 0) << portErrorText(port.PortError(), port.DevicePath());
        ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
        link.enableExchanges();
    }

    void answerWith(PtyResponder::Reply reply) {
        controller = std::make_unique<PtyResponder>(pty.master(), std::move(reply));
    }

    PtyPair pty;
    Comm32 port = portMappingCom3To(pty.slavePath());
    RealTimePump pump{port};
    Link link{port};
    std::unique_ptr<PtyResponder> controller;
};

TEST_F(PtyExchangeTest, keyPressesAreAnsweredWithTheirSequenceAndStatusZero) {
    answerWith(testing::statusZeroReply);
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(pump.send(8, {5}, false, 4, 100), 0) << "exchange " << i;
    }
    const auto frames = controller->frames();
    ASSERT_EQ(frames.size(), 20u);
    EXPECT_EQ(frames[0], (Bytes{0x0D, 0x08, 0x05}));
    EXPECT_EQ(frames[19], (Bytes{0x20, 0x08, 0x05}));
    EXPECT_EQ(link.txSequence(), 0x20);
}

TEST_F(PtyExchangeTest, escapedDataAndAFlaggedSequenceSurviveTheRoundTrip) {
    answerWith(testing::statusZeroReply);
    link.setTxSequence(13);
    EXPECT_EQ(pump.send(3, {0xF5, 0x1B}, true, 4, 100), 0);
    ASSERT_EQ(controller->frames().size(), 1u);
    EXPECT_EQ(controller->frames()[0], (Bytes{0x8E, 0x03, 0xF5, 0x1B}));
}

TEST_F(PtyExchangeTest, replyDataIsGivenWithoutItsChecksum) {
    const Bytes lengths{0x10, 0x27, 0xF6, 0x4E, 0x30, 0xFA, 0x40, 0x1F};
    answerWith([&](const Bytes& c) -> std::optional<Bytes> {
        Bytes reply{c[0], 0};
        reply.insert(reply.end(), lengths.begin(), lengths.end());
        return encodeFrame(reply).value();
    });
    ASSERT_EQ(pump.send(9, {}, false, 4, 100), 0);
    EXPECT_EQ(pump.lastReply, lengths);
}

TEST_F(PtyExchangeTest, aReplyToAnotherSequenceIsDroppedAndTheRightOneTaken) {
    answerWith([](const Bytes& c) -> std::optional<Bytes> {
        Bytes both = encodeFrame(Bytes{static_cast<std::uint8_t>(c[0] + 1), 7}).value();
        Bytes mine = encodeFrame(Bytes{c[0], 3}).value();
        both.insert(both.end(), mine.begin(), mine.end());
        return both;
    });
    EXPECT_EQ(pump.send(8, {5}, false, 4, 100), 3);
    EXPECT_EQ(controller->frames().size(), 1u);
}

TEST_F(PtyExchangeTest, aSilentControllerGetsEveryTryThen255OnTheLinkTimer) {
    answerWith([](const Bytes&) -> std::optional<Bytes> { return std::nullopt; });
    EXPECT_EQ(pump.send(8, {13}, false, 2, 100), kNoReply);
    ASSERT_TRUE(controller->waitForFrames(2, kDeadline));
    const auto frames = controller->frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], frames[1]);
    // Each try lasts until its wait passes 100 ms: at least three 50 ms ticks of the real clock.
    EXPECT_GE(pump.ticks(), 6);
}

// A pump that counts the exchange's waits and hangs the line up at the first of them.
class HangUpOnFirstWait : public RealTimePump {
  public:
    HangUpOnFirstWait(Comm32& port, PtyPair& pty) : RealTimePump(port), pty_(pty) {}
    void waitForInput(std::chrono::milliseconds timeout) override {
        if (++waits == 1) pty_.hangUp();
        RealTimePump::waitForInput(timeout);
    }
    int waits = 0;

  private:
    PtyPair& pty_;
};

TEST(PtyHangUp, aHangUpDuringAnExchangeClosesThePortWithoutSpinning) {
    PtyPair pty;
    Comm32 port = portMappingCom3To(pty.slavePath());
    HangUpOnFirstWait pump(port, pty);
    Link link(port);
    pump.attach(&link);
    ASSERT_EQ(port.OpenPort("bio3"), 0);
    ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
    int losses = 0;
    port.setDeviceLostHandler([&] { ++losses; });
    link.enableExchanges();

    // A hung-up line polls readable at once for good; a wait loop that believed it would
    // turn round thousands of times in four tries of 100 ms.
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    EXPECT_EQ(pump.waits, 1);
    EXPECT_EQ(losses, 1);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(port.DeviceLost());
    // Later exchanges do not wait at all.
    EXPECT_EQ(pump.send(8, {13}, false, 4, 100), kNoReply);
    EXPECT_EQ(pump.waits, 1);
    EXPECT_EQ(losses, 1);
}

TEST(PtyHangUp, theBackendReportsTheLossAndSleepsOutEveryWait) {
    PtyPair pty;
    auto backend = makePlatformSerialBackend();
    ASSERT_EQ(backend->open(pty.slavePath()), 0);
    ASSERT_EQ(backend->configure(LineSettings{}), 0);
    EXPECT_FALSE(backend->lost());
    pty.hangUp();
    std::uint32_t in = 0;
    std::uint32_t out = 0;
    EXPECT_FALSE(backend->queueCounts(in, out));
    EXPECT_TRUE(backend->lost());
    // Never readable again, and closing and reopening start afresh.
    EXPECT_FALSE(backend->waitReadable(0ms));
    EXPECT_EQ(backend->close(), 0);
    EXPECT_FALSE(backend->lost());
}

TEST(PtyHangUp, theLostPortIsReopenedWhenTheDeviceComesBackOnItsPath) {
    // The port map names a stable path, as a udev rule or the simulator's --link gives.
    const std::filesystem::path device =
        std::filesystem::temp_directory_path() / ("kt6-hangup-" + std::to_string(::getpid()));
    std::filesystem::remove(device);
    auto first = std::make_unique<PtyPair>();
    std::filesystem::create_symlink(first->slavePath(), device);
    Comm32 port = portMappingCom3To(device.string());
    DeviceRecovery recovery([&] {
        return port.OpenPort("bio3") == 0 && port.SetPortParams(19200, 'n', 8, 1, 'N') == 0;
    });
    port.setDeviceLostHandler([&] { recovery.deviceLost(); });
    ASSERT_EQ(port.OpenPort("bio3"), 0);
    ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);

    first->hangUp();
    std::filesystem::remove(device);
    port.WaitForInput(10ms);
    EXPECT_FALSE(port.IsOpen());
    ASSERT_TRUE(recovery.retrying());
    EXPECT_FALSE(recovery.elapse(DeviceRecovery::kRetryInterval));
    EXPECT_FALSE(port.IsOpen());

    PtyPair second;
    std::filesystem::create_symlink(second.slavePath(), device);
    EXPECT_TRUE(recovery.elapse(DeviceRecovery::kRetryInterval));
    EXPECT_TRUE(port.IsOpen());
    EXPECT_EQ(recovery.attempts(), 2);
    {
        PtyResponder controller(second.master());
        RealTimePump pump(port);
        Link link(port);
        pump.attach(&link);
        link.enableExchanges();
        EXPECT_EQ(pump.send(8, {5}, false, 4, 100), 0);
    }
    std::filesystem::remove(device);
}

}  // namespace
}  // namespace kt6
