#include "core/api_hub.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <utility>

#include "link/commands.h"
#include "memory/file_io.h"

namespace kt6::api {

namespace {

constexpr int kMaxTurnPresses = 3;
// Lines a client may send while its authentication waits for its turn.
constexpr std::size_t kMaxHeldLines = 64;

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
    // A link is refused before the transfer runs, not after it.
    if (std::string problem = strictReplaceProblem(p); !problem.empty()) return problem;
    return {};
}

Hub::Hub(Station& station, Scheduler& scheduler, HubOptions options, Output output)
    : station_(station),
      scheduler_(scheduler),
      options_(std::move(options)),
      output_(std::move(output)) {}

Hub::~Hub() {
    *alive_ = false;
}

std::function<bool()> Hub::alive() const {
    return [flag = std::weak_ptr<bool>(alive_)] {
        const auto f = flag.lock();
        return f && *f;
    };
}

Hub::Admission Hub::connect(const std::string& peer) {
    if (options_.tokenRequired) {
        // Strangers never hold the last slots: at their limit, or when every slot is taken,
        // the one waiting longest makes room, so silent connections cannot lock anyone out.
        const auto stranger = std::find_if(clients_.begin(), clients_.end(),
                                           [](const auto& entry) { return !entry.second.authed; });
        const auto strangers =
            std::count_if(clients_.begin(), clients_.end(),
                          [](const auto& entry) { return !entry.second.authed; });
        if (stranger != clients_.end() &&
            (strangers >= kMaxClients - kReservedSlots || clients() >= kMaxClients)) {
            refuse(stranger->first, "too many clients waiting to authenticate");
        }
    }
    if (clients() >= kMaxClients) {
        const std::string why = "too many clients: " + std::to_string(kMaxClients) + " at most";
        log("refused " + (peer.empty() ? std::string("a client") : peer) + ": " + why);
        return {std::nullopt, errorReply({}, why)};
    }
    const ClientId id = nextId_++;
    Client client;
    client.authed = !options_.tokenRequired;
    client.peer = peer;
    clients_[id] = std::move(client);
    if (options_.tokenRequired) {
        scheduler_.after(kAuthTimeout, [this, live = alive(), id] {
            if (!live()) return;
            const auto c = clients_.find(id);
            if (c != clients_.end() && !c->second.authed && !c->second.authWaiting) {
                refuse(id, "no authentication within " +
                               std::to_string(kAuthTimeout.count() / 1000) + " s");
            }
        });
    }
    return {id, {}};
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

void Hub::log(const std::string& text) {
    if (output_.log) output_.log(text);
}

void Hub::refuse(ClientId id, const std::string& reason, std::string_view requestId) {
    const auto c = clients_.find(id);
    if (c == clients_.end()) return;
    log("closed " + (c->second.peer.empty() ? "client " + std::to_string(id) : c->second.peer) +
        ": " + reason);
    turnAway(id, errorReply(requestId, reason));
}

void Hub::overlong(ClientId id) {
    refuse(id, "line longer than " + std::to_string(kMaxLine) + " bytes");
}

void Hub::unfinished(ClientId id, bool midLine) {
    const auto c = clients_.find(id);
    if (c == clients_.end()) return;
    Client& client = c->second;
    if (!midLine) {
        client.midLine = false;
        return;
    }
    // The clock runs from the line's first byte, however slowly the rest trickles in.
    if (client.midLine) return;
    client.midLine = true;
    scheduler_.after(kUnfinishedLineTimeout, [this, live = alive(), id, ends = client.lineEnds] {
        if (!live()) return;
        const auto later = clients_.find(id);
        if (later != clients_.end() && later->second.midLine && later->second.lineEnds == ends) {
            refuse(id, "a line left unfinished for " +
                           std::to_string(kUnfinishedLineTimeout.count() / 1000) + " s");
        }
    });
}

void Hub::line(ClientId id, std::string_view text) {
    const auto client = clients_.find(id);
    if (client == clients_.end()) return;
    ++client->second.lineEnds;
    client->second.midLine = false;
    if (client->second.authWaiting) {
        // Answered in order once the authentication before it has been.
        if (client->second.held.size() >= kMaxHeldLines) {
            refuse(id, "too many requests before authenticating");
            return;
        }
        client->second.held.emplace_back(text);
        return;
    }
    answer(id, text);
}

void Hub::answer(ClientId id, std::string_view text) {
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
            refuse(id, parsed.error, parsed.id);
        }
        return;
    }
    const Request& request = *parsed.request;
    if (request.cmd == Cmd::Auth) {
        if (options_.tokenRequired && wrongTokens_ >= kWrongTokensPerSecond) {
            // Guessing is going on: this one waits its turn, and so do new connections.
            client->second.authWaiting = true;
            client->second.held.emplace_back(text);
            authQueue_.push_back(id);
            return;
        }
        authenticate(id, request);
        return;
    }
    if (!client->second.authed) {
        refuse(id, "authenticate first: {\"cmd\":\"auth\",\"token\":...}", request.id);
        return;
    }
    handle(id, request);
}

void Hub::authenticate(ClientId id, const Request& request) {
    Client& client = clients_[id];
    if (!options_.tokenRequired) {
        client.authed = true;
        send(id, okReply(request.id));
        return;
    }
    if (tokensEqual(request.token, options_.token)) {
        client.authed = true;
        send(id, okReply(request.id));
        return;
    }
    if (++wrongTokens_ >= kWrongTokensPerSecond && output_.accepting) output_.accepting(false);
    scheduler_.after(std::chrono::seconds(1), [this, live = alive()] {
        if (!live()) return;
        --wrongTokens_;
        authenticateHeld();
        if (wrongTokens_ < kWrongTokensPerSecond && output_.accepting) output_.accepting(true);
    });
    refuse(id, "wrong token", request.id);
}

void Hub::authenticateHeld() {
    while (wrongTokens_ < kWrongTokensPerSecond && !authQueue_.empty()) {
        const ClientId id = authQueue_.front();
        authQueue_.erase(authQueue_.begin());
        const auto c = clients_.find(id);
        if (c == clients_.end()) continue;
        c->second.authWaiting = false;
        const std::vector<std::string> held = std::exchange(c->second.held, {});
        // The first is the authentication itself; the rest came after it. Should the budget
        // run out again on the way, what is left waits once more.
        for (std::size_t i = 0; i < held.size(); ++i) {
            answer(id, held[i]);
            const auto again = clients_.find(id);
            if (again == clients_.end()) break;
            if (again->second.authWaiting) {
                auto& rest = again->second.held;
                rest.insert(rest.end(), held.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                            held.end());
                break;
            }
        }
    }
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
    if (const std::string problem = transferPathProblem(request.cmd, request.path);
        !problem.empty()) {
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

void Hub::pressForTurn(const std::shared_ptr<Turn>& turn) {
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
            send(turn->client,
                 okReply(turn->id, "{\"presses\":" + std::to_string(turn->presses) + "}"));
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
