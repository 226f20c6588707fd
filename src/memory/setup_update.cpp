#include "memory/setup_update.h"

#include "memory/block_codec.h"

namespace kt6 {

namespace {

SetupField field(std::string_view key, int block, FieldKind kind, std::uint16_t from = 0,
                 std::uint16_t before = 0xFFFF) {
    SetupField f;
    f.key = key;
    f.block = block;
    f.kind = kind;
    f.from = from;
    f.before = before;
    return f;
}
SetupField factory(std::string_view key, std::uint16_t from = 0) {
    return field(key, kFactoryBlock, FieldKind::Integer, from);
}
SetupField factoryText(std::string_view key, std::uint16_t from = 0) {
    return field(key, kFactoryBlock, FieldKind::Text, from);
}
SetupField fixedFactory(std::string_view key, std::int32_t value) {
    SetupField f = factory(key);
    f.fixed = value;
    return f;
}

}  // namespace

const std::vector<SetupField>& setupFields() {
    static const std::vector<SetupField> fields = [] {
        std::vector<SetupField> f{
            factory("mot_maxvel"),
            factory("mot_minvel"),
            factory("mot_accel"),
            factory("pwm_rampa"),
            factory("pwm_crociera"),
            // The homing run's settings are the firmware's own, whatever the block held.
            fixedFactory("pwm_azzera", 130),
            fixedFactory("vel_azzera", 1000),
            factory("pwm_freq"),
            factory("k_freq2mm"),
            factory("min_estensio"),
            factory("max_estensio"),
            factory("max_estensio2", kFirmware113),
            factory("max_estensio3", kFirmware113),
            factory("max_estensio4", kFirmware113),
            factory("k_mm2s_passi"),
            factory("k_mm2s_mm"),
            factory("max_tpband"),
            factory("max_driver"),
            factoryText("model"),
            // The welcome text moved from the User block to the Factory block with 1.13.
            factoryText("welcome", kFirmware113),
        };
        for (std::string_view key : {"v24l1", "v24l2", "v24l3", "v24h1", "v24h2", "v24h3"})
            f.push_back(factory(key, kFirmware130));
        f.push_back(factoryText("v24mess", kFirmware130));
        f.push_back(field("welcome", kUserBlock, FieldKind::Text, 0, kFirmware113));
        return f;
    }();
    return fields;
}

std::vector<SetupField> setupFieldsFor(std::uint16_t firmwareVersion) {
    std::vector<SetupField> out;
    for (const SetupField& f : setupFields()) {
        if (firmwareVersion >= f.from && firmwareVersion < f.before) out.push_back(f);
    }
    return out;
}

std::optional<SetupBlocks> composeSetupBlocks(std::uint16_t firmwareVersion,
                                              const Bytes& heldFactory, const Bytes& heldUser,
                                              const SetupEdits& edits) {
    const std::string_view layouts[] = {factoryLayout(firmwareVersion),
                                        userLayout(firmwareVersion)};
    Bytes blocks[] = {heldFactory, heldUser};
    for (int b = 0; b < 2; ++b) {
        const std::size_t size = layoutSize(layouts[b]);
        if (blocks[b].size() < size) return std::nullopt;
        // Bytes a reply carried beyond the layout are not part of the block.
        blocks[b].resize(size);
        blocks[b][0] = 0;
    }
    for (const SetupField& f : setupFieldsFor(firmwareVersion)) {
        const int b = f.block == kFactoryBlock ? 0 : 1;
        const auto field = findField(layouts[b], f.key);
        if (!field) return std::nullopt;
        if (f.kind == FieldKind::Text) {
            const auto text = edits.texts.find(f.key);
            if (text == edits.texts.end()) return std::nullopt;
            writeText(blocks[b], *field, text->second);
            continue;
        }
        std::int32_t value = 0;
        if (f.fixed) {
            value = *f.fixed;
        } else if (const auto number = edits.numbers.find(f.key); number != edits.numbers.end()) {
            value = number->second;
        } else {
            return std::nullopt;
        }
        writeInteger(blocks[b], *field, value);
    }
    return SetupBlocks{std::move(blocks[0]), std::move(blocks[1])};
}

}  // namespace kt6
