// The serial backend on Windows: the Win32 communications calls behind the CommApi of
// serial_win32_logic.h, which holds what the backend decides. The handle is opened overlapped
// so that one WaitCommEvent(EV_RXCHAR) can stay outstanding beside the reads and writes: its
// event wakes a blocking wait, and a window's event notifier can watch it. Reads and writes
// still complete before they return, as synchronous ones would.
#include <windows.h>

#include <algorithm>

#include "link/serial_backend.h"
#include "link/serial_win32_logic.h"

namespace kt6 {
namespace {

using win32::CommState;

// An event object, closed with its owner.
class Event {
  public:
    Event() : handle_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_) ::CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE get() const { return handle_; }

  private:
    HANDLE handle_;
};

class Win32CommApi final : public win32::CommApi {
  public:
    ~Win32CommApi() override { close(); }

    std::uint32_t open(const std::string& path) override {
        close();
        handle_ = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) return ::GetLastError();
        if (!ioEvent_.get() || !waitEvent_.get()) {
            close();
            return ERROR_NOT_ENOUGH_MEMORY;
        }
        waiting_ = false;
        return 0;
    }

    std::uint32_t close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        abandonWait();
        const BOOL closed = ::CloseHandle(handle_);
        const DWORD error = closed ? 0 : ::GetLastError();
        handle_ = INVALID_HANDLE_VALUE;
        return error;
    }

    void setupComm(std::uint32_t input, std::uint32_t output) override {
        ::SetupComm(handle_, input, output);
    }

    std::uint32_t currentTxQueue() override {
        COMMPROP properties{};
        if (!::GetCommProperties(handle_, &properties)) return 0;
        return properties.dwCurrentTxQueue;
    }

    bool getState(CommState& state) override {
        dcb_ = DCB{};
        dcb_.DCBlength = sizeof dcb_;
        if (!::GetCommState(handle_, &dcb_)) return false;
        state.baudRate = dcb_.BaudRate;
        state.byteSize = dcb_.ByteSize;
        state.parity = dcb_.Parity;
        state.stopBits = dcb_.StopBits;
        state.binary = dcb_.fBinary;
        state.parityCheck = dcb_.fParity;
        state.outxCtsFlow = dcb_.fOutxCtsFlow;
        state.outxDsrFlow = dcb_.fOutxDsrFlow;
        state.dtrControl = static_cast<std::uint8_t>(dcb_.fDtrControl);
        state.dsrSensitivity = dcb_.fDsrSensitivity;
        state.txContinueOnXoff = dcb_.fTXContinueOnXoff;
        state.outX = dcb_.fOutX;
        state.inX = dcb_.fInX;
        state.errorChar = dcb_.fErrorChar;
        state.abortOnError = dcb_.fAbortOnError;
        state.xonLim = dcb_.XonLim;
        state.xoffLim = dcb_.XoffLim;
        state.errorCharValue = dcb_.ErrorChar;
        return true;
    }

    std::uint32_t setState(const CommState& state) override {
        // Over the block the driver gave: RTS control, null stripping and the special
        // characters stay as they were.
        DCB dcb = dcb_;
        dcb.DCBlength = sizeof dcb;
        dcb.BaudRate = state.baudRate;
        dcb.ByteSize = state.byteSize;
        dcb.Parity = state.parity;
        dcb.StopBits = state.stopBits;
        dcb.fBinary = state.binary;
        dcb.fParity = state.parityCheck;
        dcb.fOutxCtsFlow = state.outxCtsFlow;
        dcb.fOutxDsrFlow = state.outxDsrFlow;
        dcb.fDtrControl = state.dtrControl;
        dcb.fDsrSensitivity = state.dsrSensitivity;
        dcb.fTXContinueOnXoff = state.txContinueOnXoff;
        dcb.fOutX = state.outX;
        dcb.fInX = state.inX;
        dcb.fErrorChar = state.errorChar;
        dcb.fAbortOnError = state.abortOnError;
        dcb.XonLim = state.xonLim;
        dcb.XoffLim = state.xoffLim;
        dcb.ErrorChar = state.errorCharValue;
        return ::SetCommState(handle_, &dcb) ? 0 : ::GetLastError();
    }

    void setReadAtOnce() override {
        COMMTIMEOUTS timeouts{};
        timeouts.ReadIntervalTimeout = MAXDWORD;
        ::SetCommTimeouts(handle_, &timeouts);
    }

    void purge(std::uint32_t flags) override { ::PurgeComm(handle_, flags); }

    std::uint32_t clearError(std::uint32_t& input, std::uint32_t& output) override {
        DWORD errors = 0;
        COMSTAT status{};
        if (!::ClearCommError(handle_, &errors, &status)) return ::GetLastError();
        input = status.cbInQue;
        output = status.cbOutQue;
        return 0;
    }

    std::uint32_t read(std::uint8_t* buffer, std::size_t n, std::size_t& got) override {
        got = 0;
        DWORD transferred = 0;
        const std::uint32_t error = transfer(
            [&](OVERLAPPED* o) {
                return ::ReadFile(handle_, buffer, static_cast<DWORD>(n), nullptr, o);
            },
            transferred);
        got = transferred;
        return error;
    }

    std::uint32_t write(const std::uint8_t* data, std::size_t n, std::size_t& put) override {
        put = 0;
        DWORD transferred = 0;
        const std::uint32_t error = transfer(
            [&](OVERLAPPED* o) {
                return ::WriteFile(handle_, data, static_cast<DWORD>(n), nullptr, o);
            },
            transferred);
        put = transferred;
        return error;
    }

    std::uint32_t armInputWait() override {
        if (waiting_) {
            DWORD ignored = 0;
            if (!::GetOverlappedResult(handle_, &waitIo_, &ignored, FALSE)) {
                const DWORD error = ::GetLastError();
                // Still outstanding: the armed wait serves.
                if (error == ERROR_IO_INCOMPLETE) return 0;
                waiting_ = false;
                return error;
            }
            waiting_ = false;
        }
        if (!maskSet_) {
            if (!::SetCommMask(handle_, EV_RXCHAR)) return ::GetLastError();
            maskSet_ = true;
        }
        ::ResetEvent(waitEvent_.get());
        waitIo_ = OVERLAPPED{};
        waitIo_.hEvent = waitEvent_.get();
        if (::WaitCommEvent(handle_, &waitMask_, &waitIo_)) {
            // Done at once: a byte came while nothing waited; the event says so.
            ::SetEvent(waitEvent_.get());
            return 0;
        }
        const DWORD error = ::GetLastError();
        if (error != ERROR_IO_PENDING) return error;
        waiting_ = true;
        return 0;
    }

    bool waitInputEvent(std::chrono::milliseconds timeout) override {
        return ::WaitForSingleObject(waitEvent_.get(), static_cast<DWORD>(timeout.count())) ==
               WAIT_OBJECT_0;
    }

    std::uint32_t readWaiting(std::uint8_t* buffer, std::size_t n,
                              std::chrono::milliseconds timeout, std::size_t& got) override {
        // One byte with a total time-out: it returns with the first byte that arrives, else
        // empty when the time is up. (Wine does not honour the MAXDWORD, MAXDWORD, constant
        // form, which would take everything there at once: its read never returns.)
        COMMTIMEOUTS waiting{};
        waiting.ReadTotalTimeoutConstant =
            static_cast<DWORD>(std::min<std::int64_t>(timeout.count(), MAXDWORD - 1));
        if (!::SetCommTimeouts(handle_, &waiting)) return ::GetLastError();
        const std::uint32_t error = read(buffer, std::min<std::size_t>(n, 1), got);
        setReadAtOnce();
        return error;
    }

    void signalInputEvent() override { ::SetEvent(waitEvent_.get()); }
    void* inputEvent() const override { return waitEvent_.get(); }

  private:
    // One read or write on the overlapped handle, finished before it returns.
    template <typename Start>
    std::uint32_t transfer(Start start, DWORD& transferred) {
        OVERLAPPED io{};
        io.hEvent = ioEvent_.get();
        ::ResetEvent(io.hEvent);
        if (!start(&io)) {
            const DWORD error = ::GetLastError();
            if (error != ERROR_IO_PENDING) return error;
        }
        if (!::GetOverlappedResult(handle_, &io, &transferred, TRUE)) return ::GetLastError();
        return 0;
    }

    // The outstanding wait is cancelled and its end collected before its OVERLAPPED goes.
    void abandonWait() {
        maskSet_ = false;
        if (!waiting_) return;
        ::SetCommMask(handle_, 0);
        DWORD ignored = 0;
        if (!::GetOverlappedResult(handle_, &waitIo_, &ignored, FALSE) &&
            ::GetLastError() == ERROR_IO_INCOMPLETE) {
            ::CancelIoEx(handle_, &waitIo_);
            ::GetOverlappedResult(handle_, &waitIo_, &ignored, TRUE);
        }
        waiting_ = false;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    DCB dcb_{};
    Event ioEvent_;
    Event waitEvent_;
    OVERLAPPED waitIo_{};
    DWORD waitMask_ = 0;
    bool waiting_ = false;
    bool maskSet_ = false;
};

}  // namespace

std::unique_ptr<SerialBackend> makePlatformSerialBackend() {
    return win32::makeSerialBackend(std::make_unique<Win32CommApi>());
}

}  // namespace kt6
