#pragma once
// The controller's memory blocks: the layout string of each block kind, which layout a block
// number has under a given firmware, and the byte positions a layout gives its fields.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kt6 {

// FirmwareVersion (minor + 256 x major) from which block 0 and 1 take their second layouts.
inline constexpr std::uint16_t kFirmware113 = 0x010D;
// From this version on the setup panel writes the +24 V fields.
inline constexpr std::uint16_t kFirmware130 = 0x011E;

inline constexpr std::string_view FactoryLayout1 =
    "!checksum 1;mot_maxvel 2;mot_minvel 2;mot_accel 1;pwm_rampa 2;pwm_crociera 2;pwm_azzera "
    "2;vel_azzera 2;pwm_freq 1;k_freq2mm 4;min_estensio 2;max_estensio 2;k_mm2s_passi "
    "2;k_mm2s_mm 2;max_tpband 1;max_driver 1;?model 16;";
inline constexpr std::string_view FactoryLayout2 =
    "!checksum 1;mot_maxvel 2;mot_minvel 2;mot_accel 1;pwm_rampa 2;pwm_crociera 2;pwm_azzera "
    "2;vel_azzera 2;pwm_freq 1;k_freq2mm 4;min_estensio 2;max_estensio 2;max_estensio2 "
    "2;max_estensio3 2;max_estensio4 2;k_mm2s_passi 2;k_mm2s_mm 2;max_tpband 1;max_driver "
    "1;?model 16;?welcome 24;eeprom_vers 1;v24l1 2;v24l2 2;v24l3 2;v24h1 2;v24h2 2;v24h3 "
    "2;?v24mess 18;?reser 2;";
inline constexpr std::string_view UserLayout1 =
    "!checksum 1;bipbip 1;movebip 1;repebip 1;contrasto 1;luminosita 1;lingua 1;umisura "
    "1;?welcome 24;civ_mode 1;civ_brate 1;civ_proto 1;";
inline constexpr std::string_view UserLayout2 =
    "!checksum 1;bipbip 1;movebip 1;repebip 1;contrasto 1;luminosita 1;lingua 1;umisura "
    "1;rtx_mode 1;rtx_commpars 1;rtx_proto 1;rtx_addr 1;rtx_addrT 1;eeprom_vers 1;?reser 28;";
inline constexpr std::string_view UseroffsLayout =
    "!checksum 1;offset1 4;offset2 4;offset3 4;offset4 4;";
inline constexpr std::string_view FactoryTuneLayout =
    "!checksum 1;Tune1 2;Tune2 2;Tune3 2;Tune4 2;";

inline constexpr int kFactoryBlock = 0;
inline constexpr int kUserBlock = 1;
inline constexpr int kFirstUseroffsBlock = 3;
inline constexpr int kLastUseroffsBlock = 35;
inline constexpr int kFirstFactoryTuneBlock = 37;
inline constexpr int kLastFactoryTuneBlock = 69;
inline constexpr int kBlockCount = 70;

enum class FieldKind { Checksum, Integer, Text };

struct LayoutField {
    std::string_view name;  // as the layout writes it, mark included
    std::size_t offset = 0;
    std::size_t width = 0;
    FieldKind kind = FieldKind::Integer;

    // The name without a "?" mark: the INI key of the field.
    std::string_view key() const { return kind == FieldKind::Text ? name.substr(1) : name; }
};

// The walk over a layout string, item by item: the text before the first ";" (the whole rest
// when there is none), removed from layout together with its ";". An empty item ends a walk.
std::string NextLayoutItem(std::string& layout);
// The item's name, its mark ("!" or "?") included: the text before the first blank.
std::string LayoutItemName(std::string_view item);
// The item's width in bytes: the decimal number after the first blank; 0 when there is none.
int LayoutItemWidth(std::string_view item);

// The fields of a layout in block order, with their offsets; an item without a blank and a
// decimal width is passed over, and the walk ends at a field that would take the block past
// the 255 bytes one frame carries.
std::vector<LayoutField> layoutFields(std::string_view layout);
// The block size a layout describes: the sum of its widths.
std::size_t layoutSize(std::string_view layout);
// The field whose key (name without "?") matches; nothing when the layout has none.
std::optional<LayoutField> findField(std::string_view layout, std::string_view key);

std::string_view factoryLayout(std::uint16_t firmwareVersion);
std::string_view userLayout(std::uint16_t firmwareVersion);

struct BlockInfo {
    int block = 0;
    std::string section;  // INI section of the setup log and setup file
    std::string_view layout;
};

// Section and layout of a block number under a firmware; nothing for 2, 36 and numbers
// outside 0..69, which are never transferred.
std::optional<BlockInfo> blockInfo(int block, std::uint16_t firmwareVersion);
// Every block a save or load moves, in file order: Factory, User, then (unless the master/slave
// box is ticked) Useroffs1..33 and FactoryTune1..33.
std::vector<int> transferredBlocks(bool masterSlaveTicked);

// Which unit a block transfer addresses: the index of the "Master"/"Slave 1"/"Slave 2" list,
// which only counts while the master/slave box is ticked (the list is disabled otherwise).
struct UnitSelection {
    bool linked = false;  // the master/slave box ckSK2200
    int index = 0;        // the list cbSlave
    int unit() const { return linked ? index : 0; }
};

// The 16-bit block selector: block number in the low byte, unit index in the high byte.
inline std::uint16_t blockSelector(int block, int unit) {
    return static_cast<std::uint16_t>((block & 0xFF) + 256 * (unit & 0xFF));
}

// The byte size of a block under a firmware; nothing where blockInfo has nothing.
std::optional<std::size_t> blockSize(int block, std::uint16_t firmwareVersion);

}  // namespace kt6
