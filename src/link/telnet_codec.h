#pragma once
// The Telnet side of an RFC 2217 serial port, with no I/O: data bytes in and out with 0xFF
// escaped as IAC IAC, option negotiation answered, and the serial port control commands
// (COM-PORT-OPTION) built and their answers collected.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "link/bytes.h"
#include "link/serial_backend.h"

namespace kt6 {

namespace telnet {
inline constexpr std::uint8_t IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250,
                              SE = 240;
inline constexpr std::uint8_t BINARY = 0, ECHO = 1, SGA = 3, COM_PORT = 44;
// COM-PORT-OPTION commands, client to server; the server answers with the same plus 100.
inline constexpr std::uint8_t SIGNATURE = 0, SET_BAUDRATE = 1, SET_DATASIZE = 2, SET_PARITY = 3,
                              SET_STOPSIZE = 4, SET_CONTROL = 5, PURGE_DATA = 12;
inline constexpr std::uint8_t kServerOffset = 100;
}  // namespace telnet

class TelnetCodec {
  public:
    // The offers a client opens with: serial port control, binary both ways, no go-aheads.
    Bytes start();
    // Takes bytes from the server: data goes to data (unescaped), answers to negotiation are
    // queued for takeOutput().
    void receive(const std::uint8_t* bytes, std::size_t n, Bytes& data);
    // Appends data to out as it goes on the wire.
    void encodeData(const std::uint8_t* bytes, std::size_t n, Bytes& out) const;
    // Negotiation answers waiting to be sent (emptied by the call).
    Bytes takeOutput();

    // The commands that set the remote line as the local port's configure does. A parity or
    // flow letter that keeps the driver's setting sends nothing for it.
    Bytes lineSettingsCommands(const LineSettings& settings) const;
    // One COM-PORT-OPTION command, its value escaped.
    static Bytes command(std::uint8_t code, const Bytes& value);
    // The server's last answer to a command (by the client's code), or nothing yet.
    std::optional<Bytes> answer(std::uint8_t code) const;
    void forgetAnswers();

    // The server agreed to serial port control (DO COM-PORT-OPTION), or refused it.
    bool portControlAgreed() const { return local_[telnet::COM_PORT] == State::Yes; }
    bool portControlRefused() const { return portControlRefused_; }
    bool localEnabled(std::uint8_t option) const { return local_[option] == State::Yes; }
    bool remoteEnabled(std::uint8_t option) const { return remote_[option] == State::Yes; }

  private:
    enum class State : std::uint8_t { No, Yes, Asked };
    enum class Rx : std::uint8_t { Data, Iac, Verb, SbData, SbIac };

    void negotiate(std::uint8_t verb, std::uint8_t option);
    void subnegotiation();
    void send3(std::uint8_t verb, std::uint8_t option);
    static bool weOffer(std::uint8_t option);
    static bool weAccept(std::uint8_t option);

    std::array<State, 256> local_{};
    std::array<State, 256> remote_{};
    std::array<std::optional<Bytes>, 256> answers_{};
    Rx rx_ = Rx::Data;
    std::uint8_t verb_ = 0;
    bool lastWasCr_ = false;
    bool portControlRefused_ = false;
    Bytes sb_;
    Bytes output_;
};

}  // namespace kt6
