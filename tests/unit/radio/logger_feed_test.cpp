// A logger's datagrams as the rig sees them: the decoders on captured-format datagrams (the fuzz
// targets' seeds) and on damaged ones, and one rig's feed on the fake clock.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "radio/logger_datagrams.h"
#include "radio/udp_rig_feed.h"
#include "support/fake_clock.h"

namespace kt6 {
namespace {

using namespace std::chrono_literals;
using Kind = LoggerReport::Kind;

std::vector<std::uint8_t> seed(const std::string& target, const std::string& name) {
    const auto path = std::filesystem::path(KT6_FUZZ_CORPUS) / target / name;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in) << path;
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
std::vector<std::uint8_t> n1mm(const std::string& name) {
    return seed("fuzz_n1mm_datagram", name);
}
std::vector<std::uint8_t> wsjtx(const std::string& name) {
    return seed("fuzz_wsjtx_datagram", name);
}
std::vector<std::uint8_t> text(const std::string& s) {
    return {s.begin(), s.end()};
}

TEST(N1mmDatagram, RadioInfoGivesFreqInTensOfHzTheRadioNumberAndTransmit) {
    const auto r1 = decodeN1mmDatagram(n1mm("radio1_14025_cw"));
    ASSERT_TRUE(r1);
    EXPECT_EQ(r1->kind, Kind::Radio);
    EXPECT_EQ(r1->hz, 14'025'000u);
    EXPECT_EQ(r1->radioNumber, 1);
    EXPECT_FALSE(r1->transmitting);
    EXPECT_EQ(r1->sender, "N1MM");

    const auto r2 = decodeN1mmDatagram(n1mm("radio2_transmitting"));
    ASSERT_TRUE(r2);
    EXPECT_EQ(r2->hz, 21'074'000u);
    EXPECT_EQ(r2->radioNumber, 2);
    EXPECT_TRUE(r2->transmitting);
    EXPECT_EQ(decodeN1mmDatagram(n1mm("dxlog_radio1"))->sender, "DXLog");
    // A logger with one radio and no word on transmit: radio 1, on receive.
    const auto bare = decodeN1mmDatagram(text("<RadioInfo><Freq> 702000 </Freq></RadioInfo>\r\n"));
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->hz, 7'020'000u);
    EXPECT_EQ(bare->radioNumber, 1);
}

TEST(N1mmDatagram, OtherDatagramsAreNotOursAndDamagedOnesAreRefused) {
    EXPECT_EQ(decodeN1mmDatagram(n1mm("contactinfo"))->kind, Kind::Other);
    for (const char* name : {"freq_not_a_number", "truncated"}) {
        EXPECT_FALSE(decodeN1mmDatagram(n1mm(name))) << name;
    }
    for (const char* bad : {"", "garbage", "<RadioInfo><Freq>1402500</Freq>",
                            "<RadioInfo><Freq>1402500</Freq></Radio>",
                            "<RadioInfo><Freq>123456789012</Freq></RadioInfo>",
                            "<RadioInfo><Freq>-1402500</Freq></RadioInfo>",
                            "<RadioInfo><TXFreq>1402500</TXFreq></RadioInfo>",
                            "<RadioInfo><Freq>1402500</Freq><RadioNr>0</RadioNr></RadioInfo>",
                            "<RadioInfo><Freq>1402500</Freq><IsTransmitting>maybe</IsTransmitting>"
                            "</RadioInfo>",
                            "<RadioInfo><Freq><b>1</b></Freq></RadioInfo>"}) {
        EXPECT_FALSE(decodeN1mmDatagram(text(bad))) << bad;
    }
}

TEST(WsjtxDatagram, StatusGivesTheDialFrequencyAndTransmittingOfSchemaTwoAndThree) {
    const auto rx = decodeWsjtxDatagram(wsjtx("status_schema3_14074_rx"));
    ASSERT_TRUE(rx);
    EXPECT_EQ(rx->kind, Kind::Radio);
    EXPECT_EQ(rx->hz, 14'074'000u);
    EXPECT_FALSE(rx->transmitting);
    EXPECT_EQ(rx->sender, "WSJT-X");
    const auto tx = decodeWsjtxDatagram(wsjtx("status_schema2_7074_tx"));
    ASSERT_TRUE(tx);
    EXPECT_EQ(tx->hz, 7'074'000u);
    EXPECT_TRUE(tx->transmitting);
    EXPECT_EQ(decodeWsjtxDatagram(wsjtx("heartbeat"))->kind, Kind::Alive);
    EXPECT_EQ(decodeWsjtxDatagram(wsjtx("close"))->kind, Kind::Leaving);
    EXPECT_EQ(decodeWsjtxDatagram(wsjtx("decode"))->kind, Kind::Other);
}

TEST(WsjtxDatagram, CutLyingOrForeignDatagramsAreRefused) {
    for (const char* name :
         {"status_cut_before_transmitting", "id_longer_than_datagram", "schema_1"}) {
        EXPECT_FALSE(decodeWsjtxDatagram(wsjtx(name))) << name;
    }
    auto wrongMagic = wsjtx("status_schema3_14074_rx");
    wrongMagic[0] ^= 0xFF;
    EXPECT_FALSE(decodeWsjtxDatagram(wrongMagic));
    // Every cut of a good Status short of its Transmitting flag is refused, none read past it.
    const auto whole = wsjtx("status_schema3_14074_rx");
    for (std::size_t n = 0; n < 60; ++n) {
        EXPECT_FALSE(decodeWsjtxDatagram(std::span(whole.data(), n))) << n;
    }
    EXPECT_TRUE(decodeWsjtxDatagram(std::span(whole.data(), 61)));
}

class UdpRigFeedTest : public ::testing::Test {
  protected:
    UdpRigFeed makeFeed(RigSource source, int radioNumber = 1) {
        RigPortSettings s;
        s.source = source;
        s.udpPort = defaultUdpPort(source);
        s.radioNumber = radioNumber;
        return UdpRigFeed(1, s, clock.now());
    }
    testing::FakeClock clock;
};

TEST_F(UdpRigFeedTest, WaitsWithoutAVerdictThenFollowsTheChosenRadioOnly) {
    UdpRigFeed feed = makeFeed(RigSource::N1mm, 2);
    EXPECT_TRUE(feed.reading().connecting);
    EXPECT_EQ(feed.reading().error, "waiting for a datagram on 127.0.0.1:12060");
    EXPECT_FALSE(feed.datagram(n1mm("radio1_14025_cw"), clock.now()));
    const auto r = feed.datagram(n1mm("radio2_transmitting"), clock.now());
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, RigStatus::Online);
    EXPECT_TRUE(r->statusChanged && r->paramsChanged && r->transmitChanged);
    EXPECT_EQ(r->hz, 21'074'000.0);
    EXPECT_TRUE(r->transmitting);
    // The same again changes nothing and is not told.
    EXPECT_FALSE(feed.datagram(n1mm("radio2_transmitting"), clock.now()));
    EXPECT_EQ(feed.sender(), "N1MM");
}

