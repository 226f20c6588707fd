#pragma once
// Serves the local control interface on a TCP port: each connection's bytes are cut into
// lines for the hub, and the hub's lines are written back. Everything runs on the window's
// loop through socket signals; nothing here waits.
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <map>
#include <memory>

#include "core/api_hub.h"
#include "core/api_settings.h"

class QTcpSocket;

namespace kt6::api {

class InterfaceServer : public QObject {
    Q_OBJECT
  public:
    InterfaceServer(Station& station, QObject* parent = nullptr);
    ~InterfaceServer() override;

    // Listens as the settings say, letting in who gives access's token; empty when listening,
    // else why not (for the Events field).
    QString listen(const ApiSettings& settings, const Access& access);
    bool listening() const { return server_.isListening(); }
    quint16 port() const { return server_.serverPort(); }
    // The station's state may have changed.
    void changed() {
        if (hub_) hub_->changed();
    }
    // The console closes: every client hears it, is flushed and closed; no new ones.
    void close();

  private:
    void accept();
    void readFrom(Hub::ClientId id);
    void drop(Hub::ClientId id);

    struct Connection {
        QTcpSocket* socket = nullptr;
        QByteArray pending;
        // The rest of an over-long line is thrown away up to its end.
        bool closing = false;
    };

    // The hub's timers, on this object's loop.
    class Timers : public Scheduler {
      public:
        explicit Timers(QObject* context) : context_(context) {}
        void after(std::chrono::milliseconds delay, std::function<void()> task) override;

      private:
        QObject* context_;
    };

    Station& station_;
    Timers timers_{this};
    QTcpServer server_;
    std::unique_ptr<Hub> hub_;
    std::map<Hub::ClientId, Connection> connections_;
};

}  // namespace kt6::api
