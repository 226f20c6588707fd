#pragma once
// The UDP sockets the loggers' datagrams arrive on, one per address and port however many rigs
// (and rig tests) listen there: two rigs following radios 1 and 2 of one N1MM share its port.
// Lives on the window's thread; datagrams are handed over as they are read.
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <span>
#include <utility>

class QUdpSocket;

namespace kt6 {

class UdpListeners : public QObject {
    Q_OBJECT
  public:
    using Heard = std::function<void(std::span<const std::uint8_t>)>;

    explicit UdpListeners(QObject* parent = nullptr);
    ~UdpListeners() override;

    // Hears every datagram on bind:port from now on; the id to leave with, or 0 with the reason
    // in error when the port cannot be listened on.
    int join(const QString& bind, int port, Heard heard, QString* error);
    // Hears nothing more; the socket closes with its last listener.
    void leave(int id);

  private:
    using Key = std::pair<QString, int>;
    struct Endpoint {
        // A child of the listeners, let go with deleteLater: it may close inside its own signal.
        QUdpSocket* socket = nullptr;
        std::map<int, Heard> listeners;
    };
    void readAll(const Key& key);

    std::map<Key, Endpoint> endpoints_;
    int nextId_ = 1;
};

}  // namespace kt6
