#pragma once
// A free TCP port on 127.0.0.1, for a server a test starts (the console's interface). Plain
// sockets on POSIX systems; on Windows, where only the window's tests use it, Qt's (the
// system's own headers would bring macros such as "far" into every test).
#ifdef _WIN32
#include <QHostAddress>
#include <QTcpServer>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace kt6::testing {

// A TCP port on 127.0.0.1 that nothing listened on a moment ago; -1 when none was found.
inline int freeLoopbackPort() {
#ifdef _WIN32
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0)) return -1;
    return server.serverPort();
#else
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    int port = -1;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
        port = ntohs(addr.sin_port);
    }
    ::close(fd);
    return port;
#endif
}

}  // namespace kt6::testing
