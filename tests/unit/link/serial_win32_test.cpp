// The Windows serial backend's logic on a fake of the Win32 calls, so that it runs on every
// system: the port names, the queue size, the room check, short writes, a pulled adapter, the
// line settings and the purge, and the wait for input on the event rather than the counts.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/comm32.h"
#include "link/serial_win32_logic.h"

namespace kt6 {
namespace {

using ::testing::ElementsAre;
using win32::CommState;

// What the fake Win32 calls were asked, and what they answer.
struct FakeComm {
    std::vector<std::string> calls;
    std::string openedPath;
    std::uint32_t openError = 0;
    std::uint32_t txQueue = 0;
    std::uint32_t setStateError = 0;
    CommState applied;
    std::uint32_t input = 0;
    std::uint32_t output = 0;
    std::uint32_t clearErrorResult = 0;
    std::uint32_t writeError = 0;
    std::size_t writeLimit = SIZE_MAX;
    Bytes written;
    bool eventSignalled = false;
    // Bytes that arrive while a wait sleeps on the event, or just as it is armed.
    std::uint32_t arriveDuringWait = 0;
    std::uint32_t arriveAtArm = 0;
    std::uint32_t waitError = 0;
};

class FakeCommApi final : public win32::CommApi {
  public:
    explicit FakeCommApi(FakeComm& s) : s_(s) {}
    std::uint32_t open(const std::string& path) override {
        s_.calls.push_back("CreateFileA " + path);
        s_.openedPath = path;
        return s_.openError;
    }
    std::uint32_t close() override {
        s_.calls.push_back("CloseHandle");
        return 0;
    }
    void setupComm(std::uint32_t in, std::uint32_t out) override {
        s_.calls.push_back("SetupComm " + std::to_string(in) + " " + std::to_string(out));
    }
    std::uint32_t currentTxQueue() override { return s_.txQueue; }
    bool getState(CommState& state) override {
        s_.calls.push_back("GetCommState");
        state = CommState{};
        state.parity = 2;  // the driver's own, kept for an unknown letter
        return true;
    }
    std::uint32_t setState(const CommState& state) override {
        s_.calls.push_back("SetCommState");
        s_.applied = state;
        return s_.setStateError;
    }
    void setReadAtOnce() override { s_.calls.push_back("SetCommTimeouts"); }
    void purge(std::uint32_t flags) override {
        s_.calls.push_back("PurgeComm " + std::to_string(flags));
        s_.input = s_.output = 0;
    }
    std::uint32_t clearError(std::uint32_t& in, std::uint32_t& out) override {
        in = s_.input;
        out = s_.output;
        return s_.clearErrorResult;
    }
    std::uint32_t read(std::uint8_t* buffer, std::size_t n, std::size_t& got) override {
        got = std::min<std::size_t>(n, s_.input);
        for (std::size_t i = 0; i < got; ++i) buffer[i] = static_cast<std::uint8_t>(i);
        s_.input -= static_cast<std::uint32_t>(got);
        return 0;
    }
    std::uint32_t write(const std::uint8_t* data, std::size_t n, std::size_t& put) override {
        s_.calls.push_back("WriteFile " + std::to_string(n));
        put = 0;
        if (s_.writeError != 0) return s_.writeError;
        put = std::min(n, s_.writeLimit);
        s_.written.insert(s_.written.end(), data, data + put);
        return 0;
    }
    std::uint32_t armInputWait() override {
        s_.calls.push_back("WaitCommEvent");
        s_.input += s_.arriveAtArm;
        return s_.waitError;
    }
    bool waitInputEvent(std::chrono::milliseconds) override {
        s_.calls.push_back("WaitForSingleObject");
        s_.input += s_.arriveDuringWait;
        return s_.arriveDuringWait > 0 || s_.eventSignalled;
    }
    void signalInputEvent() override { s_.eventSignalled = true; }
    std::uint32_t readWaiting(std::uint8_t* buffer, std::size_t n, std::chrono::milliseconds,
                              std::size_t& got) override {
        s_.calls.push_back("ReadFile waiting");
        s_.input += s_.arriveDuringWait;
        return read(buffer, n, got);
    }
    void* inputEvent() const override { return &s_; }

