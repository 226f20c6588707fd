#include "sim/controller_memory.h"

#include "memory/block_codec.h"

namespace kt6::sim {
namespace {

// Figures of a stock antenna: 250 mm/s tapes (1000 steps/s, 400 steps per 100 mm) and half
// elements of 71.5e6 / f(kHz) mm, 5053 mm on 20 m.
constexpr int kMotMaxVel = 1000;
constexpr int kMotMinVel = 200;
constexpr std::int32_t kFreqToMm = 71'500'000;
constexpr int kMinExtension = 300;
constexpr int kMaxExtension = 10'900;
constexpr int kStepsPerConversion = 400;
constexpr int kMmPerConversion = 100;
constexpr int kEepromVersion = 3;

}  // namespace

ControllerMemory::ControllerMemory(Firmware firmware, int drivers)
    : firmware_(firmware), drivers_(drivers) {
    resetAll();
}

std::string_view ControllerMemory::layoutOf(int block) const {
    const auto info = blockInfo(block, firmwareVersion(firmware_));
    return info ? info->layout : std::string_view{};
}

Bytes* ControllerMemory::slot(int block) {
    if (!blockInfo(block, firmwareVersion(firmware_))) return nullptr;
    return &blocks_[static_cast<std::size_t>(block)];
}

const Bytes* ControllerMemory::slot(int block) const {
    if (!blockInfo(block, firmwareVersion(firmware_))) return nullptr;
    return &blocks_[static_cast<std::size_t>(block)];
}

std::optional<Bytes> ControllerMemory::read(int block) const {
    const Bytes* bytes = slot(block);
    if (!bytes) return std::nullopt;
    return *bytes;
}

bool ControllerMemory::write(int block, std::span<const std::uint8_t> bytes) {
    Bytes* stored = slot(block);
    if (!stored || bytes.size() != stored->size()) return false;
    stored->assign(bytes.begin(), bytes.end());
    return true;
}

std::optional<std::int32_t> ControllerMemory::integer(int block, std::string_view key) const {
    const Bytes* bytes = slot(block);
    const auto field = findField(layoutOf(block), key);
    if (!bytes || !field || field->kind == FieldKind::Text) return std::nullopt;
    return readInteger(*bytes, *field);
}

std::optional<std::string> ControllerMemory::text(int block, std::string_view key) const {
    const Bytes* bytes = slot(block);
    const auto field = findField(layoutOf(block), key);
    if (!bytes || !field || field->kind != FieldKind::Text) return std::nullopt;
    return readText(*bytes, *field);
}

bool ControllerMemory::setInteger(int block, std::string_view key, std::int64_t value) {
    Bytes* bytes = slot(block);
    const auto field = findField(layoutOf(block), key);
    if (!bytes || !field || field->kind == FieldKind::Text) return false;
    return writeInteger(*bytes, *field, value);
}

bool ControllerMemory::setText(int block, std::string_view key, std::string_view value) {
    Bytes* bytes = slot(block);
    const auto field = findField(layoutOf(block), key);
    if (!bytes || !field || field->kind != FieldKind::Text) return false;
    return writeText(*bytes, *field, value);
}

// The controller keeps a sum of the block's bytes in its first byte; nothing checks it.
void ControllerMemory::seal(int block) {
    Bytes* bytes = slot(block);
    if (!bytes || bytes->empty()) return;
    std::uint8_t sum = 0;
    for (std::size_t i = 1; i < bytes->size(); ++i)
        sum = static_cast<std::uint8_t>(sum + (*bytes)[i]);
    (*bytes)[0] = sum;
}

void ControllerMemory::resetAll() {
    const std::uint16_t version = firmwareVersion(firmware_);
    for (int block = 0; block < kBlockCount; ++block) {
        const auto size = blockSize(block, version);
        blocks_[static_cast<std::size_t>(block)].assign(size.value_or(0), 0);
    }
    fillFactory();
    fillUser();
    for (int block = kFirstUseroffsBlock; block <= kLastUseroffsBlock; ++block) seal(block);
    for (int block = kFirstFactoryTuneBlock; block <= kLastFactoryTuneBlock; ++block) seal(block);
}

void ControllerMemory::clearUserOffsets() {
    for (int block = kFirstUseroffsBlock; block <= kLastUseroffsBlock; ++block) {
        Bytes& bytes = blocks_[static_cast<std::size_t>(block)];
        bytes.assign(bytes.size(), 0);
    }
}

void ControllerMemory::fillFactory() {
    setInteger(kFactoryBlock, "mot_maxvel", kMotMaxVel);
    setInteger(kFactoryBlock, "mot_minvel", kMotMinVel);
    setInteger(kFactoryBlock, "mot_accel", 3);
    setInteger(kFactoryBlock, "pwm_rampa", 200);
    setInteger(kFactoryBlock, "pwm_crociera", 160);
    setInteger(kFactoryBlock, "pwm_azzera", 130);
    setInteger(kFactoryBlock, "vel_azzera", 1000);
    setInteger(kFactoryBlock, "pwm_freq", 2);
    setInteger(kFactoryBlock, "k_freq2mm", kFreqToMm);
    setInteger(kFactoryBlock, "min_estensio", kMinExtension);
    setInteger(kFactoryBlock, "max_estensio", kMaxExtension);
    setInteger(kFactoryBlock, "max_estensio2", kMaxExtension - 400);
    setInteger(kFactoryBlock, "max_estensio3", kMaxExtension + 100);
    setInteger(kFactoryBlock, "max_estensio4", kMaxExtension - 500);
    setInteger(kFactoryBlock, "k_mm2s_passi", kStepsPerConversion);
    setInteger(kFactoryBlock, "k_mm2s_mm", kMmPerConversion);
    setInteger(kFactoryBlock, "max_tpband", 11);
    setInteger(kFactoryBlock, "max_driver", drivers_);
    setText(kFactoryBlock, "model", kModelText);
    setText(kFactoryBlock, "welcome", kWelcomeText);
    setInteger(kFactoryBlock, "eeprom_vers", kEepromVersion);
    // Three +24 V windows: an amplifier relay on 40 m, 20 m and 6 m.
    setInteger(kFactoryBlock, "v24l1", 7000);
    setInteger(kFactoryBlock, "v24h1", 7300);
    setInteger(kFactoryBlock, "v24l2", 14000);
    setInteger(kFactoryBlock, "v24h2", 14350);
    setInteger(kFactoryBlock, "v24l3", 50000);
    setInteger(kFactoryBlock, "v24h3", 51000);
    setText(kFactoryBlock, "v24mess", kV24Message);
    seal(kFactoryBlock);
}

void ControllerMemory::fillUser() {
    setInteger(kUserBlock, "bipbip", 1);
    setInteger(kUserBlock, "movebip", 1);
    setInteger(kUserBlock, "repebip", 0);
    setInteger(kUserBlock, "contrasto", 8);
    setInteger(kUserBlock, "luminosita", 12);
    setInteger(kUserBlock, "lingua", 1);
    setInteger(kUserBlock, "umisura", 0);
    setText(kUserBlock, "welcome", kWelcomeText);
    setInteger(kUserBlock, "civ_brate", 3);
    setInteger(kUserBlock, "rtx_commpars", 3);
    setInteger(kUserBlock, "eeprom_vers", kEepromVersion);
    seal(kUserBlock);
}

}  // namespace kt6::sim
