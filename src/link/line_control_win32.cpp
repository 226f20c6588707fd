// The line control on Windows: the port opened on its own handle, one line set or cleared with
// EscapeCommFunction. Windows gives a COM port to one program at a time, so unlike on POSIX
// systems the port's other user (a CAT program on the same adapter) cannot have it meanwhile.
#include <windows.h>

#include "link/line_control.h"

namespace kt6 {
namespace {

class Win32LineControl final : public LineControl {
  public:
    ~Win32LineControl() override { close(); }

    int open(const std::string& path) override {
        close();
        handle_ = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
        if (handle_ == INVALID_HANDLE_VALUE) return static_cast<int>(::GetLastError());
        return 0;
    }

    int set(ModemLine line, bool on) override {
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        const DWORD function =
            line == ModemLine::Dtr ? (on ? SETDTR : CLRDTR) : (on ? SETRTS : CLRRTS);
        if (::EscapeCommFunction(handle_, function)) return 0;
        const DWORD error = ::GetLastError();
        // Not a serial device, or one without modem lines.
        if (error == ERROR_INVALID_FUNCTION || error == ERROR_NOT_SUPPORTED) return kNoModemLines;
        return static_cast<int>(error);
    }

    bool isOpen() const override { return handle_ != INVALID_HANDLE_VALUE; }

    void close() override {
        if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace

std::unique_ptr<LineControl> makePlatformLineControl() {
    return std::make_unique<Win32LineControl>();
}

}  // namespace kt6
