#include "sim/controller.h"

#include <algorithm>

#include "sim/bands.h"

namespace kt6::sim {
namespace {

void put16(Bytes& out, int value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xFF));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

}  // namespace

Controller::Controller(ControllerConfig config) : config_(config) {
    config_.units = std::max(1, config_.units);
    for (int unit = 0; unit < config_.units; ++unit)
        units_.emplace_back(config_.firmware, config_.drivers);
    for (const auto& band : kBands) bandFrequency_[band.key] = band.defaultKHz;
    // A controller comes up where it was switched off; a fresh one on 20 m, tapes in place.
    frequency_ = bandFrequency_[5];
    bandIndex_ = bandIndexOf(frequency_).value_or(bandIndex_);
    screen_ = Screen::Main;
    motion_.placeAt(wantedLengths());
}

Bytes Controller::execute(const Bytes& content, TimePoint now) {
    Bytes reply;
    reply.push_back(content.empty() ? 0 : content[0]);
    reply.push_back(0);
    Status status = Status::BadLength;
    if (content.size() >= 2) {
        const Bytes data(content.begin() + 2, content.end());
        const bool flagged = (content[0] & 0x80) != 0;
        status = runCommand(static_cast<Command>(content[1]), data, flagged, reply, now);
    }
    if (status != Status::Done) reply.resize(2);
    reply[1] = static_cast<std::uint8_t>(status);
    return reply;
}

Status Controller::runCommand(Command code, const Bytes& data, bool flagged, Bytes& reply,
                              TimePoint now) {
    switch (code) {
        case Command::Status: {
            if (!data.empty()) return Status::BadLength;
            const Bytes record = encodeStatusRecord(status(now));
            reply.insert(reply.end(), record.begin() + 2, record.end());
            return Status::Done;
        }
        case Command::Retract:
            if (!data.empty()) return Status::BadLength;
            if (editing_) closeEditor(false, now);
            retract(now);
            return Status::Done;
        case Command::SetFrequency:
            if (data.size() != 2) return Status::BadLength;
            return setFrequency(static_cast<std::uint16_t>(data[0] | data[1] << 8), now);
        case Command::WriteBlock:
            if (data.size() < 2) return Status::BadLength;
            return writeBlock(data[1], data[0], data.data() + 2, data.size() - 2, now);
        case Command::ReadBlock: {
            if (data.size() != 2) return Status::BadLength;
            if (data[1] >= unitCount()) return Status::OutOfRange;
            const auto block = memory(data[1]).read(data[0]);
            if (!block) return Status::OutOfRange;
            reply.insert(reply.end(), block->begin(), block->end());
            return Status::Done;
        }
        case Command::WriteFactory:
            return writeBlock(0, kFactoryBlock, data.data(), data.size(), now);
        case Command::WriteUser:
            return writeBlock(0, kUserBlock, data.data(), data.size(), now);
        case Command::Key:
            if (data.size() != 1) return Status::BadLength;
            return pressKey(data[0], flagged, now);
        case Command::ElementLengths:
            if (!data.empty()) return Status::BadLength;
            for (int mm : lengths()) put16(reply, mm);
            return Status::Done;
        case Command::Progress: {
            if (!data.empty()) return Status::BadLength;
            const bool moving = motion_.movingAt(now);
            put16(reply, moving ? 1 : 0);
            put16(reply, moving ? motion_.progressSixtieths(now) : 0);
            return Status::Done;
        }
    }
    return Status::UnknownCommand;
}

Status Controller::writeBlock(int unit, int block, const std::uint8_t* bytes, std::size_t n,
                              TimePoint now) {
    if (unit >= unitCount()) return Status::OutOfRange;
    ControllerMemory& target = memory(unit);
    const auto current = target.read(block);
    if (!current) return Status::OutOfRange;
    if (current->size() != n) return Status::BadLength;
    target.write(block, std::span<const std::uint8_t>(bytes, n));
    memoryChanged();
    if (unit == 0) retune(now);
    return Status::Done;
}

Status Controller::setFrequency(std::uint16_t kHz, TimePoint now) {
    if (!bandOf(kHz)) return Status::OutOfRange;
    if (editing_) closeEditor(false, now);
    tuneTo(kHz, now);
    if (screen_ == Screen::Retracted || screen_ == Screen::TestActive ||
        screen_ == Screen::Editor || screen_ == Screen::SaveQuestion)
        screen_ = Screen::Main;
    return Status::Done;
}

StatusRecord Controller::status(TimePoint now) const {
    StatusRecord r;
    r.firmwareMinor = firmwareMinor(config_.firmware);
    r.firmwareMajor = firmwareMajor(config_.firmware);
    r.screen = static_cast<std::uint8_t>(screen_);
    r.frequency = frequency_;
    r.band = bandIndex_;
    r.heading = heading_;
    r.flags = static_cast<std::uint16_t>((displayOff_ ? StatusRecord::kDisplayOff : 0) |
                                         (customTuning() ? StatusRecord::kCustomTuning : 0));
    r.moving = motion_.movingAt(now);
    r.drivers = static_cast<std::uint8_t>(config_.drivers);
    return r;
}

void Controller::memoryReplaced(TimePoint now) {
    memoryChanged();
    retune(now);
}

void Controller::tuneTo(std::uint16_t kHz, TimePoint now) {
    const auto band = bandOf(kHz);
    if (!band) return;
    frequency_ = kHz;
    bandFrequency_[band->key] = kHz;
    bandIndex_ = bandIndexOf(kHz).value_or(bandIndex_);
    testActive_ = false;
    retune(now);
}

void Controller::retract(TimePoint now) {
    frequency_ = 0;
    testActive_ = false;
    screen_ = Screen::Retracted;
    retune(now);
}

void Controller::calibrate(TimePoint now) {
    motion_.home(wantedLengths(), now, tapeSpeedMmPerSecond(memory()));
}

void Controller::recallFactoryBandData(TimePoint now) {
    memory().clearUserOffsets();
    memoryChanged();
    for (const auto& band : kBands) bandFrequency_[band.key] = band.defaultKHz;
    retune(now);
}

Offsets Controller::activeOffsets() const {
    return editing_ ? editOffsets_ : storedOffsets(memory(), bandIndex_);
}

bool Controller::customTuning() const {
    if (frequency_ == 0) return false;
    const Offsets stored = storedOffsets(memory(), bandIndex_);
    return std::any_of(stored.begin(), stored.end(), [](std::int32_t v) { return v != 0; });
}

Lengths Controller::wantedLengths() const {
    if (frequency_ == 0) return testActive_ ? testLengths(config_.drivers) : Lengths{};
    return tunedLengths(memory(), frequency_, bandIndex_, heading_, activeOffsets(),
                        config_.drivers);
}

void Controller::retune(TimePoint now) {
    const Lengths wanted = wantedLengths();
    if (wanted == motion_.target()) return;
    motion_.moveTo(wanted, now, tapeSpeedMmPerSecond(memory()));
}

}  // namespace kt6::sim
