// Status decoding, what the poll reads and the display texts made from any reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/status_view.h"
#include "link/status.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const kt6::Bytes content(data, data + size);
    const auto record = kt6::decodeStatusRecord(content);
    check(record.has_value() == (size >= kt6::kStatusRecordSize));
    if (!record) return 0;
    // The record's own bytes come back from it (the moving flag as 0 or 1).
    const kt6::Bytes again = kt6::encodeStatusRecord(*record);
    check(again.size() == kt6::kStatusRecordSize);
    for (std::size_t i = 0; i < kt6::kStatusRecordSize; ++i) {
        if (i == 11)
            check(again[i] == (content[i] != 0 ? 1 : 0));
        else
            check(again[i] == content[i]);
    }
    if (const auto mode = kt6::headingMode(record->heading)) check(*mode == 0 || *mode == 1);
    if (const auto key = kt6::bandLampKey(record->frequency)) check(*key >= 0 && *key <= 7);
    check(!kt6::frequencyLine(record->frequency).empty());
    check(!kt6::frequencyLine(record->frequency, ',').empty());
    check(kt6::bandLine(record->band, record->flags).starts_with("Banda "));
    check(!kt6::statusLine(*record).empty());
    check(!kt6::screenLine(record->screen).empty());
    (void)kt6::headingLamps(record->heading);
    (void)kt6::displayFace(record->flags);
    (void)kt6::movingIndicatorStep(record->moving, true);
    return 0;
}