TEST_F(UdpRigFeedTest, MalformedDatagramsAreCountedAndChangeNothing) {
    UdpRigFeed feed = makeFeed(RigSource::Wsjtx);
    ASSERT_TRUE(feed.datagram(wsjtx("status_schema3_14074_rx"), clock.now()));
    for (const char* name : {"schema_1", "id_longer_than_datagram"}) {
        EXPECT_FALSE(feed.datagram(wsjtx(name), clock.now())) << name;
    }
    // An N1MM datagram on WSJT-X's port is as foreign as garbage.
    EXPECT_FALSE(feed.datagram(n1mm("radio1_14025_cw"), clock.now()));
    EXPECT_EQ(feed.malformed(), 3);
    EXPECT_EQ(feed.reading().hz, 14'074'000.0);
    EXPECT_EQ(feed.reading().status, RigStatus::Online);
}

TEST_F(UdpRigFeedTest, SilenceOrCloseEndsTheRigAndItsTransmitAndADatagramBringsItBack) {
    UdpRigFeed feed = makeFeed(RigSource::Wsjtx);
    ASSERT_TRUE(feed.datagram(wsjtx("status_schema2_7074_tx"), clock.now()));
    clock.idle(20s);
    // A heartbeat says the logger is there: the silence starts again.
    EXPECT_FALSE(feed.datagram(wsjtx("heartbeat"), clock.now()));
    clock.idle(kLoggerSilence - 1ms);
    EXPECT_FALSE(feed.tick(clock.now()));
    clock.idle(1ms);
    const auto gone = feed.tick(clock.now());
    ASSERT_TRUE(gone);
    EXPECT_EQ(gone->status, RigStatus::NotResponding);
    EXPECT_FALSE(gone->transmitting);
    EXPECT_TRUE(gone->transmitChanged);
    EXPECT_EQ(gone->error, "no datagram for 30 s on 127.0.0.1:2237");
    EXPECT_FALSE(feed.tick(clock.now() + 1min));

    ASSERT_TRUE(feed.datagram(wsjtx("status_schema3_14074_rx"), clock.now()));
    const auto closed = feed.datagram(wsjtx("close"), clock.now());
    ASSERT_TRUE(closed);
    EXPECT_EQ(closed->status, RigStatus::NotResponding);
    EXPECT_EQ(closed->error, "WSJT-X closed");
}

TEST_F(UdpRigFeedTest, APortThatCannotBeListenedOnIsPortBusyWithTheReason) {
    UdpRigFeed feed = makeFeed(RigSource::N1mm);
    const auto r = feed.failed("address in use");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->status, RigStatus::PortBusy);
    EXPECT_FALSE(r->connecting);
    EXPECT_EQ(r->error, "127.0.0.1:12060: address in use");
}

}  // namespace
}  // namespace kt6
