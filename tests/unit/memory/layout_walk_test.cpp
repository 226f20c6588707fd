// The walk over layout strings: items, names, widths, and where each field lies.
#include <gtest/gtest.h>

#include <map>

#include "memory/layouts.h"

namespace kt6 {
namespace {

// Field name -> (offset, width), by walking the layout item by item.
std::map<std::string, std::pair<int, int>> walk(std::string_view layout, int* size = nullptr) {
    std::map<std::string, std::pair<int, int>> fields;
    std::string rest(layout);
    int offset = 0;
    for (std::string item = NextLayoutItem(rest); !item.empty(); item = NextLayoutItem(rest)) {
        const int width = LayoutItemWidth(item);
        fields[LayoutItemName(item)] = {offset, width};
        offset += width;
    }
    if (size) *size = offset;
    return fields;
}

TEST(LayoutWalk, ItemsComeOffTheFrontUpToEachSemicolon) {
    std::string layout = "!checksum 1;mot_maxvel 2;?model 16";
    EXPECT_EQ(NextLayoutItem(layout), "!checksum 1");
    EXPECT_EQ(layout, "mot_maxvel 2;?model 16");
    EXPECT_EQ(NextLayoutItem(layout), "mot_maxvel 2");
    // No ";" left: the whole rest, and the layout is empty afterwards.
    EXPECT_EQ(NextLayoutItem(layout), "?model 16");
    EXPECT_EQ(layout, "");
    EXPECT_EQ(NextLayoutItem(layout), "");
}

TEST(LayoutWalk, NamesKeepTheirMarkAndWidthsAreTheNumberAfterTheBlank) {
    EXPECT_EQ(LayoutItemName("!checksum 1"), "!checksum");
    EXPECT_EQ(LayoutItemName("?welcome 24"), "?welcome");
    EXPECT_EQ(LayoutItemWidth("?welcome 24"), 24);
    EXPECT_EQ(LayoutItemWidth("k_freq2mm 4"), 4);
    EXPECT_EQ(LayoutItemWidth("nowidth"), 0);
}

TEST(LayoutWalk, EveryLayoutHasItsSizeAndFieldOffsets) {
    int size = 0;
    auto f = walk(FactoryLayout1, &size);
    EXPECT_EQ(size, 45);
    EXPECT_EQ(f["max_estensio"], std::make_pair(21, 2));
    EXPECT_EQ(f["k_mm2s_passi"], std::make_pair(23, 2));
    EXPECT_EQ(f["k_mm2s_mm"], std::make_pair(25, 2));
    EXPECT_EQ(f["max_tpband"], std::make_pair(27, 1));
    EXPECT_EQ(f["max_driver"], std::make_pair(28, 1));
    EXPECT_EQ(f["?model"], std::make_pair(29, 16));

    f = walk(FactoryLayout2, &size);
    EXPECT_EQ(size, 108);
    const std::map<std::string, std::pair<int, int>> expected{
        {"!checksum", {0, 1}},      {"mot_maxvel", {1, 2}},     {"mot_minvel", {3, 2}},
        {"mot_accel", {5, 1}},      {"pwm_rampa", {6, 2}},      {"pwm_crociera", {8, 2}},
        {"pwm_azzera", {10, 2}},    {"vel_azzera", {12, 2}},    {"pwm_freq", {14, 1}},
        {"k_freq2mm", {15, 4}},     {"min_estensio", {19, 2}},  {"max_estensio", {21, 2}},
        {"max_estensio2", {23, 2}}, {"max_estensio3", {25, 2}}, {"max_estensio4", {27, 2}},
        {"k_mm2s_passi", {29, 2}},  {"k_mm2s_mm", {31, 2}},     {"max_tpband", {33, 1}},
        {"max_driver", {34, 1}},    {"?model", {35, 16}},       {"?welcome", {51, 24}},
        {"eeprom_vers", {75, 1}},   {"v24l1", {76, 2}},         {"v24l2", {78, 2}},
        {"v24l3", {80, 2}},         {"v24h1", {82, 2}},         {"v24h2", {84, 2}},
        {"v24h3", {86, 2}},         {"?v24mess", {88, 18}},     {"?reser", {106, 2}}};
    EXPECT_EQ(f, expected);

    f = walk(UserLayout1, &size);
    EXPECT_EQ(size, 35);
    EXPECT_EQ(f["?welcome"], std::make_pair(8, 24));
    EXPECT_EQ(f["civ_mode"], std::make_pair(32, 1));
    EXPECT_EQ(f["civ_proto"], std::make_pair(34, 1));

    f = walk(UserLayout2, &size);
    EXPECT_EQ(size, 42);
    EXPECT_EQ(f["rtx_mode"], std::make_pair(8, 1));
    EXPECT_EQ(f["rtx_addrT"], std::make_pair(12, 1));
    EXPECT_EQ(f["eeprom_vers"], std::make_pair(13, 1));
    EXPECT_EQ(f["?reser"], std::make_pair(14, 28));

    f = walk(UseroffsLayout, &size);
    EXPECT_EQ(size, 17);
    EXPECT_EQ(f["offset4"], std::make_pair(13, 4));

    f = walk(FactoryTuneLayout, &size);
    EXPECT_EQ(size, 9);
    EXPECT_EQ(f["Tune4"], std::make_pair(7, 2));
}

TEST(LayoutWalk, TransfersMoveSixtyEightBlocksOrOnlyFactoryAndUserForLinkedUnits) {
    const auto all = transferredBlocks(false);
    ASSERT_EQ(all.size(), 68u);
    EXPECT_EQ(all[0], 0);
    EXPECT_EQ(all[1], 1);
    EXPECT_EQ(all[2], 3);
    EXPECT_EQ(all[34], 35);
    EXPECT_EQ(all[35], 37);
    EXPECT_EQ(all.back(), 69);
    EXPECT_EQ(transferredBlocks(true), (std::vector<int>{0, 1}));
}

TEST(LayoutWalk, TheSelectorCarriesTheUnitInItsHighByteOnlyWhileLinked) {
    EXPECT_EQ(blockSelector(37, 2), 37 + 512);
    EXPECT_EQ((UnitSelection{false, 2}.unit()), 0);
    EXPECT_EQ((UnitSelection{true, 2}.unit()), 2);
}

}  // namespace
}  // namespace kt6
