// Frame receiver on arbitrary line noise: bounded payload, verdicts that agree with the
// checksum rule, and a frame the writer built always comes through whole after any noise.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "link/frame.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using kt6::FrameReceiver;
    const std::span<const std::uint8_t> input(data, size);

    FrameReceiver noise;
    for (const std::uint8_t b : input) {
        const auto event = noise.feed(b);
        // A frame is at most its content and checksum; longer noise must not grow memory.
        check(noise.payload().size() <= kt6::kMaxFrameContent + 1);
        if (event == FrameReceiver::Event::GoodFrame) {
            check(noise.payload().size() >= 2);
            check(kt6::frameChecksum(noise.payload()) == 1);
        }
    }

    // Whatever came before, a whole frame from the writer is received as written.
    const auto content = input.first(std::min(input.size(), kt6::kMaxFrameContent));
    // Empty content makes a one-byte frame, which is never good.
    if (content.empty()) return 0;
    const auto frame = kt6::encodeFrame(content);
    check(frame.has_value());
    int good = 0;
    for (std::size_t i = 0; i < frame->size(); ++i) {
        const auto event = noise.feed((*frame)[i]);
        if (event == FrameReceiver::Event::GoodFrame) {
            ++good;
            check(i + 1 == frame->size());
        }
        check(event != FrameReceiver::Event::BadFrame);
    }
    check(good == 1);
    const auto& payload = noise.payload();
    check(payload.size() == content.size() + 1);
    check(std::equal(content.begin(), content.end(), payload.begin()));
    return 0;
}