  private:
    FakeComm& s_;
};

Comm32 portOn(FakeComm& comm) {
    return Comm32(win32::makeSerialBackend(std::make_unique<FakeCommApi>(comm)),
                  comPortResolver(nullptr, win32::comDevicePath));
}

TEST(Win32Serial, bioNamesInAnyCaseOpenTheirComDeviceAndCom10AndAboveToo) {
    for (const char* name : {"bio3", "BIO3", "Bio3"}) {
        FakeComm comm;
        Comm32 port = portOn(comm);
        ASSERT_EQ(port.OpenPort(name), 0) << name;
        EXPECT_THAT(comm.calls, ElementsAre("CreateFileA \\\\.\\COM3", "SetupComm 2048 2048"));
    }
    FakeComm comm;
    Comm32 port = portOn(comm);
    port.OpenPort("bio10");
    EXPECT_EQ(comm.openedPath, "\\\\.\\COM10");

    // A failed open leaves its GetLastError() code and no port; the queues are not touched.
    FakeComm missing;
    missing.openError = win32::kErrorFileNotFound;
    Comm32 none = portOn(missing);
    EXPECT_EQ(none.OpenPort("bio12"), 2);
    EXPECT_FALSE(none.IsOpen());
    EXPECT_THAT(missing.calls, ElementsAre("CreateFileA \\\\.\\COM12"));
}

TEST(Win32Serial, aZeroQueueSizeIs2048AndAStringThatWouldNotFitIsNotHandedOver) {
    FakeComm comm;
    Comm32 port = portOn(comm);
    port.OpenPort("bio1");
    EXPECT_EQ(port.TxQueueSize(), 2048);

    const Bytes frame(10, 0x55);
    comm.output = 2039;  // room for 9
    EXPECT_TRUE(port.WriteString(frame));
    EXPECT_TRUE(comm.written.empty());
    comm.output = 2038;  // room for exactly 10
    EXPECT_FALSE(port.WriteString(frame));
    EXPECT_EQ(comm.written, frame);
    EXPECT_EQ(port.PortError(), 0);

    FakeComm big;
    big.txQueue = 0x11000;  // only the low 16 bits count
    Comm32 other = portOn(big);
    other.OpenPort("bio2");
    EXPECT_EQ(other.TxQueueSize(), 0x1000);
}

TEST(Win32Serial, aShortWriteLeavesMinusFiveAndAFailedOneItsErrorCode) {
    FakeComm comm;
    Comm32 port = portOn(comm);
    port.OpenPort("bio1");
    comm.writeLimit = 3;
    EXPECT_FALSE(port.WriteString(Bytes(8, 1)));
    EXPECT_EQ(port.PortError(), Comm32::kShortWrite);

    comm.writeError = win32::kErrorInvalidParameter;
    EXPECT_FALSE(port.WriteString(Bytes(8, 1)));
    EXPECT_EQ(port.PortError(), static_cast<std::int32_t>(win32::kErrorInvalidParameter));
    EXPECT_TRUE(port.IsOpen()) << "one failed call is not a lost device";
    EXPECT_FALSE(port.DeviceLost());
}

TEST(Win32Serial, aPulledAdapterIsADeviceLossWhicheverCallSeesItFirst) {
    for (std::uint32_t error : {win32::kErrorBadCommand, win32::kErrorAccessDenied,
                                win32::kErrorGenFailure, win32::kErrorOperationAborted}) {
        for (bool byWrite : {false, true}) {
            FakeComm comm;
            Comm32 port = portOn(comm);
            int losses = 0;
            port.setDeviceLostHandler([&] { ++losses; });
            port.OpenPort("bio4");
            if (byWrite) {
                comm.writeError = error;
                port.WriteString(Bytes{1, 2});
                EXPECT_EQ(port.PortError(), static_cast<std::int32_t>(error));
            } else {
                comm.clearErrorResult = error;
                EXPECT_EQ(port.InputCount(), 0);
            }
            EXPECT_TRUE(port.DeviceLost()) << error;
            EXPECT_FALSE(port.IsOpen()) << error;
            EXPECT_EQ(comm.calls.back(), "CloseHandle") << error;
            EXPECT_EQ(losses, 1) << error;
        }
    }
}

TEST(Win32Serial, theControllersLineIsSetThenEverythingPendingPurged) {
    FakeComm comm;
    Comm32 port = portOn(comm);
    port.OpenPort("bio5");
    comm.input = 7;  // arrived before the line was set
    comm.calls.clear();
    ASSERT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 0);
    EXPECT_THAT(comm.calls,
                ElementsAre("GetCommState", "SetCommState", "SetCommTimeouts", "PurgeComm 15"));
    const CommState& s = comm.applied;
    EXPECT_EQ(s.baudRate, 19200u);
    EXPECT_EQ(s.byteSize, 8);
    EXPECT_EQ(s.parity, 0);
    EXPECT_EQ(s.stopBits, 0);
    EXPECT_TRUE(s.binary && s.parityCheck && s.txContinueOnXoff);
    EXPECT_EQ(s.dtrControl, 1);
    EXPECT_FALSE(s.outxCtsFlow || s.outxDsrFlow || s.dsrSensitivity || s.outX || s.inX);
    EXPECT_FALSE(s.errorChar || s.abortOnError);
    EXPECT_EQ(s.xonLim, 256);
    EXPECT_EQ(s.xoffLim, 1024);
    EXPECT_EQ(s.errorCharValue, '?');
    EXPECT_EQ(port.InputCount(), 0);

