#include "console_client.h"

namespace kt6::ctl {

namespace {

constexpr const char* kClosed = "the console closed the connection before answering";

// Reads lines until the reply with this id, or an error without one (the console turning this
// client away: too many clients, too slow); events meanwhile go to onEvent with their line.
// Nothing when the connection closed first.
template <typename OnEvent>
std::optional<std::pair<api::Message, std::string>> awaitReply(LineSocket& socket,
                                                               const std::string& id,
                                                               OnEvent onEvent) {
    while (auto line = socket.readLine()) {
        auto message = api::parseMessage(*line);
        // A line this client cannot read is no answer to it: a newer console's, perhaps.
        if (!message) continue;
        if (message->kind == api::Message::Kind::Event) {
            onEvent(*message, *line);
            continue;
        }
        if (message->id == id || (message->id.empty() && !message->ok))
            return std::make_pair(std::move(*message), std::move(*line));
    }
    return std::nullopt;
}

}  // namespace

int printReply(const api::Request& request, const api::Message& message, const std::string& line,
               Printer& printer) {
    if (!message.ok) {
        if (printer.json()) printer.line(line);
        printer.complain(message.error.empty() ? "the console refused the request" : message.error);
        return 1;
    }
    if (printer.json()) {
        printer.line(line);
    } else if (request.cmd == api::Cmd::Status && message.status) {
        printer.status(*message.status);
    } else if (request.cmd == api::Cmd::Restore && message.sent) {
        printer.say(restoredText(request.path, *message.sent, message.skipped.value_or(0)));
    } else {
        printer.say(doneText(request));
    }
    return 0;
}

int runThroughConsole(LineSocket& socket, const CtlOptions& options, Printer& printer) {
    int nextId = 1;
    const auto ignore = [](const api::Message&, const std::string&) {};
    if (options.token) {
        api::Request auth;
        auth.cmd = api::Cmd::Auth;
        auth.token = *options.token;
        auth.id = std::to_string(nextId++);
        if (!socket.send(api::requestLine(auth))) return printer.failed(3, kClosed);
        const auto reply = awaitReply(socket, auth.id, ignore);
        if (!reply) return printer.failed(3, kClosed);
        if (!reply->first.ok && reply->first.id.empty()) {
            if (printer.json()) printer.line(reply->second);
            printer.complain(reply->first.error);
            return 1;
        }
        if (!reply->first.ok) {
            if (printer.json()) printer.line(reply->second);
            printer.complain("the console refused the token: " + reply->first.error);
            return 1;
        }
    }

    api::Request request = options.request;
    request.id = std::to_string(nextId++);
    const bool watching = request.cmd == api::Cmd::Watch;
    if (!socket.send(api::requestLine(request))) return printer.failed(3, kClosed);

    // Progress is for the transfer this connection asked for; other events only for a watch.
    const auto show = [&printer](const api::Message& m, const std::string& line) {
        if (printer.json()) {
            printer.line(line);
        } else {
            printer.line(eventText(m));
        }
    };
    const auto reply =
        awaitReply(socket, request.id, [&printer](const api::Message& m, const std::string&) {
            if (m.event == "progress") printer.progress(m.block, m.blocks);
        });
    if (!reply) return printer.failed(3, kClosed);
    const auto& [message, line] = *reply;
    if (const int code = printReply(request, message, line, printer); code != 0 || !watching)
        return code;
    // The console ends a watch by closing the connection, after its "closing" event.
    while (auto event = socket.readLine()) {
        if (auto m = api::parseMessage(*event); m && m->kind == api::Message::Kind::Event) {
            show(*m, *event);
        }
    }
    return 0;
}

}  // namespace kt6::ctl
