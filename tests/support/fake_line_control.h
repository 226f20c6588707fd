#pragma once
// An in-memory serial device's modem lines for tests: what was opened and driven is logged in
// order, the lines' levels are kept per device (as the hardware keeps them, whoever drives
// them), and opens and drives can be made to fail.
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/serial_inhibit_line.h"
#include "link/line_control.h"

namespace kt6::testing {

struct FakeLineState {
    // "open /dev/ttyUSB3", "RTS on", "DTR off", "close", in order, from every control on it.
    std::vector<std::string> log;
    // Each device's lines as last driven; a line never driven is absent.
    std::map<std::pair<std::string, ModemLine>, bool> levels;
    // Opens fail with this while it is not 0; sets likewise.
    int openError = 0;
    int setError = 0;
    int opens = 0;

    // The level of a device's line; false when never driven.
    bool on(const std::string& device, ModemLine line) const {
        const auto it = levels.find({device, line});
        return it != levels.end() && it->second;
    }
    bool driven(const std::string& device, ModemLine line) const {
        return levels.contains({device, line});
    }
};

class FakeLineControl : public LineControl {
  public:
    explicit FakeLineControl(FakeLineState& state) : s_(state) {}
    // As the platform's: the device is let go with its control.
    ~FakeLineControl() override { close(); }

    int open(const std::string& path) override {
        s_.log.push_back("open " + path);
        if (s_.openError != 0) return s_.openError;
        ++s_.opens;
        path_ = path;
        open_ = true;
        return 0;
    }
    int set(ModemLine line, bool on) override {
        if (!open_) return 9;  // EBADF
        if (s_.setError != 0) {
            s_.log.push_back(std::string(modemLineName(line)) + " failed");
            return s_.setError;
        }
        s_.log.push_back(std::string(modemLineName(line)) + (on ? " on" : " off"));
        s_.levels[{path_, line}] = on;
        return 0;
    }
    bool isOpen() const override { return open_; }
    void close() override {
        if (!open_) return;
        s_.log.push_back("close");
        open_ = false;
    }

  private:
    FakeLineState& s_;
    std::string path_;
    bool open_ = false;
};

// An inhibit line on a fake device of the state given.
inline SerialInhibitLine lineOn(FakeLineState& state, ModemLine line, bool activeLow,
                                std::string device = "/dev/ttyUSB3") {
    return SerialInhibitLine(std::make_unique<FakeLineControl>(state),
                             InhibitLineChoice{std::move(device), line, activeLow});
}

}  // namespace kt6::testing
