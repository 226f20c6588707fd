#pragma once
// What kt6ctl needs of the operating system beyond the link: a line connection to the
// console's local interface (line_socket.cpp, on the link's sockets) and the folder of its own
// executable. One file per platform for the rest: platform_posix.cpp, platform_win32.cpp.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "link/serial_network.h"

namespace kt6::ctl {

class LineSocket {
  public:
    enum class State { Connected, Refused, Failed };

    // Connects to host:port, giving up after 3 s. Refused when nothing listens there (no
    // console running); Failed, with the reason, for anything else.
    LineSocket(const std::string& host, std::uint16_t port);
    LineSocket(const LineSocket&) = delete;
    LineSocket& operator=(const LineSocket&) = delete;

    State state() const { return state_; }
    const std::string& reason() const { return reason_; }

    // Sends the whole line; false once the connection is gone.
    bool send(std::string_view line);
    // The next line, without its line end; waits as long as it takes. Nothing once the
    // console has closed the connection (or a line grew past any the console sends).
    std::optional<std::string> readLine();

    // Longer than any line the console sends: a status reply is a few hundred bytes.
    static constexpr std::size_t kMaxLine = 1 << 20;

  private:
    StreamSocket fd_;
    State state_ = State::Failed;
    std::string reason_;
    std::string buffer_;
};

// The folder this program's executable is in; empty when the system does not tell.
std::filesystem::path executableDir();

// True when the stream is a terminal a person reads, not a pipe or a file.
bool isTerminal(std::FILE* stream);

}  // namespace kt6::ctl
