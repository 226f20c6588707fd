// The setup panel's update composed over the blocks as held: what it writes for each firmware,
// and that every other byte goes back exactly as it was read.
#include <gtest/gtest.h>

#include "memory/block_codec.h"
#include "memory/setup_update.h"

namespace kt6 {
namespace {

// A block of the layout's size with every byte set to a value of its own, so a byte that
// moved, was zeroed or came from elsewhere shows.
Bytes patterned(std::string_view layout, std::uint8_t seed) {
    Bytes b(layoutSize(layout));
    for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(seed + 7 * i + 1);
    return b;
}

SetupEdits panelEdits() {
    SetupEdits e;
    const char* numbers[] = {"mot_maxvel",   "mot_minvel",    "mot_accel",     "pwm_rampa",
                             "pwm_crociera", "pwm_freq",      "k_freq2mm",     "min_estensio",
                             "max_estensio", "max_estensio2", "max_estensio3", "max_estensio4",
                             "k_mm2s_passi", "k_mm2s_mm",     "max_tpband",    "max_driver",
                             "v24l1",        "v24l2",         "v24l3",         "v24h1",
                             "v24h2",        "v24h3"};
    std::int32_t v = 11;
    for (const char* n : numbers) e.numbers.emplace(n, v++);
    e.texts.emplace("model", "Model X");
    e.texts.emplace("welcome", "Hello");
    e.texts.emplace("v24mess", "ON AIR");
    return e;
}

// The byte ranges the update may change in a block: the checksum and the written fields.
std::vector<bool> writable(std::string_view layout, int block, std::uint16_t version) {
    std::vector<bool> out(layoutSize(layout), false);
    out[0] = true;
    for (const SetupField& f : setupFieldsFor(version)) {
        if (f.block != block) continue;
        const auto field = findField(layout, f.key);
        for (std::size_t i = 0; i < field->width; ++i) out[field->offset + i] = true;
    }
    return out;
}

class SetupUpdatePerFirmware : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(SetupUpdatePerFirmware, EveryFieldTheUpdateDoesNotWriteGoesBackExactlyAsHeld) {
    const std::uint16_t version = GetParam();
    const Bytes factory = patterned(factoryLayout(version), 3);
    const Bytes user = patterned(userLayout(version), 90);
    const auto blocks = composeSetupBlocks(version, factory, user, panelEdits());
    ASSERT_TRUE(blocks);
    ASSERT_EQ(blocks->factory.size(), factory.size());
    ASSERT_EQ(blocks->user.size(), user.size());
    const auto fw = writable(factoryLayout(version), kFactoryBlock, version);
    for (std::size_t i = 0; i < factory.size(); ++i) {
        if (!fw[i]) {
            EXPECT_EQ(blocks->factory[i], factory[i]) << "Factory byte " << i;
        }
    }
    const auto uw = writable(userLayout(version), kUserBlock, version);
    for (std::size_t i = 0; i < user.size(); ++i) {
        if (!uw[i]) {
            EXPECT_EQ(blocks->user[i], user[i]) << "User byte " << i;
        }
    }
    EXPECT_EQ(blocks->factory[0], 0);
    EXPECT_EQ(blocks->user[0], 0);
}

TEST_P(SetupUpdatePerFirmware, TheShownFieldsCarryTheBoxesAndTheHomingValuesAreFixed) {
    const std::uint16_t version = GetParam();
    const auto blocks = composeSetupBlocks(version, patterned(factoryLayout(version), 3),
                                           patterned(userLayout(version), 90), panelEdits());
    ASSERT_TRUE(blocks);
    const auto layout = factoryLayout(version);
    auto number = [&](const char* key) {
        return readInteger(blocks->factory, *findField(layout, key));
    };
    EXPECT_EQ(number("mot_maxvel"), 11);
    EXPECT_EQ(number("max_driver"), 26);
    EXPECT_EQ(number("pwm_azzera"), 130);
    EXPECT_EQ(number("vel_azzera"), 1000);
    EXPECT_EQ(readText(blocks->factory, *findField(layout, "model")), "Model X");
    const bool newer = version >= kFirmware113;
    const Bytes& welcomeBlock = newer ? blocks->factory : blocks->user;
    const auto welcomeLayout = newer ? layout : userLayout(version);
    EXPECT_EQ(readText(welcomeBlock, *findField(welcomeLayout, "welcome")), "Hello");
    if (version >= kFirmware130) {
        EXPECT_EQ(number("v24h3"), 32);
        EXPECT_EQ(readText(blocks->factory, *findField(layout, "v24mess")), "ON AIR");
    }
}

INSTANTIATE_TEST_SUITE_P(Firmware, SetupUpdatePerFirmware,
                         ::testing::Values(std::uint16_t{0x010C}, kFirmware113, kFirmware130),
                         [](const ::testing::TestParamInfo<std::uint16_t>& p) {
                             return "v" + std::to_string(p.param);
                         });

TEST(SetupUpdate, Firmware113KeepsThePlusTwentyFourVoltValuesAndTheReservedBytes) {
    // The fields the panel shows but does not write before 1.30, and those it never shows.
    const auto layout = factoryLayout(kFirmware113);
    Bytes factory(layoutSize(layout), 0);
    writeInteger(factory, *findField(layout, "v24l1"), 16053);
    writeInteger(factory, *findField(layout, "v24h3"), 62432);
    writeText(factory, *findField(layout, "v24mess"), "17 characters msg");
    writeInteger(factory, *findField(layout, "eeprom_vers"), 5);
    writeText(factory, *findField(layout, "reser"), "\x01\x02");
    const Bytes user(layoutSize(userLayout(kFirmware113)), 0x21);
    const auto blocks = composeSetupBlocks(kFirmware113, factory, user, panelEdits());
    ASSERT_TRUE(blocks);
    EXPECT_EQ(readInteger(blocks->factory, *findField(layout, "v24l1")), 16053);
    EXPECT_EQ(readInteger(blocks->factory, *findField(layout, "v24h3")), 62432);
    EXPECT_EQ(readText(blocks->factory, *findField(layout, "v24mess")), "17 characters msg");
    EXPECT_EQ(readInteger(blocks->factory, *findField(layout, "eeprom_vers")), 5);
    EXPECT_EQ(readText(blocks->factory, *findField(layout, "reser")), "\x01\x02");
    EXPECT_EQ(Bytes(blocks->user.begin() + 1, blocks->user.end()),
              Bytes(user.begin() + 1, user.end()));
}

TEST(SetupUpdate, AHeldBlockShorterThanItsLayoutOrAMissingEditBuildsNothing) {
    const auto version = kFirmware130;
    const Bytes factory(layoutSize(factoryLayout(version)), 0);
    const Bytes user(layoutSize(userLayout(version)), 0);
    EXPECT_FALSE(
        composeSetupBlocks(version, Bytes(factory.begin(), factory.end() - 1), user, panelEdits()));
    EXPECT_FALSE(composeSetupBlocks(version, factory, Bytes(5, 0), panelEdits()));
    SetupEdits partial = panelEdits();
    partial.numbers.erase("v24l2");
    EXPECT_FALSE(composeSetupBlocks(version, factory, user, partial));
    // Before 1.30 the +24 V boxes are not needed.
    EXPECT_TRUE(composeSetupBlocks(kFirmware113, Bytes(layoutSize(factoryLayout(kFirmware113)), 0),
                                   Bytes(layoutSize(userLayout(kFirmware113)), 0), partial));
}

}  // namespace
}  // namespace kt6
