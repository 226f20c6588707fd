#include "core/api_hub.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "link/commands.h"

namespace kt6::api {

namespace {

constexpr int kMaxTurnPresses = 3;

std::string statusByteError(std::uint8_t status) {
    if (status == 255) return "the controller did not answer";
    return "the controller answered status " + std::to_string(status);
}

}  // namespace

// A backup goes into an existing folder; a restore reads a regular file. Both take the
// caller's path as it stands, opened with the console user's rights.
std::string transferPathProblem(Cmd cmd, const std::string& path) {
    namespace fs = std::filesystem;
    const fs::path p(path);
    if (!p.is_absolute()) return "the path must be absolute: " + path;
    std::error_code ec;
    if (cmd == Cmd::Restore) {
        if (!fs::exists(p, ec)) return "no such file: " + path;
        if (!fs::is_regular_file(p, ec)) return "not a regular file: " + path;
        return {};
    }
    const fs::path folder = p.parent_path();
    if (!fs::is_directory(folder, ec)) return "no such folder: " + folder.string();
    if (fs::exists(p, ec) && !fs::is_regular_file(p, ec)) return "not a regular file: " + path;
    return {};
}

Hub::Hub(Station& station, HubOptions options, Output output)
    : station_(station), options_(std::move(options)), output_(std::move(output)) {}

Hub::~Hub() {
    *alive_ = false;
}

std::function<bool()> Hub::alive() const {
    return [flag = std::weak_ptr<bool>(alive_)] {
        const auto f = flag.lock();
        return f && *f;
    };
}

std::optional<Hub::ClientId> Hub::connect() {
    if (clients() >= kMaxClients) return std::nullopt;
    const ClientId id = nextId_++;
    clients_[id] = Client{!options_.tokenRequired, false};
    return id;
}

void Hub::disconnect(ClientId id) {
    clients_.erase(id);
}

void Hub::send(ClientId id, std::string_view line) {
    if (clients_.count(id) && output_.write) output_.write(id, line);
}

void Hub::turnAway(ClientId id, std::string_view lastLine) {
    send(id, lastLine);
    if (output_.close) output_.close(id);
    disconnect(id);
}

void Hub::overlong(ClientId id) {
    turnAway(id, errorReply({}, "line longer than " + std::to_string(kMaxLine) + " bytes"));
}

void Hub::line(ClientId id, std::string_view text) {
    const auto client = clients_.find(id);
    if (client == clients_.end()) return;
    if (text.size() > kMaxLine) {
        overlong(id);
        return;
    }
    // Blank lines are what a person at nc types by accident.
    if (text.find_first_not_of(" \t\r") == std::string_view::npos) return;
    const Parsed parsed = parseRequest(text);
    if (!parsed.request) {
        // An unauthenticated client gets one answer, then the door.
        if (client->second.authed) {
            send(id, errorReply(parsed.id, parsed.error));
        } else {
            turnAway(id, errorReply(parsed.id, parsed.error));
        }
        return;
    }
    const Request& request = *parsed.request;
    if (request.cmd == Cmd::Auth) {
        if (!options_.tokenRequired || tokensEqual(request.token, options_.token)) {
            client->second.authed = true;
            send(id, okReply(request.id));
        } else {
            turnAway(id, errorReply(request.id, "wrong token"));
        }
        return;
    }
    if (!client->second.authed) {
        turnAway(id, errorReply(request.id, "authenticate first: {\"cmd\":\"auth\",\"token\":...}"));
        return;
    }
    handle(id, request);
}

bool Hub::refusedWhenBusy(ClientId id, const std::string& requestId) {
    const std::string why = station_.busy();
    if (!why.empty()) {
        send(id, errorReply(requestId, why));
        return true;
    }
    if (station_.linkState() != LinkState::Online) {
        send(id, errorReply(requestId, "the controller is not online"));
        return true;
    }
    return false;
}

void Hub::statusReply(ClientId id, const std::string& requestId, std::uint8_t status) {
    if (status == 0) {
        send(id, okReply(requestId, "{\"status\":0}"));
    } else {
        send(id, errorReply(requestId, statusByteError(status)));
    }
}

Station::Done Hub::replyWhenDone(ClientId id, const std::string& requestId) {
    return [this, live = alive(), id, requestId](const std::string& error) {
        if (!live()) return;
        send(id, error.empty() ? okReply(requestId) : errorReply(requestId, error));
    };
}

void Hub::handle(ClientId id, const Request& request) {
    const std::string& rid = request.id;
    auto live = alive();
    switch (request.cmd) {
        case Cmd::Status:
            send(id, api::statusReply(rid, station_.status()));
            return;
        case Cmd::Watch:
            clients_[id].watching = true;
            send(id, okReply(rid));
            // The state now, so a watcher need not ask for it separately.
            send(id, statusEvent(station_.status()));
            return;
        case Cmd::Key:
        case Cmd::Band:
            if (refusedWhenBusy(id, rid)) return;
            station_.pressKey(request.key, [this, live, id, rid](std::uint8_t status) {
                if (live()) statusReply(id, rid, status);
            });
            return;
        case Cmd::Freq:
            if (refusedWhenBusy(id, rid)) return;
            station_.setFrequency(request.khz, [this, live, id, rid](std::uint8_t status) {
                if (live()) statusReply(id, rid, status);
            });
            return;
        case Cmd::Direction: {
            if (refusedWhenBusy(id, rid)) return;
            if (const std::string why = station_.notPolling(); !why.empty()) {
                send(id, errorReply(rid, why));
                return;
            }
            auto turn = std::make_shared<Turn>(Turn{id, rid, request.heading});
            // Already there: nothing to press.
            if (station_.status().heading == headingName(request.heading)) {
                send(id, okReply(rid, "{\"presses\":0}"));
                return;
            }
            turns_.push_back(turn);
            pressForTurn(turn);
            return;
        }
        case Cmd::Function: {
            if (!request.confirm) {
                send(id, errorReply(rid, "a function runs only with \"confirm\":true"));
                return;
            }
            // Its keys would walk the controller's menus between a transfer's blocks.
            if (refusedWhenBusy(id, rid)) return;
            const std::string why = station_.runFunction(request.function, replyWhenDone(id, rid));
            if (!why.empty()) send(id, errorReply(rid, why));
            return;
        }
        case Cmd::Backup:
        case Cmd::Restore:
            startTransfer(id, request);
            return;
        case Cmd::Auth:
            return;
    }
}

void Hub::startTransfer(ClientId id, const Request& request) {
    const std::string& rid = request.id;
    if (const std::string problem = transferPathProblem(request.cmd, request.path); !problem.empty()) {
        send(id, errorReply(rid, problem));
        return;
    }
    // Until the controller has answered on this port its firmware, and with it the layout
    // of every block, is not known.
    if (refusedWhenBusy(id, rid)) return;
    auto live = alive();
    // An event per block done, from 1: the window's bar also shows the start, at 0.
    Station::Progress progress = [this, live, id](int block, int blocks) {
        if (live() && block > 0) toWatchers(progressEvent(block, blocks), id);
    };
    std::string why;
    if (request.cmd == Cmd::Backup) {
        why = station_.backup(request.path, progress, replyWhenDone(id, rid));
    } else {
        why = station_.restore(
            request.path, progress,
            [this, live, id, rid](const std::string& error, int sent, int skipped) {
                if (!live()) return;
                // A file without some sections loads what it has: the caller learns how much.
                send(id, error.empty() ? restoreReply(rid, sent, skipped) : errorReply(rid, error));
            });
    }
    if (!why.empty()) send(id, errorReply(rid, why));
}

void Hub::pressForTurn(std::shared_ptr<Turn> turn) {
    ++turn->presses;
    turn->keyOut = true;
    auto live = alive();
    station_.pressKey(keys::kDirection, [this, live, turn](std::uint8_t status) {
        if (!live()) return;
        turn->keyOut = false;
        turn->answeredAt = station_.records();
        if (status != 0) {
            statusReply(turn->client, turn->id, status);
            std::erase(turns_, turn);
        }
    });
}

void Hub::lookAtTurns() {
    const std::vector<std::shared_ptr<Turn>> turns = turns_;
    for (const auto& turn : turns) {
        if (turn->keyOut) continue;
        if (station_.linkState() != LinkState::Online) {
            send(turn->client, errorReply(turn->id, "the controller is not online"));
            std::erase(turns_, turn);
            continue;
        }
        if (const std::string why = station_.notPolling(); !why.empty()) {
            send(turn->client, errorReply(turn->id, why));
            std::erase(turns_, turn);
            continue;
        }
        // The heading is read from the first status record after the key was answered.
        if (station_.records() <= turn->answeredAt) continue;
        if (station_.status().heading == headingName(turn->wanted)) {
            send(turn->client, okReply(turn->id, "{\"presses\":" + std::to_string(turn->presses) + "}"));
            std::erase(turns_, turn);
        } else if (turn->presses >= kMaxTurnPresses) {
            send(turn->client,
                 errorReply(turn->id, "the heading did not become " +
                                          std::string(headingName(turn->wanted)) + " after " +
                                          std::to_string(kMaxTurnPresses) + " presses"));
            std::erase(turns_, turn);
        } else {
            pressForTurn(turn);
        }
    }
}

void Hub::toWatchers(std::string_view line, std::optional<ClientId> also) {
    // A write may end a client (one that reads too slowly) and with it its entry: the
    // listeners are chosen first.
    std::vector<ClientId> listeners;
    for (const auto& [id, client] : clients_) {
        if (client.watching || (also && *also == id)) listeners.push_back(id);
    }
    for (const ClientId id : listeners) send(id, line);
}

void Hub::changed() {
    const LinkState link = station_.linkState();
    const StationStatus now = station_.status();
    if (lastLink_ != link) {
        if (lastLink_) toWatchers(linkEvent(link));
        lastLink_ = link;
    }
    const bool movingChanged = lastStatus_ && lastStatus_->moving != now.moving;
    if (!lastStatus_ || !(*lastStatus_ == now)) {
        if (lastStatus_) toWatchers(statusEvent(now));
        if (movingChanged) toWatchers(movingEvent(now.moving));
        lastStatus_ = now;
    }
    lookAtTurns();
}

void Hub::closing() {
    const std::string last = closingEvent();
    std::vector<ClientId> ids;
    for (const auto& entry : clients_) ids.push_back(entry.first);
    for (ClientId id : ids) {
        send(id, last);
        if (output_.close) output_.close(id);
    }
    clients_.clear();
}

}  // namespace kt6::api
