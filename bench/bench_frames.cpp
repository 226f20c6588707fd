// Frame encode and decode throughput.
#include <chrono>
#include <cstdio>
#include <random>

#include "link/frame.h"

int main() {
    using clock = std::chrono::steady_clock;
    std::mt19937 rng(7);
    std::vector<kt6::Bytes> contents(1000);
    for (auto& c : contents) {
        c.resize(64);
        for (auto& b : c) b = static_cast<std::uint8_t>(rng());
    }
    const int rounds = 2000;
    std::size_t bytes = 0;
    kt6::Bytes wire;
    auto t0 = clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (const auto& c : contents) {
            auto f = kt6::encodeFrame(c);
            bytes += c.size();
            if (r == 0) wire.insert(wire.end(), f->begin(), f->end());
        }
    }
    const double encodeSec = std::chrono::duration<double>(clock::now() - t0).count();
    kt6::FrameReceiver rx;
    std::size_t good = 0;
    t0 = clock::now();
    for (int r = 0; r < rounds; ++r) {
        for (auto b : wire) good += rx.feed(b) == kt6::FrameReceiver::Event::GoodFrame;
    }
    const double decodeSec = std::chrono::duration<double>(clock::now() - t0).count();
    std::printf("BENCH frame_encode %.1f MB/s\n", static_cast<double>(bytes) / encodeSec / 1e6);
    std::printf("BENCH frame_decode %.1f MB/s\n",
                static_cast<double>(wire.size()) * rounds / decodeSec / 1e6);
    return good == contents.size() * rounds ? 0 : 1;
}
