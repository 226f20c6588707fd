#include "radio/hamlib_rig_server.h"

#include <hamlib/rig.h>

#include <QString>
#include <QTimer>
#include <cctype>
#include <cstdio>
#include <utility>

#include "logging/log.h"
#include "memory/profile_file.h"
#include "radio/hamlib_models.h"

namespace kt6 {
namespace {

std::size_t slot(int rigNumber) {
    return static_cast<std::size_t>(rigNumber - 1);
}
bool validRig(int rigNumber) {
    return rigNumber >= 1 && rigNumber <= kRigCount;
}

std::chrono::milliseconds steadyNow() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

std::string frequencyText(double hz) {
    char text[32];
    std::snprintf(text, sizeof text, ", %.6f MHz", hz / 1e6);
    return text;
}

// " (N1MM)", "; 3 malformed datagrams dropped": what a logger's status line adds.
std::string loggerDetails(const UdpRigFeed& feed, bool online) {
    std::string text;
    if (online && !feed.sender().empty()) text += " (" + feed.sender() + ")";
    if (feed.malformed() > 0) {
        text += "; " + std::to_string(feed.malformed()) + " malformed datagram" +
                (feed.malformed() == 1 ? "" : "s") + " dropped";
    }
    return text;
}

}  // namespace

HamlibRigServer::HamlibRigServer(HamlibServerOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), settings_(defaultRigSettings()) {
    silence_.setInterval(std::chrono::seconds(1));
    QObject::connect(&silence_, &QTimer::timeout, this, &HamlibRigServer::silenceTick);
}

HamlibRigServer::~HamlibRigServer() {
    listener_ = nullptr;
    for (int id : feedIds_) {
        if (id) listeners_.leave(id);
    }
    // Both asked first, so the two threads wind down side by side.
    for (auto& p : pollers_) {
        if (p) p->requestStop();
    }
    for (auto& p : pollers_) p.reset();
}

bool HamlibRigServer::connect(std::string* error) {
    if (connected_) return true;
    if (hamlibRigModels().empty()) {
        if (error) *error = "libhamlib offers no rig models";
        return false;
    }
    if (options_.settings) {
        settings_ = *options_.settings;
    } else if (!options_.settingsPath.empty()) {
        settings_ = loadRigSettings(ProfileFile(options_.settingsPath));
    }
    connected_ = true;
    for (int n = 1; n <= kRigCount; ++n) restart(n);
    for (int n = 1; n <= kRigCount; ++n) {
        // A logger's rig has no thread: it listens on the window's.
        if (!pollers_[slot(n)] && !feeds_[slot(n)]) {
            if (error) *error = "the rig thread could not be started";
            connected_ = false;
            return false;
        }
    }
    return true;
}

void HamlibRigServer::restart(int rigNumber) {
    auto& poller = pollers_[slot(rigNumber)];
    poller.reset();
    if (int& id = feedIds_[slot(rigNumber)]; id) {
        listeners_.leave(id);
        id = 0;
    }
    feeds_[slot(rigNumber)].reset();
    const std::uint64_t generation = ++generation_[slot(rigNumber)];
    RigReading& known = latest_[slot(rigNumber)];
    known = RigReading{};
    known.rigNumber = rigNumber;
    known.generation = generation;
    // A rig without a model is known at once; waiting for its thread to say so would show it
    // as switched off meanwhile.
    if (settings_.rig(rigNumber).source != RigSource::Hamlib) {
        listen(rigNumber);
        return;
    }
    if (settings_.rig(rigNumber).model == 0) {
        known.status = RigStatus::NotConfigured;
        known.error = kNoRigModel;
    }
    auto next = std::make_unique<RigPoller>(rigNumber, settings_.rig(rigNumber), generation);
    QObject::connect(next.get(), &RigPoller::reading, this, &HamlibRigServer::take,
                     Qt::QueuedConnection);
    if (next->start()) poller = std::move(next);
}

void HamlibRigServer::listen(int rigNumber) {
    const std::size_t i = slot(rigNumber);
    const RigPortSettings& s = settings_.rig(rigNumber);
    feeds_[i] = std::make_unique<UdpRigFeed>(rigNumber, s, steadyNow());
    latest_[i] = feeds_[i]->reading();
    latest_[i].generation = generation_[i];
    QString why;
    const std::uint64_t generation = generation_[i];
    feedIds_[i] = listeners_.join(
        QString::fromStdString(s.bind), s.udpPort,
        [this, i, generation](std::span<const std::uint8_t> bytes) {
            if (generation != generation_[i] || !feeds_[i]) return;
            if (auto reading = feeds_[i]->datagram(bytes, steadyNow())) {
                reading->generation = generation;
                take(*reading);
            }
        },
        &why);
    if (!feedIds_[i]) {
        // Told at once, as a poller would tell of a port it cannot open.
        if (auto reading = feeds_[i]->failed(why.toStdString())) {
            reading->generation = generation;
            QTimer::singleShot(0, this, [this, r = *reading] { take(r); });
        }
        return;
    }
    if (!silence_.isActive()) silence_.start();
}

void HamlibRigServer::silenceTick() {
    bool listening = false;
    for (std::size_t i = 0; i < feeds_.size(); ++i) {
        if (!feeds_[i]) continue;
        listening = true;
        if (auto reading = feeds_[i]->tick(steadyNow())) {
            reading->generation = generation_[i];
            take(*reading);
        }
    }
    if (!listening) silence_.stop();
}

int HamlibRigServer::retuneStepKHz(int rigNumber) const {
    if (!validRig(rigNumber)) return kDefaultRetuneStepKHz;
    return settings_.rig(rigNumber).stepKHz;
}

void HamlibRigServer::applySettings(const RigSettings& settings) {
    const RigSettings old = settings_;
    settings_ = settings;
    if (!connected_) return;
    for (int n = 1; n <= kRigCount; ++n) {
        // A new step is used at the next report; the rig is not reached afresh for it.
        if (old.rig(n).sameConnection(settings.rig(n))) continue;
        restart(n);
        // The old rig's state is gone: tell the window, as for any other status change.
        emit rigStatusChanged(n);
        if (listener_) listener_->rigStatusChange(n);
    }
}

RigStatus HamlibRigServer::status(int rigNumber) const {
    if (!validRig(rigNumber)) return RigStatus::NotConfigured;
    if (!connected_) return RigStatus::Disabled;
    return latest_[slot(rigNumber)].status;
}

std::optional<double> HamlibRigServer::rxFrequency(int rigNumber) const {
    if (!validRig(rigNumber)) return std::nullopt;
    const RigReading& r = latest_[slot(rigNumber)];
    if (r.status != RigStatus::Online || !r.hasFrequency) return std::nullopt;
    return r.hz;
}

std::string HamlibRigServer::statusLine(int rigNumber) const {
    if (!validRig(rigNumber)) return {};
    const RigReading& r = latest_[slot(rigNumber)];
    std::string line(rigStatusText(status(rigNumber)));
    if (const auto& feed = feeds_[slot(rigNumber)]) {
        const bool online = status(rigNumber) == RigStatus::Online;
        if (online && r.hasFrequency) line += frequencyText(r.hz);
        if (!online && !r.error.empty()) line += ": " + r.error;
        return line + loggerDetails(*feed, online);
    }
    if (status(rigNumber) == RigStatus::Online && r.hasFrequency) {
        line += frequencyText(r.hz);
        if (r.mode != RIG_MODE_NONE) {
            line += ' ';
            line += rig_strrmode(static_cast<rmode_t>(r.mode));
        }
    } else if (!r.error.empty()) {
        line += ": " + r.error;
    }
    return line;
}

std::string rigTestText(const RigReading& r, const std::string& port) {
    std::string text(rigStatusText(r.status));
    if (r.status == RigStatus::Online) {
        if (r.hasFrequency) {
            char mhz[32];
            std::snprintf(mhz, sizeof mhz, ", %.6f MHz", r.hz / 1e6);
            text += mhz;
        }
        if (r.mode != RIG_MODE_NONE) {
            text += ", ";
            text += rig_strrmode(static_cast<rmode_t>(r.mode));
        }
        return text;
    }
    if (!r.error.empty()) text += " (" + (port.empty() ? r.error : port + ": " + r.error) + ")";
    return text;
}

void HamlibRigServer::testRig(int rigNumber, const RigPortSettings& settings,
                              std::function<void(const QString&)> done) {
    if (settings.source != RigSource::Hamlib) {
        testLogger(rigNumber, settings, std::move(done));
        return;
    }
    // A poller of its own: the rig in use keeps its own poller and its readings.
    auto* poller = new RigPoller(rigNumber, settings, 0);
    poller->setParent(this);
    auto over = std::make_shared<bool>(false);
    auto finish = [poller, over, done = std::move(done)](const QString& text) {
        if (std::exchange(*over, true)) return;
        done(text);
        poller->requestStop();
        poller->deleteLater();
    };
    QObject::connect(
        poller, &RigPoller::reading, this,
        [finish, port = settings.port](const kt6::RigReading& reading) {
            if (reading.connecting) return;
            finish(QString::fromStdString(rigTestText(reading, port)));
        },
        Qt::QueuedConnection);
    QTimer::singleShot(kRigTestTime, poller, [finish] {
        finish(QStringLiteral("No answer within %1 s").arg(kRigTestTime.count()));
    });
    if (!poller->start()) finish(QStringLiteral("The rig thread could not be started"));
}

void HamlibRigServer::testLogger(int rigNumber, const RigPortSettings& settings,
                                 std::function<void(const QString&)> done) {
    // A feed of its own on the shared socket: a rig that listens on the same port goes on
    // hearing every datagram, and a port nobody listens on yet is opened for the test alone.
    auto feed = std::make_shared<UdpRigFeed>(rigNumber, settings, steadyNow());
    auto id = std::make_shared<int>(0);
    auto over = std::make_shared<bool>(false);
    auto finish = [this, id, over, done = std::move(done)](const QString& text) {
        if (std::exchange(*over, true)) return;
        if (*id) listeners_.leave(*id);
        done(text);
    };
    QString why;
    *id = listeners_.join(
        QString::fromStdString(settings.bind), settings.udpPort,
        [feed, finish](std::span<const std::uint8_t> bytes) {
            const auto reading = feed->datagram(bytes, steadyNow());
            if (!reading || reading->status != RigStatus::Online) return;
            finish(QString::fromStdString(rigTestText(*reading, {}) + loggerDetails(*feed, true)));
        },
        &why);
    if (!*id) {
        finish(QString::fromStdString(rigTestText(*feed->failed(why.toStdString()), {})));
        return;
    }
    QTimer::singleShot(kLoggerTestTime, this, [finish, feed] {
        finish(QStringLiteral("No datagram within %1 s on %2%3")
                   .arg(kLoggerTestTime.count())
                   .arg(QString::fromStdString(feed->endpoint()))
                   .arg(QString::fromStdString(loggerDetails(*feed, false))));
    });
}

bool HamlibRigServer::connecting(int rigNumber) const {
    return validRig(rigNumber) && connected_ && latest_[slot(rigNumber)].connecting;
}

std::string HamlibRigServer::reason(int rigNumber) const {
    if (!validRig(rigNumber) || status(rigNumber) == RigStatus::Online) return {};
    const RigReading& r = latest_[slot(rigNumber)];
    if (r.error.empty()) return {};
    // A logger's reasons name their address and port already.
    if (feeds_[slot(rigNumber)]) return r.error;
    const std::string& port = settings_.rig(rigNumber).port;
    std::string why = r.error;
    // "Connection refused" reads on after the port as "connection refused"; an initialism
    // such as "IO error" keeps its capitals.
    if (why.size() > 1 && std::islower(static_cast<unsigned char>(why[1]))) {
        why[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(why[0])));
    }
    return port.empty() ? why : port + ": " + why;
}

