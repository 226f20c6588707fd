// WSJT-X message decoding from any bytes: never a read past the datagram or a length trusted
// beyond it, and only schema 2 or 3 behind the magic number is ever taken.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "radio/logger_datagrams.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
std::uint32_t word(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) |
           p[3];
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto report = kt6::decodeWsjtxDatagram(std::span<const std::uint8_t>(data, size));
    if (!report) return 0;
    // Magic, schema, type and an id's length at the least.
    check(size >= 16);
    check(word(data) == kt6::kWsjtxMagic);
    check(word(data + 4) == 2 || word(data + 4) == 3);
    check(report->radioNumber == 0 && report->sender.size() <= 64);
    using Kind = kt6::LoggerReport::Kind;
    const std::uint32_t type = word(data + 8);
    if (report->kind == Kind::Radio) check(type == 1);
    if (report->kind == Kind::Alive) check(type == 0);
    if (report->kind == Kind::Leaving) check(type == 6);
    if (type == 1) check(report->kind == Kind::Radio);
    return 0;
}
