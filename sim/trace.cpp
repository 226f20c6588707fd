#include "sim/trace.h"

#include <cstdio>

#include "link/status.h"

namespace kt6::sim {
namespace {

std::string hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "%02X", value & 0xFFu);
    return text;
}

unsigned word(const Bytes& b, std::size_t at) {
    return b[at] | b[at + 1] << 8;
}

}  // namespace

std::string hexBytes(const Bytes& bytes) {
    std::string out;
    for (std::uint8_t b : bytes) {
        if (!out.empty()) out += ' ';
        out += hex2(b);
    }
    return out;
}

std::string describeCommand(const Bytes& c) {
    if (c.size() < 2) return "short frame";
    std::string out = "seq=" + hex2(c[0]) + " ";
    const std::size_t n = c.size() - 2;
    switch (c[1]) {
        case 1:
            return out + "status-request";
        case 2:
            return out + "retract";
        case 3:
            return out + (n == 2 ? "set-frequency " + std::to_string(word(c, 2)) + " kHz"
                                 : "set-frequency (bad length)");
        case 4:
            if (n < 2) return out + "write-block (bad length)";
            return out + "write-block " + std::to_string(c[2]) + " unit " + std::to_string(c[3]) +
                   " (" + std::to_string(n - 2) + " bytes)";
        case 5:
            if (n != 2) return out + "read-block (bad length)";
            return out + "read-block " + std::to_string(c[2]) + " unit " + std::to_string(c[3]);
        case 6:
            return out + "write-factory (" + std::to_string(n) + " bytes)";
        case 7:
            return out + "write-user (" + std::to_string(n) + " bytes)";
        case 8:
            return out + (n == 1 ? "key " + std::to_string(c[2]) : "key (bad length)");
        case 9:
            return out + "element-lengths";
        case 10:
            return out + "progress";
        default:
            return out + "cmd=" + std::to_string(c[1]);
    }
}

std::string describeReply(const Bytes& command, const Bytes& r) {
    if (r.size() < 2) return "short reply";
    std::string out = "seq=" + hex2(r[0]) + " status=" + std::to_string(r[1]);
    if (r[1] != 0 || command.size() < 2) return out;
    const std::size_t n = r.size() - 2;
    switch (command[1]) {
        case 1:
            if (const auto s = decodeStatusRecord(r)) {
                out +=
                    " fw=" + std::to_string(s->firmwareMajor) + "." +
                    std::to_string(s->firmwareMinor) + " screen=" + std::to_string(s->screen) +
                    " freq=" + std::to_string(s->frequency) + " band=" + std::to_string(s->band) +
                    " heading=" + std::to_string(s->heading) + " flags=0x" + hex2(s->flags >> 8) +
                    hex2(s->flags) + " moving=" + std::to_string(s->moving ? 1 : 0) +
                    " drivers=" + std::to_string(s->drivers);
            }
            return out;
        case 5:
            return out + " (" + std::to_string(n) + " bytes)";
        case 9:
            if (n >= 8) {
                out += " driver=" + std::to_string(word(r, 2)) +
                       " dir1=" + std::to_string(word(r, 4)) +
                       " refl=" + std::to_string(word(r, 6)) +
                       " dir2=" + std::to_string(word(r, 8));
            }
            return out;
        case 10:
            if (n >= 4)
                out += " progress=" + std::to_string(word(r, 2)) + "," + std::to_string(word(r, 4));
            return out;
        default:
            return out;
    }
}

std::string traceLine(double seconds, const char* direction, const Bytes& wire,
                      const std::string& text) {
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%12.6f %-3s ", seconds, direction);
    return stamp + hexBytes(wire) + "  " + text;
}

}  // namespace kt6::sim
