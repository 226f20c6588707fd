// Block codec on any bytes under any layout: never past the block, and a whole block read as
// text and written back gives the same field values.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>

#include "memory/block_codec.h"
#include "memory/layouts.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    static const std::array<std::string_view, 6> kLayouts = {
        kt6::FactoryLayout1, kt6::FactoryLayout2, kt6::UserLayout1,
        kt6::UserLayout2,    kt6::UseroffsLayout, kt6::FactoryTuneLayout};
    std::string own;
    std::string_view layout;
    const auto choice = in.ConsumeIntegralInRange<std::size_t>(0, kLayouts.size());
    if (choice < kLayouts.size()) {
        layout = kLayouts[choice];
    } else {
        own = in.ConsumeRandomLengthString(256);
        layout = own;
    }
    const bool withChecksum = in.ConsumeBool();
    const auto rest = in.ConsumeRemainingBytes<std::uint8_t>();
    // An exact-size copy, so any read or write past the block's end trips the sanitizer.
    const auto block = std::make_unique<std::uint8_t[]>(rest.size());
    std::copy(rest.begin(), rest.end(), block.get());
    const std::span<const std::uint8_t> bytes(block.get(), rest.size());

    const std::size_t layoutBytes = kt6::layoutSize(layout);
    const auto decoded = kt6::decodeBlock(layout, bytes, withChecksum);
    check(decoded.complete == (bytes.size() >= layoutBytes));
    if (!decoded.complete) return 0;

    std::map<std::string_view, int> seen;
    for (const auto& field : kt6::layoutFields(layout)) ++seen[field.key()];
    bool duplicates = false;
    for (const auto& [key, count] : seen) duplicates = duplicates || count > 1;

    std::map<std::string, std::string, std::less<>> values;
    for (const auto& field : decoded.values) values.emplace(field.key, field.value);
    const auto encoded = kt6::encodeBlock(layout, [&](std::string_view key) {
        const auto it = values.find(key);
        return it == values.end() ? std::optional<std::string>{} : std::optional(it->second);
    });
    // A malformed layout that gives a text and a number one key cannot be written back.
    if (duplicates && !encoded) return 0;
    check(encoded.has_value());
    check(encoded->size() == layoutBytes);

    for (const auto& field : kt6::layoutFields(layout)) {
        // A key the layout names twice takes the first field's value for both.
        if (seen[field.key()] > 1) continue;
        if (field.kind == kt6::FieldKind::Text) {
            check(kt6::readText(*encoded, field) == kt6::readText(bytes, field));
        } else if (field.kind == kt6::FieldKind::Integer || withChecksum) {
            check(kt6::readInteger(*encoded, field) == kt6::readInteger(bytes, field));
        }
    }
    return 0;
}
