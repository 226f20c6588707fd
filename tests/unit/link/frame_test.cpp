// Frame codec: the worked examples, escaping, and the receiver over a faulty wire.
#include <gtest/gtest.h>

#include <random>

#include "link/frame.h"

namespace kt6 {
namespace {

Bytes encode(const Bytes& content) {
    return encodeFrame(content).value();
}

std::vector<FrameReceiver::Event> feedAll(FrameReceiver& rx, const Bytes& bytes) {
    std::vector<FrameReceiver::Event> events;
    for (auto b : bytes) {
        auto e = rx.feed(b);
        if (e != FrameReceiver::Event::None) events.push_back(e);
    }
    return events;
}

TEST(FrameEncode, workedExamplesMatchTheWire) {
    EXPECT_EQ(encode({0x0D, 0x01}), (Bytes{0xF5, 0x0D, 0x01, 0x59, 0xFA}));
    EXPECT_EQ(encode({0x8E, 0x03, 0xF5, 0x1B}),
              (Bytes{0xF5, 0x8E, 0x03, 0xF6, 0x75, 0x1B, 0x0E, 0xFA}));
}

TEST(FrameEncode, reservedBytesAreEscapedAndLookalikesSentPlain) {
    Bytes frame = encode({0xF5, 0xF6, 0xFA, 0x75, 0x76, 0x7A});
    Bytes body(frame.begin() + 1, frame.end() - 2);
    EXPECT_EQ(body, (Bytes{0xF6, 0x75, 0xF6, 0x76, 0xF6, 0x7A, 0x75, 0x76, 0x7A}));
}

TEST(FrameEncode, checksumThatIsReservedIsEscapedToo) {
    // Find content bytes whose checksum lands on each reserved value.
    for (std::uint8_t target : {kFrameStart, kFrameEscape, kFrameEnd}) {
        int found = -1;
        for (int b = 0; b < 256 && found < 0; ++b) {
            if (frameChecksum(Bytes{0x01, static_cast<std::uint8_t>(b)}) == target) found = b;
        }
        ASSERT_GE(found, 0);
        Bytes frame = encode({0x01, static_cast<std::uint8_t>(found)});
        ASSERT_GE(frame.size(), 4u);
        EXPECT_EQ(frame[frame.size() - 3], kFrameEscape);
        EXPECT_EQ(frame[frame.size() - 2], static_cast<std::uint8_t>(target & 0x7F));
        FrameReceiver rx;
        EXPECT_EQ(feedAll(rx, frame), std::vector{FrameReceiver::Event::GoodFrame});
    }
}

TEST(FrameEncode, contentOver255BytesIsRefused) {
    EXPECT_TRUE(encodeFrame(Bytes(255, 0x11)).has_value());
    EXPECT_FALSE(encodeFrame(Bytes(256, 0x11)).has_value());
}

TEST(FrameReceive, goodFrameYieldsContentWithChecksumLast) {
    FrameReceiver rx;
    EXPECT_EQ(feedAll(rx, encode({0x8E, 0x03, 0xF5, 0x1B})),
              std::vector{FrameReceiver::Event::GoodFrame});
    EXPECT_EQ(rx.payload(), (Bytes{0x8E, 0x03, 0xF5, 0x1B, 0x0E}));
    EXPECT_FALSE(rx.inFrame());
}

TEST(FrameReceive, tooShortFramesAreNotGood) {
    FrameReceiver rx;
    // One byte whose checksum rule happens to give 1 is still not a frame.
    EXPECT_EQ(feedAll(rx, {0xF5, 0x55, 0xFA}), std::vector{FrameReceiver::Event::BadFrame});
    EXPECT_EQ(feedAll(rx, {0xF5, 0xFA}), std::vector{FrameReceiver::Event::BadFrame});
}

TEST(FrameReceive, startByteMidFrameRestartsAndEndOutsideIsIgnored) {
    FrameReceiver rx;
    Bytes wire{0xFA, 0x33, 0xF5, 0x01, 0x02};
    Bytes good = encode({0x0D, 0x00, 0x42});
    wire.insert(wire.end(), good.begin(), good.end());
    EXPECT_EQ(feedAll(rx, wire), std::vector{FrameReceiver::Event::GoodFrame});
    EXPECT_EQ(rx.payload()[2], 0x42);
}

TEST(FrameReceive, frameSplitAcrossCallsCompletesLater) {
    FrameReceiver rx;
    Bytes frame = encode({0x0D, 0x00, 0xFA});
    Bytes first(frame.begin(), frame.begin() + 4);  // stops between escape and its byte
    Bytes rest(frame.begin() + 4, frame.end());
    EXPECT_TRUE(feedAll(rx, first).empty());
    EXPECT_TRUE(rx.inFrame());
    EXPECT_TRUE(rx.escapePending());
    EXPECT_EQ(feedAll(rx, rest), std::vector{FrameReceiver::Event::GoodFrame});
    EXPECT_EQ(rx.payload()[2], 0xFA);
}

TEST(FrameReceive, frameLongerThanAnySenderWritesIsBadAndNoiseStaysBounded) {
    FrameReceiver rx;
    // The longest frame the writer builds still comes through.
    const Bytes longest(kMaxFrameContent, 0x11);
    EXPECT_EQ(feedAll(rx, encode(longest)), std::vector{FrameReceiver::Event::GoodFrame});
    // One byte more, with a checksum that is right for all of it, is not taken.
    const Bytes content(kMaxFrameContent + 1, 0x11);
    Bytes wire{kFrameStart};
    for (auto b : content) appendEscaped(wire, b);
    appendEscaped(wire, frameChecksum(content));
    wire.push_back(kFrameEnd);
    EXPECT_EQ(feedAll(rx, wire), std::vector{FrameReceiver::Event::BadFrame});
    // A start byte followed by endless noise keeps no more than one frame's worth.
    rx.feed(kFrameStart);
    for (int i = 0; i < 100000; ++i) rx.feed(static_cast<std::uint8_t>(i % 0xF0));
    EXPECT_LE(rx.payload().size(), kMaxFrameContent + 1);
    EXPECT_EQ(feedAll(rx, encode({0x0D, 0x00})), std::vector{FrameReceiver::Event::GoodFrame});
}

TEST(FrameReceive, badChecksumIsReported) {
    FrameReceiver rx;
    Bytes frame = encode({0x0D, 0x00});
    frame[2] ^= 0x01;
    EXPECT_EQ(feedAll(rx, frame), std::vector{FrameReceiver::Event::BadFrame});
}

// A wire that drops, corrupts and splits bytes: every frame the receiver calls good must be
// one that was sent, and on a clean stretch every frame gets through.
TEST(FrameReceive, faultyWireNeverYieldsAFrameThatWasNotSent) {
    std::mt19937 rng(1234);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> len(1, 40);
    std::uniform_real_distribution<double> p(0.0, 1.0);
    FrameReceiver rx;
    int good = 0;
    int sent = 0;
    int falseGood = 0;
    for (int i = 0; i < 3000; ++i) {
        Bytes content(static_cast<std::size_t>(len(rng)) + 1);
        for (auto& b : content) b = static_cast<std::uint8_t>(byte(rng));
        Bytes frame = encode(content);
        const bool faulty = i % 2 == 0;
        Bytes wire;
        for (auto b : frame) {
            if (faulty && p(rng) < 0.02) continue;                                  // drop
            if (faulty && p(rng) < 0.02) b = static_cast<std::uint8_t>(byte(rng));  // corrupt
            wire.push_back(b);
        }
        ++sent;
        // Split at a random point: feed in two calls.
        const std::size_t cut =
            wire.empty() ? 0 : static_cast<std::size_t>(byte(rng)) % wire.size();
        auto ev1 = feedAll(rx, Bytes(wire.begin(), wire.begin() + static_cast<long>(cut)));
        auto ev2 = feedAll(rx, Bytes(wire.begin() + static_cast<long>(cut), wire.end()));
        ev1.insert(ev1.end(), ev2.begin(), ev2.end());
        for (auto e : ev1) {
            if (e != FrameReceiver::Event::GoodFrame) continue;
            Bytes expected = content;
            expected.push_back(frameChecksum(content));
            if (rx.payload() == expected) {
                ++good;
            } else {
                ++falseGood;
            }
        }
        if (!faulty) {
            ASSERT_FALSE(ev1.empty());
            EXPECT_EQ(ev1.back(), FrameReceiver::Event::GoodFrame);
        }
    }
    EXPECT_GE(good, sent / 2);
    // An 8-bit checksum lets the odd corrupted frame through; it must stay rare.
    EXPECT_LT(falseGood, 10);
}

}  // namespace
}  // namespace kt6
