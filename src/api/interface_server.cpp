#include "api/interface_server.h"

#include <QTcpSocket>
#include <QTimer>

#include "logging/log.h"

namespace kt6::api {

namespace {

// A watcher that stops reading would otherwise grow the console's memory without end.
constexpr qint64 kMaxUnsent = 1 << 20;
// A client's requests are answered only while less than this of its replies waits to go out:
// one that sends a thousand requests in one write is answered as fast as it reads, in order.
constexpr qint64 kAnswerWhileUnsentBelow = 64 * 1024;

QString peerOf(const QTcpSocket& socket) {
    return QStringLiteral("%1:%2").arg(socket.peerAddress().toString()).arg(socket.peerPort());
}

}  // namespace

InterfaceServer::InterfaceServer(Station& station, QObject* parent)
    : QObject(parent), station_(station), server_(this) {
    server_.setObjectName("apiServer");
    // The server's own queue of connections is kept short: the hub turns away what is too many.
    server_.setMaxPendingConnections(kMaxClients + 1);
    connect(&server_, &QTcpServer::newConnection, this, &InterfaceServer::accept);
}

void InterfaceServer::Timers::after(std::chrono::milliseconds delay, std::function<void()> task) {
    QTimer::singleShot(delay, Qt::PreciseTimer, context_, std::move(task));
}

InterfaceServer::~InterfaceServer() {
    // Sockets are children of this object; the hub goes first so nothing writes to them.
    hub_.reset();
}

QString InterfaceServer::listen(const ApiSettings& settings, const Access& access) {
    if (!access.problem.empty()) return QString::fromStdString(access.problem);
    const QString bind = QString::fromStdString(settings.bind);
    const QHostAddress address = bind == QLatin1String("localhost")
                                     ? QHostAddress(QHostAddress::LocalHost)
                                     : QHostAddress(bind);
    if (address.isNull()) return QStringLiteral("%1 is not an address to listen on").arg(bind);
    HubOptions options;
    options.tokenRequired = !access.token.empty();
    options.token = access.token;
    hub_ = std::make_unique<Hub>(
        station_, timers_, options,
        Hub::Output{[this](Hub::ClientId id, std::string_view line) {
                        const auto c = connections_.find(id);
                        if (c == connections_.end() || !c->second.socket || c->second.closing)
                            return;
                        QTcpSocket* socket = c->second.socket;
                        socket->write(line.data(), static_cast<qint64>(line.size()));
                        if (socket->bytesToWrite() > kMaxUnsent) {
                            qCWarning(lcApi, "client %d reads too slowly: closed", id);
                            c->second.closing = true;
                            // From the loop: the hub may be walking its clients right now, and
                            // an abort here would take this one from under it.
                            QMetaObject::invokeMethod(socket, &QTcpSocket::abort,
                                                      Qt::QueuedConnection);
                        }
                    },
                    [this](Hub::ClientId id) {
                        const auto c = connections_.find(id);
                        if (c == connections_.end() || !c->second.socket) return;
                        c->second.closing = true;
                        // The last line goes to the system now: the console may be quitting,
                        // and no turn of the loop would write it. Then it closes once sent.
                        c->second.socket->flush();
                        c->second.socket->disconnectFromHost();
                    },
                    [](const std::string& text) { qCWarning(lcApi, "%s", text.c_str()); },
                    [this](bool accept) {
                        if (accept) {
                            server_.resumeAccepting();
                        } else {
                            server_.pauseAccepting();
                        }
                    }});
    if (!server_.listen(address, settings.port)) {
        const QString why = server_.errorString();
        hub_.reset();
        return QStringLiteral("%1:%2: %3").arg(bind).arg(settings.port).arg(why);
    }
    qCInfo(lcApi, "listening on %s port %u", qUtf8Printable(bind), unsigned{server_.serverPort()});
    return {};
}

void InterfaceServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        const Hub::Admission admission =
            hub_ ? hub_->connect(peerOf(*socket).toStdString()) : Hub::Admission{};
        if (!admission.id) {
            const std::string& why = admission.refusal;
            socket->write(why.data(), static_cast<qint64>(why.size()));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        const Hub::ClientId id = *admission.id;
        // While its answers wait, what it sends stays with the system: the console holds no
        // more of a client's requests than this.
        socket->setReadBufferSize(kAnswerWhileUnsentBelow);
        connections_[id] = Connection{socket, {}, false};
        connect(socket, &QTcpSocket::readyRead, this, [this, id] { readFrom(id); });
        // Replies drained: requests held back behind them are answered now.
        connect(socket, &QTcpSocket::bytesWritten, this, [this, id] { readFrom(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { drop(id); });
    }
}

void InterfaceServer::readFrom(Hub::ClientId id) {
    const auto open = [this, id] {
        const auto c = connections_.find(id);
        return c != connections_.end() && !c->second.closing ? &c->second : nullptr;
    };
    for (Connection* c = open(); c; c = open()) {
        QByteArray& pending = c->pending;
        const qsizetype end = pending.indexOf('\n');
        if (end >= 0) {
            // What the client has not read yet is what counts, not how many lines it sent.
            if (c->socket->bytesToWrite() >= kAnswerWhileUnsentBelow) return;
            QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.endsWith('\r')) line.chop(1);
            hub_->line(id,
                       std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
            continue;
        }
        if (static_cast<std::size_t>(pending.size()) > kMaxLine) {
            hub_->overlong(id);
            return;
        }
        if (c->socket->bytesAvailable() <= 0) {
            hub_->unfinished(id, !pending.isEmpty());
            return;
        }
        // What the socket holds now, not more than one line's worth past the limit: a
        // client cannot make the console hold more than that of its bytes.
        const QByteArray chunk = c->socket->read(static_cast<qint64>(kMaxLine) + 2);
        if (chunk.isEmpty()) return;
        pending.append(chunk);
    }
}

void InterfaceServer::drop(Hub::ClientId id) {
    const auto c = connections_.find(id);
    if (c == connections_.end()) return;
    if (hub_) hub_->disconnect(id);
    c->second.socket->deleteLater();
    connections_.erase(c);
}

void InterfaceServer::close() {
    server_.close();
    if (hub_) hub_->closing();
}

}  // namespace kt6::api
