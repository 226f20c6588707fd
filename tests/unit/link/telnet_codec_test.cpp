// The Telnet layer of RFC 2217 ports, without a socket: data escaping both ways, option
// negotiation answers, and the serial port control commands and their answers.
#include <gtest/gtest.h>

#include "link/telnet_codec.h"

namespace kt6 {
namespace {

using namespace telnet;

Bytes receive(TelnetCodec& codec, const Bytes& wire) {
    Bytes data;
    codec.receive(wire.data(), wire.size(), data);
    return data;
}

// A codec after the usual opening: our offers sent, the server agreeing to all of them.
TelnetCodec agreed() {
    TelnetCodec codec;
    codec.start();
    receive(codec,
            {IAC, DO, COM_PORT, IAC, DO, BINARY, IAC, DO, SGA, IAC, WILL, BINARY, IAC, WILL, SGA});
    return codec;
}

TEST(TelnetCodec, dataByte0xFFIsSentDoubledAndEveryOtherByteAsItIs) {
    TelnetCodec codec = agreed();
    Bytes out;
    const Bytes data{0xF5, 0xFF, 0x00, 0x0D, 0xFA, 0xFF, 0xFF};
    codec.encodeData(data.data(), data.size(), out);
    EXPECT_EQ(out, (Bytes{0xF5, 0xFF, 0xFF, 0x00, 0x0D, 0xFA, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_TRUE(codec.takeOutput().empty());
}

TEST(TelnetCodec, receivedIacIacIsOneDataByteAndCommandsAreTakenOutOfTheData) {
    TelnetCodec codec = agreed();
    EXPECT_EQ(receive(codec, {0xF5, IAC, IAC, 0x01, IAC, 241 /* NOP */, 0xFA}),
              (Bytes{0xF5, 0xFF, 0x01, 0xFA}));
    // A subnegotiation in the middle of the data, with a doubled IAC inside it.
    EXPECT_EQ(receive(codec, {0x10, IAC, SB, COM_PORT, 107, IAC, IAC, IAC, SE, 0x11}),
              (Bytes{0x10, 0x11}));
}

TEST(TelnetCodec, sequencesSplitAcrossReadsAreJoined) {
    TelnetCodec codec = agreed();
    Bytes data;
    const Bytes wire{0x01, IAC, IAC,  IAC, SB,  COM_PORT, SET_BAUDRATE + kServerOffset,
                     0,    0,   0x4B, 0,   IAC, SE,       0x02};
    for (std::uint8_t b : wire) codec.receive(&b, 1, data);
    EXPECT_EQ(data, (Bytes{0x01, 0xFF, 0x02}));
    EXPECT_EQ(codec.answer(SET_BAUDRATE), (Bytes{0, 0, 0x4B, 0}));
}

TEST(TelnetCodec, opensByOfferingPortControlBinaryAndNoGoAhead) {
    TelnetCodec codec;
    const Bytes offers = codec.start();
    EXPECT_EQ(offers, (Bytes{IAC, WILL, COM_PORT, IAC, WILL, BINARY, IAC, WILL, SGA, IAC, DO,
                             BINARY, IAC, DO, SGA}));
    EXPECT_FALSE(codec.portControlAgreed());
    // Agreement to our own offers draws no further answer: no negotiation loop.
    receive(codec, {IAC, DO, COM_PORT, IAC, DO, BINARY, IAC, WILL, BINARY});
    EXPECT_TRUE(codec.portControlAgreed());
    EXPECT_TRUE(codec.localEnabled(BINARY));
    EXPECT_TRUE(codec.remoteEnabled(BINARY));
    EXPECT_TRUE(codec.takeOutput().empty());
}

TEST(TelnetCodec, answersTheServersOwnRequestsOnceAndRefusesWhatItDoesNotSpeak) {
    TelnetCodec codec;
    receive(codec, {IAC, DO, SGA, IAC, WILL, BINARY, IAC, WILL, ECHO, IAC, DO, 24 /* TTYPE */});
    EXPECT_EQ(codec.takeOutput(),
              (Bytes{IAC, WILL, SGA, IAC, DO, BINARY, IAC, DONT, ECHO, IAC, WONT, 24}));
    // The same requests again change nothing and are not answered again.
    receive(codec, {IAC, DO, SGA, IAC, WILL, BINARY});
    EXPECT_TRUE(codec.takeOutput().empty());
    // Switching an option off is acknowledged once.
    receive(codec, {IAC, WONT, BINARY, IAC, WONT, BINARY, IAC, DONT, SGA});
    EXPECT_EQ(codec.takeOutput(), (Bytes{IAC, DONT, BINARY, IAC, WONT, SGA}));
    EXPECT_FALSE(codec.remoteEnabled(BINARY));
    EXPECT_FALSE(codec.localEnabled(SGA));
}

TEST(TelnetCodec, aServerThatRefusesPortControlIsSeen) {
    TelnetCodec codec;
    codec.start();
    receive(codec, {IAC, DONT, COM_PORT});
    EXPECT_TRUE(codec.portControlRefused());
    EXPECT_FALSE(codec.portControlAgreed());
    EXPECT_TRUE(codec.takeOutput().empty());
}

TEST(TelnetCodec, outsideBinaryModeACarriageReturnTravelsAsCrNul) {
    TelnetCodec codec;
    Bytes out;
    const Bytes data{0x0D, 0x41};
    codec.encodeData(data.data(), data.size(), out);
    EXPECT_EQ(out, (Bytes{0x0D, 0x00, 0x41}));
    EXPECT_EQ(receive(codec, {0x0D, 0x00, 0x42, 0x00}), (Bytes{0x0D, 0x42, 0x00}));
}

TEST(TelnetCodec, lineSettingsAreTheControllersAndDtrIsHeldOn) {
    TelnetCodec codec = agreed();
    const Bytes commands = codec.lineSettingsCommands(LineSettings{19200, 'n', 8, 1, 'N'});
    const Bytes expected{
        IAC,        SB, COM_PORT, SET_BAUDRATE, 0x00, 0x00, 0x4B, 0x00, IAC, SE,  // 19200
        IAC,        SB, COM_PORT, SET_DATASIZE, 8,    IAC,  SE,   IAC,  SB,  COM_PORT,
        SET_PARITY, 1,  IAC,      SE,                            // none
        IAC,        SB, COM_PORT, SET_STOPSIZE, 1,    IAC,  SE,  // one
        IAC,        SB, COM_PORT, SET_CONTROL,  1,    IAC,  SE,  // no flow control
        IAC,        SB, COM_PORT, SET_CONTROL,  8,    IAC,  SE,  // DTR on
    };
    EXPECT_EQ(commands, expected);
    // A letter that keeps the driver's parity or flow sends nothing for it.
    const Bytes kept = codec.lineSettingsCommands(LineSettings{9600, 'q', 7, 2, 'r'});
    EXPECT_EQ(kept, (Bytes{IAC,  SB,  COM_PORT, SET_BAUDRATE, 0,  0,        0x25,
                           0x80, IAC, SE,       IAC,          SB, COM_PORT, SET_DATASIZE,
                           7,    IAC, SE,       IAC,          SB, COM_PORT, SET_STOPSIZE,
                           2,    IAC, SE,       IAC,          SB, COM_PORT, SET_CONTROL,
                           8,    IAC, SE}));
}

TEST(TelnetCodec, a0xFFInsideACommandValueIsDoubled) {
    EXPECT_EQ(TelnetCodec::command(SET_BAUDRATE, {0x00, 0x00, 0xFF, 0xFF}),
              (Bytes{IAC, SB, COM_PORT, SET_BAUDRATE, 0, 0, IAC, IAC, IAC, IAC, IAC, SE}));
}

TEST(TelnetCodec, serverAnswersAreKeptByCommandUntilForgotten) {
    TelnetCodec codec = agreed();
    receive(codec, {IAC, SB, COM_PORT, SET_DATASIZE + kServerOffset, 8, IAC, SE,
                    IAC, SB, COM_PORT, SET_CONTROL + kServerOffset,  1, IAC, SE,
                    IAC, SB, COM_PORT, SET_CONTROL + kServerOffset,  8, IAC, SE});
    EXPECT_EQ(codec.answer(SET_DATASIZE), (Bytes{8}));
    EXPECT_EQ(codec.answer(SET_CONTROL), (Bytes{8}));
    EXPECT_FALSE(codec.answer(SET_BAUDRATE));
    codec.forgetAnswers();
    EXPECT_FALSE(codec.answer(SET_DATASIZE));
}

TEST(TelnetCodec, aServerAskingForOurSignatureGetsIt) {
    TelnetCodec codec = agreed();
    receive(codec, {IAC, SB, COM_PORT, SIGNATURE + kServerOffset, IAC, SE});
    const Bytes out = codec.takeOutput();
    ASSERT_GE(out.size(), 6u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{IAC, SB, COM_PORT, SIGNATURE}));
    EXPECT_EQ(Bytes(out.end() - 2, out.end()), (Bytes{IAC, SE}));
    // A signature the server volunteers is an answer, not a question.
    receive(codec, {IAC, SB, COM_PORT, SIGNATURE + kServerOffset, 'x', IAC, SE});
    EXPECT_TRUE(codec.takeOutput().empty());
}

TEST(TelnetCodec, anOverlongOrBrokenSubnegotiationIsDroppedAndTheStreamRecovers) {
    TelnetCodec codec = agreed();
    Bytes wire{IAC, SB, COM_PORT, 150};
    wire.insert(wire.end(), 1000, 0x33);
    wire.insert(wire.end(), {IAC, SE, 0x01});
    EXPECT_EQ(receive(codec, wire), (Bytes{0x01}));
    // IAC followed by neither SE nor IAC inside a subnegotiation ends it; the command counts.
    EXPECT_EQ(receive(codec, {IAC, SB, COM_PORT, 105, IAC, WILL, ECHO, 0x02}), (Bytes{0x02}));
    EXPECT_EQ(codec.takeOutput(), (Bytes{IAC, DONT, ECHO}));
    EXPECT_FALSE(codec.answer(5));
}

}  // namespace
}  // namespace kt6
