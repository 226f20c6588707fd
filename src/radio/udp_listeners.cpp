#include "radio/udp_listeners.h"

#include <QHostAddress>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <vector>

namespace kt6 {

// No datagram a logger sends comes near this; a bigger one is cut there and fails to decode.
constexpr qint64 kMaxDatagram = 65536;

UdpListeners::UdpListeners(QObject* parent) : QObject(parent) {}

UdpListeners::~UdpListeners() = default;

int UdpListeners::join(const QString& bind, int port, Heard heard, QString* error) {
    const Key key{bind, port};
    auto found = endpoints_.find(key);
    if (found == endpoints_.end()) {
        QHostAddress address;
        if (!address.setAddress(bind)) {
            if (error) *error = QStringLiteral("\"%1\" is not an IP address").arg(bind);
            return 0;
        }
        auto* socket = new QUdpSocket(this);
        // Shared as N1MM asks of its listeners, so another program can hear its broadcasts too.
        if (!socket->bind(address, static_cast<quint16>(port),
                          QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
            if (error) *error = socket->errorString().toLower();
            socket->deleteLater();
            return 0;
        }
        connect(socket, &QUdpSocket::readyRead, this, [this, key] { readAll(key); });
        found = endpoints_.emplace(key, Endpoint{socket, {}}).first;
    }
    const int id = nextId_++;
    found->second.listeners.emplace(id, std::move(heard));
    return id;
}

void UdpListeners::leave(int id) {
    for (auto it = endpoints_.begin(); it != endpoints_.end(); ++it) {
        if (it->second.listeners.erase(id) == 0) continue;
        if (it->second.listeners.empty()) {
            it->second.socket->close();
            it->second.socket->deleteLater();
            endpoints_.erase(it);
        }
        return;
    }
}

void UdpListeners::readAll(const Key& key) {
    for (;;) {
        // Looked up afresh each time: a listener told of a datagram may leave, and the endpoint
        // with it.
        auto found = endpoints_.find(key);
        if (found == endpoints_.end() || !found->second.socket->hasPendingDatagrams()) return;
        const QNetworkDatagram datagram = found->second.socket->receiveDatagram(kMaxDatagram);
        const QByteArray data = datagram.data();
        const std::span<const std::uint8_t> bytes(
            reinterpret_cast<const std::uint8_t*>(data.constData()),
            static_cast<std::size_t>(data.size()));
        std::vector<int> ids;
        for (const auto& [id, heard] : found->second.listeners) ids.push_back(id);
        for (int id : ids) {
            found = endpoints_.find(key);
            if (found == endpoints_.end()) return;
            const auto it = found->second.listeners.find(id);
            if (it == found->second.listeners.end()) continue;
            const Heard heard = it->second;
            heard(bytes);
        }
    }
}

}  // namespace kt6
