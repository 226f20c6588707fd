#pragma once
// The command frames a simulated controller received, read back from its trace lines
// ("<time> IN <hex bytes>").
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "link/bytes.h"
#include "link/frame.h"

namespace kt6::testing {

// Every good frame of the IN lines, as content (checksum removed), in order.
inline std::vector<Bytes> framesReceived(const std::vector<std::string>& trace) {
    std::vector<Bytes> out;
    for (const auto& line : trace) {
        std::istringstream in(line);
        std::string time, direction, hex;
        in >> time >> direction;
        if (direction != "IN") continue;
        FrameReceiver rx;
        while (in >> hex && hex.size() == 2) {
            const auto b = static_cast<std::uint8_t>(std::stoi(hex, nullptr, 16));
            if (rx.feed(b) != FrameReceiver::Event::GoodFrame) continue;
            const Bytes& payload = rx.payload();
            if (!payload.empty()) out.emplace_back(payload.begin(), payload.end() - 1);
        }
    }
    return out;
}

}  // namespace kt6::testing