void HamlibRigServer::take(const kt6::RigReading& reading) {
    if (!validRig(reading.rigNumber)) return;
    const std::size_t i = slot(reading.rigNumber);
    if (reading.generation != generation_[i]) return;
    latest_[i] = reading;
    // The listener may run an exchange that processes events, and with them later readings;
    // this reading's flags are taken first.
    const int n = reading.rigNumber;
    const bool statusChanged = reading.statusChanged;
    const bool paramsChanged = reading.paramsChanged;
    const bool transmitChanged = reading.transmitChanged;
    if (statusChanged) {
        // A line per change, as the link has: a console without a window shows nothing else.
        qCInfo(lcRadio, "rig %d: %s", n, statusLine(n).c_str());
        emit rigStatusChanged(n);
        if (listener_) listener_->rigStatusChange(n);
    }
    if (paramsChanged) {
        emit rigParamsChanged(n);
        if (listener_) listener_->rigParamsChange(n);
    }
    // Last: whoever hears of the frequency above already reads the new transmit state.
    if (transmitChanged) {
        emit rigTransmitChanged(n);
        if (listener_) listener_->rigTransmitChange(n);
    }
}

bool HamlibRigServer::transmitting(int rigNumber) const {
    if (!validRig(rigNumber) || !connected_) return false;
    const RigReading& r = latest_[slot(rigNumber)];
    return r.status == RigStatus::Online && r.transmitting;
}

}  // namespace kt6