    // An unknown parity letter keeps the driver's; two stop bits only for 2; H and X flows.
    port.SetPortParams(9600, 'q', 7, 3, 'H');
    EXPECT_EQ(comm.applied.parity, 2);
    EXPECT_EQ(comm.applied.stopBits, 0);
    EXPECT_TRUE(comm.applied.outxCtsFlow && comm.applied.outxDsrFlow);
    port.SetPortParams(9600, 'E', 8, 2, 'X');
    EXPECT_EQ(comm.applied.stopBits, 2);
    EXPECT_TRUE(comm.applied.outX && comm.applied.inX);

    // A refused setting ends it there: no time-outs, no purge.
    comm.setStateError = win32::kErrorInvalidParameter;
    comm.calls.clear();
    EXPECT_EQ(port.SetPortParams(19200, 'n', 8, 1, 'N'), 87);
    EXPECT_THAT(comm.calls, ElementsAre("GetCommState", "SetCommState"));
}

TEST(Win32Serial, waitingForInputSleepsOnTheEventAndBytesAlreadyThereWakeItAtOnce) {
    FakeComm comm;
    Comm32 port = portOn(comm);
    port.OpenPort("bio6");
    EXPECT_NE(port.ReadinessEvent(), nullptr);
    comm.calls.clear();
    comm.arriveDuringWait = 5;
    EXPECT_TRUE(port.WaitForInput(std::chrono::milliseconds(200)));
    EXPECT_THAT(comm.calls, ElementsAre("WaitCommEvent", "WaitForSingleObject"));
    std::uint8_t b = 0;
    EXPECT_TRUE(port.ReadByte(b));

    // Bytes waiting when the wait is armed came before EV_RXCHAR could see them: the event
    // is set by hand, so a notifier on it fires too.
    FakeComm ready;
    Comm32 other = portOn(ready);
    other.OpenPort("bio6");
    ready.calls.clear();
    ready.arriveAtArm = 2;
    EXPECT_TRUE(other.WaitForInput(std::chrono::milliseconds(200)));
    EXPECT_THAT(ready.calls, ElementsAre("WaitCommEvent"));
    EXPECT_TRUE(ready.eventSignalled);

    // Nothing comes: one sleep on the event for the whole time, no look at the counts between.
    FakeComm quiet;
    Comm32 idle = portOn(quiet);
    idle.OpenPort("bio6");
    quiet.calls.clear();
    EXPECT_FALSE(idle.WaitForInput(std::chrono::milliseconds(20)));
    EXPECT_THAT(quiet.calls, ElementsAre("WaitCommEvent", "WaitForSingleObject"));
}

TEST(Win32Serial, aWaitAbortedOnAPortThatStillAnswersBecomesABlockingReadNotALoss) {
    FakeComm comm;
    Comm32 port = portOn(comm);
    port.OpenPort("bio7");
    comm.calls.clear();
    comm.waitError = win32::kErrorOperationAborted;
    comm.arriveDuringWait = 3;
    EXPECT_TRUE(port.WaitForInput(std::chrono::milliseconds(200)));
    EXPECT_THAT(comm.calls, ElementsAre("WaitCommEvent", "ReadFile waiting"));
    EXPECT_FALSE(port.DeviceLost());
    EXPECT_EQ(port.ReadinessEvent(), nullptr) << "no event to watch any more";
    // What the waiting read took is the port's input, in order.
    EXPECT_EQ(port.InputCount(), 3);
    std::uint8_t b = 9;
    ASSERT_TRUE(port.ReadByte(b));
    EXPECT_EQ(b, 0);

    // The same abort with the port no longer answering is the adapter gone.
    FakeComm pulled;
    Comm32 gone = portOn(pulled);
    gone.OpenPort("bio7");
    pulled.waitError = win32::kErrorOperationAborted;
    pulled.clearErrorResult = 0;
    gone.InputCount();
    pulled.clearErrorResult = win32::kErrorGenFailure;
    gone.WaitForInput(std::chrono::milliseconds(5));
    EXPECT_TRUE(gone.DeviceLost());
}

}  // namespace
}  // namespace kt6
