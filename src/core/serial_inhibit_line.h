#pragma once
// The transmit-inhibit output on one modem line of a serial device: asserted is the line on,
// or off when the station's wiring is active low. The device is opened at the first drive and
// kept open; a device that went away is opened again at the next drive.
#include <memory>
#include <string>

#include "core/moving_outputs.h"
#include "link/line_control.h"

namespace kt6 {

struct InhibitLineChoice {
    // A device path (a COM name already resolved).
    std::string device;
    ModemLine line = ModemLine::Rts;
    // Asserted is the line off.
    bool activeLow = false;
};

class SerialInhibitLine final : public InhibitLine {
  public:
    SerialInhibitLine(std::unique_ptr<LineControl> control, InhibitLineChoice choice);

    std::string assertLine() override { return drive(true); }
    std::string releaseLine() override { return drive(false); }

    // "/dev/ttyUSB3 RTS", for texts.
    std::string name() const;
    const InhibitLineChoice& choice() const { return choice_; }

  private:
    std::string drive(bool asserted);

    std::unique_ptr<LineControl> control_;
    InhibitLineChoice choice_;
};

// True when both name the same line of the same device, through a link or not.
bool sameLine(const InhibitLineChoice& a, const InhibitLineChoice& b);

}  // namespace kt6
