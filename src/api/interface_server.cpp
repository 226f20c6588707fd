#include "api/interface_server.h"

#include <QLoggingCategory>
#include <QTcpSocket>

namespace kt6::api {

namespace {

Q_LOGGING_CATEGORY(lcApi, "kt6.api")

// A watcher that stops reading would otherwise grow the console's memory without end.
constexpr qint64 kMaxUnsent = 1 << 20;

}  // namespace

InterfaceServer::InterfaceServer(Station& station, QObject* parent)
    : QObject(parent), station_(station), server_(this) {
    server_.setObjectName("apiServer");
    // The server's own queue of connections is kept short: the hub turns away what is too many.
    server_.setMaxPendingConnections(kMaxClients + 1);
    connect(&server_, &QTcpServer::newConnection, this, &InterfaceServer::accept);
}

InterfaceServer::~InterfaceServer() {
    // Sockets are children of this object; the hub goes first so nothing writes to them.
    hub_.reset();
}

QString InterfaceServer::listen(const ApiSettings& settings) {
    if (const std::string problem = listenProblem(settings); !problem.empty())
        return QString::fromStdString(problem);
    const QString bind = QString::fromStdString(settings.bind);
    const QHostAddress address =
        bind == QLatin1String("localhost") ? QHostAddress(QHostAddress::LocalHost) : QHostAddress(bind);
    if (address.isNull()) return QStringLiteral("%1 is not an address to listen on").arg(bind);
    HubOptions options;
    options.tokenRequired = !isLoopback(settings.bind);
    options.token = settings.token;
    hub_ = std::make_unique<Hub>(
        station_, options,
        Hub::Output{[this](Hub::ClientId id, std::string_view line) {
                        const auto c = connections_.find(id);
                        if (c == connections_.end() || !c->second.socket || c->second.closing)
                            return;
                        QTcpSocket* socket = c->second.socket;
                        socket->write(line.data(), static_cast<qint64>(line.size()));
                        if (socket->bytesToWrite() > kMaxUnsent) {
                            qCWarning(lcApi) << "client" << id << "reads too slowly: closed";
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
                    }});
    if (!server_.listen(address, settings.port)) {
        const QString why = server_.errorString();
        hub_.reset();
        return QStringLiteral("%1:%2: %3").arg(bind).arg(settings.port).arg(why);
    }
    qCInfo(lcApi) << "listening on" << bind << server_.serverPort();
    return {};
}

void InterfaceServer::accept() {
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        socket->setParent(this);
        const std::optional<Hub::ClientId> id = hub_ ? hub_->connect() : std::nullopt;
        if (!id) {
            const std::string why =
                errorReply({}, "too many clients: " + std::to_string(kMaxClients) + " at most");
            socket->write(why.data(), static_cast<qint64>(why.size()));
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        connections_[*id] = Connection{socket, {}, false};
        connect(socket, &QTcpSocket::readyRead, this, [this, id = *id] { readFrom(id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, id = *id] { drop(id); });
    }
}

void InterfaceServer::readFrom(Hub::ClientId id) {
    auto c = connections_.find(id);
    if (c == connections_.end()) return;
    QTcpSocket* socket = c->second.socket;
    while (socket->bytesAvailable() > 0) {
        // What the socket holds now, not more than one line's worth past the limit: a
        // client cannot make the console hold more than that of its bytes.
        const QByteArray chunk = socket->read(static_cast<qint64>(kMaxLine) + 2);
        if (chunk.isEmpty()) break;
        c = connections_.find(id);
        if (c == connections_.end() || c->second.closing) return;
        c->second.pending.append(chunk);
        for (;;) {
            c = connections_.find(id);
            if (c == connections_.end() || c->second.closing) return;
            QByteArray& pending = c->second.pending;
            const qsizetype end = pending.indexOf('\n');
            if (end < 0) {
                if (static_cast<std::size_t>(pending.size()) > kMaxLine) hub_->overlong(id);
                break;
            }
            QByteArray line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.endsWith('\r')) line.chop(1);
            hub_->line(id, std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        }
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
