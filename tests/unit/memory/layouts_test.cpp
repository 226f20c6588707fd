#include <gtest/gtest.h>

#include "memory/layouts.h"

namespace kt6 {
namespace {

TEST(Layouts, BlockSizesFollowTheFirmware) {
    constexpr std::uint16_t v112 = 0x010C, v113 = 0x010D, v130 = 0x011E;
    EXPECT_EQ(blockSize(0, v112), 45u);
    EXPECT_EQ(blockSize(1, v112), 35u);
    EXPECT_EQ(blockSize(0, v113), 108u);
    EXPECT_EQ(blockSize(1, v113), 42u);
    EXPECT_EQ(blockSize(0, v130), 108u);
    for (int block : {3, 20, 35}) EXPECT_EQ(blockSize(block, v112), 17u) << block;
    for (int block : {37, 50, 69}) EXPECT_EQ(blockSize(block, v130), 9u) << block;
}

TEST(Layouts, BlocksOutsideTheMapHaveNoLayout) {
    for (int block : {-1, 2, 36, 70, 255}) EXPECT_FALSE(blockInfo(block, kFirmware113)) << block;
}

TEST(Layouts, SectionNamesCountFromOne) {
    EXPECT_EQ(blockInfo(0, kFirmware113)->section, "Factory");
    EXPECT_EQ(blockInfo(1, kFirmware113)->section, "User");
    EXPECT_EQ(blockInfo(3, kFirmware113)->section, "Useroffs1");
    EXPECT_EQ(blockInfo(35, kFirmware113)->section, "Useroffs33");
    EXPECT_EQ(blockInfo(37, kFirmware113)->section, "FactoryTune1");
    EXPECT_EQ(blockInfo(69, kFirmware113)->section, "FactoryTune33");
}

TEST(Layouts, FactoryFieldsSitAtTheirOffsets) {
    const auto offset = [](std::string_view layout, std::string_view key) {
        return findField(layout, key).value().offset;
    };
    EXPECT_EQ(offset(FactoryLayout2, "k_freq2mm"), 15u);
    EXPECT_EQ(offset(FactoryLayout2, "max_estensio4"), 27u);
    EXPECT_EQ(offset(FactoryLayout2, "model"), 35u);
    EXPECT_EQ(offset(FactoryLayout2, "welcome"), 51u);
    EXPECT_EQ(offset(FactoryLayout2, "v24l1"), 76u);
    EXPECT_EQ(offset(FactoryLayout2, "v24mess"), 88u);
    EXPECT_EQ(offset(FactoryLayout2, "reser"), 106u);
    EXPECT_EQ(offset(FactoryLayout1, "max_estensio"), 21u);
    EXPECT_EQ(offset(FactoryLayout1, "k_mm2s_passi"), 23u);
    EXPECT_EQ(offset(FactoryLayout1, "max_driver"), 28u);
    EXPECT_EQ(offset(FactoryLayout1, "model"), 29u);
    EXPECT_EQ(offset(UserLayout1, "civ_mode"), 32u);
    EXPECT_EQ(offset(UserLayout2, "reser"), 14u);
}

TEST(Layouts, FieldCountsMatchTheSetupFileLines) {
    // Every field but the checksum becomes one line of a setup file.
    EXPECT_EQ(layoutFields(FactoryLayout1).size() - 1, 16u);
    EXPECT_EQ(layoutFields(FactoryLayout2).size() - 1, 29u);
    EXPECT_EQ(layoutFields(UserLayout1).size() - 1, 11u);
    EXPECT_EQ(layoutFields(UserLayout2).size() - 1, 14u);
}

}  // namespace
}  // namespace kt6
