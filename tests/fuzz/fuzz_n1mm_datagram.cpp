// N1MM RadioInfo decoding from any bytes: never a read past the datagram, and a radio report
// always holds what the XML said, in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "radio/logger_datagrams.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto report = kt6::decodeN1mmDatagram(std::span<const std::uint8_t>(data, size));
    if (!report) return 0;
    using Kind = kt6::LoggerReport::Kind;
    check(report->kind == Kind::Radio || report->kind == Kind::Other);
    if (report->kind == Kind::Radio) {
        // Freq is at most 11 digits of tens of Hz, and always a multiple of 10 Hz.
        check(report->hz % 10 == 0 && report->hz < 1'000'000'000'000ull);
        check(report->radioNumber >= 1 && report->radioNumber <= 99);
        check(report->sender.size() <= 32);
    }
    // The same bytes always read the same.
    const auto again = kt6::decodeN1mmDatagram(std::span<const std::uint8_t>(data, size));
    check(again && again->kind == report->kind && again->hz == report->hz &&
          again->transmitting == report->transmitting);
    return 0;
}
