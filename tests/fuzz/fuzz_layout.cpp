// Layout walker on any layout string: fields packed in order, inside the block it describes,
// and each found again by its key.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "link/frame.h"
#include "memory/layouts.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view layout(reinterpret_cast<const char*>(data), size);
    const auto fields = kt6::layoutFields(layout);
    std::size_t offset = 0;
    for (const auto& field : fields) {
        check(field.offset == offset);
        check(!field.name.empty());
        check(field.width <= kt6::kMaxFrameContent - offset);
        offset += field.width;
        const auto found = kt6::findField(layout, field.key());
        check(found.has_value() && found->key() == field.key() && found->offset <= field.offset);
    }
    check(kt6::layoutSize(layout) == offset);
    check(offset <= kt6::kMaxFrameContent);
    return 0;
}
