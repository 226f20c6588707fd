#pragma once
// A client of the console's local interface for tests on the window's loop: it sends lines and
// waits, with a deadline, for the lines that come back while the window's events run.
#include <QByteArray>
#include <QCoreApplication>
#include <QTcpSocket>
#include <QTest>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace kt6::testing {

class InterfaceClient {
  public:
    // Connects to the interface on this port of 127.0.0.1; false when it does not answer.
    bool connectTo(quint16 port) {
        socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
        return QTest::qWaitFor(
            [this] { return socket_.state() == QAbstractSocket::ConnectedState; }, 5000);
    }
    // Connects and gives the token; false when either fails.
    bool connectWithToken(quint16 port, const std::string& token) {
        if (!connectTo(port)) return false;
        const nlohmann::json reply =
            request(nlohmann::json{{"cmd", "auth"}, {"token", token}}.dump());
        return reply.is_object() && reply.value("ok", false);
    }
    void send(const std::string& line) {
        socket_.write(QByteArray::fromStdString(line + "\n"));
        socket_.flush();
    }
    // The next line, parsed; a null value after the deadline or when the line is not JSON.
    nlohmann::json next(int timeoutMs = 5000) {
        if (!QTest::qWaitFor([this] { return readLines(), !lines_.empty(); }, timeoutMs)) return {};
        const std::string line = lines_.front();
        lines_.erase(lines_.begin());
        return nlohmann::json::parse(line, nullptr, false);
    }
    // Sends a request and returns its reply, skipping events that come first.
    nlohmann::json request(const std::string& line, int timeoutMs = 5000) {
        send(line);
        for (;;) {
            nlohmann::json got = next(timeoutMs);
            if (got.is_null() || !got.contains("event")) return got;
            events.push_back(got);
        }
    }
    // The first line from now that satisfies the predicate, lines before it dropped; null
    // when none comes in time.
    template <typename Predicate>
    nlohmann::json nextWhere(Predicate wanted, int timeoutMs = 5000) {
        for (;;) {
            nlohmann::json got = next(timeoutMs);
            if (got.is_null() || wanted(got)) return got;
        }
    }
    bool closedByPeer(int timeoutMs = 5000) {
        return QTest::qWaitFor(
            [this] { return socket_.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
    }
    QTcpSocket& socket() { return socket_; }
    // Events skipped by request(), in order.
    std::vector<nlohmann::json> events;

  private:
    void readLines() {
        buffer_ += socket_.readAll();
        for (qsizetype end; (end = buffer_.indexOf('\n')) >= 0;) {
            lines_.push_back(buffer_.left(end).toStdString());
            buffer_.remove(0, end + 1);
        }
    }
    QTcpSocket socket_;
    QByteArray buffer_;
    std::vector<std::string> lines_;
};

}  // namespace kt6::testing
