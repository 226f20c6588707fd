#pragma once
// The simulated controller's logic: executes one command frame's content and gives the reply
// content, keeping the tuning, the heading, the display, the menus, the motors and the memory
// blocks. No framing, no I/O, no clock of its own.
#include <array>
#include <cstdint>
#include <vector>

#include "link/bytes.h"
#include "link/commands.h"
#include "link/status.h"
#include "sim/controller_memory.h"
#include "sim/element_lengths.h"
#include "sim/firmware.h"
#include "sim/motion.h"
#include "sim/sim_clock.h"

namespace kt6::sim {

// The command codes the controller knows.
using Command = kt6::CommandCode;

// The reply's status byte.
enum class Status : std::uint8_t {
    Done = 0,
    UnknownCommand = 1,
    BadLength = 2,
    OutOfRange = 3,
};

// The screen numbers the status reply carries (ActiveScreen).
enum class Screen : std::uint8_t {
    Main = 0,
    Retracted = 1,
    Menu = 2,
    ServiceMenu = 3,
    BandDataMenu = 4,
    ElementMenu = 5,
    CalibrateQuestion = 6,
    RetractQuestion = 7,
    FactoryQuestion = 8,
    Editor = 9,
    SaveQuestion = 10,
    TestActive = 11,
    Calibrating = 12,
    TestQuestion = 13,
};

namespace keys = kt6::keys;

inline constexpr std::uint16_t kFrequencyStepKHz = 5;
inline constexpr int kEditStepMm = 5;

struct ControllerConfig {
    Firmware firmware = Firmware::V1_13;
    int drivers = 3;
    int units = 1;  // unit indexes commands 4 and 5 accept: 0 .. units-1
};

class Controller {
  public:
    explicit Controller(ControllerConfig config);

    // Runs one command (content: sequence, code, data; checksum removed) and returns the
    // reply content: the sequence byte, the status byte, the reply data.
    Bytes execute(const Bytes& content, TimePoint now);

    // The status record as command 1 reports it (sequence and status left 0).
    StatusRecord status(TimePoint now) const;
    // The lengths the controller holds for the elements (what command 9 reports).
    Lengths lengths() const { return motion_.target(); }
    const Motion& motion() const { return motion_; }

    Screen screen() const { return screen_; }
    std::uint16_t frequency() const { return frequency_; }
    std::uint8_t heading() const { return heading_; }
    bool displayOff() const { return displayOff_; }
    std::uint8_t bandIndex() const { return bandIndex_; }

    ControllerMemory& memory(int unit = 0) { return units_.at(static_cast<std::size_t>(unit)); }
    const ControllerMemory& memory(int unit = 0) const {
        return units_.at(static_cast<std::size_t>(unit));
    }
    int unitCount() const { return static_cast<int>(units_.size()); }
    // Counts every change to any unit's memory blocks, so a caller can tell when to save.
    std::uint64_t memoryGeneration() const { return memoryGeneration_; }
    // Memory was replaced from outside (a loaded file): retune to its figures.
    void memoryReplaced(TimePoint now);
    const ControllerConfig& config() const { return config_; }

  private:
    // flagged: the sequence byte of the command had its flag bit set.
    Status runCommand(Command code, const Bytes& data, bool flagged, Bytes& reply, TimePoint now);
    Status writeBlock(int unit, int block, const std::uint8_t* bytes, std::size_t n, TimePoint now);
    Status setFrequency(std::uint16_t kHz, TimePoint now);

    // Front panel and menus (controller_keys.cpp).
    Status pressKey(std::uint8_t key, bool flagged, TimePoint now);
    void mainScreenKey(std::uint8_t key, TimePoint now);
    void retractedKey(std::uint8_t key, bool flagged, TimePoint now);
    void testQuestionKey(std::uint8_t key, TimePoint now);
    void menuKey(std::uint8_t key);
    void questionKey(std::uint8_t key, TimePoint now);
    void editorKey(std::uint8_t key, TimePoint now);
    void saveQuestionKey(std::uint8_t key, TimePoint now);
    void selectBand(std::uint8_t bandKey, TimePoint now);
    void stepFrequency(int direction, TimePoint now);
    void stepElement(std::size_t word, int direction, TimePoint now);
    void closeEditor(bool store, TimePoint now);
    void goHome();

    void retract(TimePoint now);
    void calibrate(TimePoint now);
    void recallFactoryBandData(TimePoint now);
    void tuneTo(std::uint16_t kHz, TimePoint now);
    void retune(TimePoint now);
    Lengths wantedLengths() const;
    Offsets activeOffsets() const;
    bool customTuning() const;
    void memoryChanged() { ++memoryGeneration_; }

    ControllerConfig config_;
    std::vector<ControllerMemory> units_;
    std::uint16_t frequency_ = 0;
    std::uint8_t bandIndex_ = 10;
    std::array<std::uint16_t, 8> bandFrequency_{};
    std::uint8_t heading_ = 0;
    bool displayOff_ = false;
    bool testActive_ = false;
    Screen screen_ = Screen::Retracted;
    bool editing_ = false;
    Offsets editOffsets_{};
    Motion motion_;
    std::uint64_t memoryGeneration_ = 0;
};

}  // namespace kt6::sim
