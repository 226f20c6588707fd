// The local interface's request reader on any line, and a client's reader of the console's
// lines: neither throws nor crashes; an accepted request is written back by kt6ctl's encoder
// as a line that reads as the same request; a refusal always has a reason, and its error reply
// is one line a client can read, carrying the request's id when it had one. The same bytes,
// cut into lines, then go to the interface as one client on a listener with a token: nothing
// reaches the station before the right token, nothing after a refusal, and a client that has
// not authenticated is closed once its time is up.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/api_hub.h"
#include "core/api_protocol.h"
#include "support/fake_clock.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}

bool oneLine(const std::string& line) {
    return !line.empty() && line.find('\n') == line.size() - 1;
}

constexpr const char* kToken = "fuzz-token-0123456789";

// Counts what the interface asks of the controller; answers nothing.
class CountingStation : public kt6::api::Station {
  public:
    kt6::api::StationStatus status() const override { return {}; }
    kt6::api::LinkState linkState() const override { return kt6::api::LinkState::Online; }
    std::uint64_t records() const override { return 1; }
    std::string busy() const override { return {}; }
    std::string notPolling() const override { return {}; }
    void pressKey(std::uint8_t, std::function<void(std::uint8_t)>) override { ++acts; }
    void setFrequency(std::uint32_t, std::function<void(std::uint8_t)>) override { ++acts; }
    std::string runFunction(kt6::ServiceFunction, Done) override { return ++acts, ""; }
    std::string backup(const std::string&, Progress, Done) override { return ++acts, ""; }
    std::string restore(const std::string&, Progress, RestoreDone) override { return ++acts, ""; }
    int acts = 0;
};

void authenticationHolds(std::string_view bytes) {
    using namespace kt6::api;
    CountingStation station;
    kt6::testing::FakeClock clock;
    bool closed = false, wroteAfterClose = false;
    Hub hub(station, clock, HubOptions{true, kToken},
            Hub::Output{[&](Hub::ClientId, std::string_view line) {
                            check(oneLine(std::string(line)));
                            if (closed) wroteAfterClose = true;
                        },
                        [&](Hub::ClientId) { closed = true; }, nullptr, nullptr});
    const auto id = hub.connect("fuzz").id;
    check(id.has_value());
    bool authed = false;
    while (!bytes.empty() && !closed) {
        const auto end = bytes.find('\n');
        const std::string_view text = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
        if (end == std::string_view::npos) {
            hub.unfinished(*id, true);
            break;
        }
        const int before = station.acts;
        hub.line(*id, text);
        const Parsed p = parseRequest(text);
        const bool isAuth = p.request && p.request->cmd == Cmd::Auth;
        // Only a request after the right token acts; an authentication never does.
        if (station.acts != before) check(authed && !isAuth);
        if (isAuth && !closed) authed = authed || p.request->token == kToken;
        if (!authed) check(closed || text.find_first_not_of(" \t\r") == std::string_view::npos);
    }
    clock.advance(std::chrono::seconds(11));
    check(authed || closed);
    check(!wroteAfterClose);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace kt6::api;
    const std::string_view line(reinterpret_cast<const char*>(data), size);
    const Parsed parsed = parseRequest(line);
    check(parsed.request.has_value() != !parsed.error.empty());
    if (parsed.request) {
        const Request& r = *parsed.request;
        check(r.id == parsed.id);
        if (r.cmd == Cmd::Freq) check(r.khz >= kMinKhz && r.khz <= kMaxKhz);
        if (r.cmd == Cmd::Function) check(r.confirm);
        if (r.cmd == Cmd::Backup || r.cmd == Cmd::Restore) check(!r.path.empty());
        const std::string again = requestLine(r);
        check(oneLine(again));
        const Parsed back = parseRequest(std::string_view(again).substr(0, again.size() - 1));
        check(back.request.has_value());
        const Request& b = *back.request;
        check(b.cmd == r.cmd && b.key == r.key && b.khz == r.khz && b.heading == r.heading &&
              b.function == r.function && b.confirm == r.confirm && b.path == r.path &&
              b.token == r.token);
        // An id's text may change its spelling (1.0e0 to 1.0) but never its kind or presence.
        check(b.id.empty() == r.id.empty());
        check(okReply(r.id) == okReply(b.id));
    }
    const std::string reply = errorReply(parsed.id, parsed.error);
    check(oneLine(reply));
    const auto message = parseMessage(reply);
    check(message && message->kind == Message::Kind::Reply && !message->ok);
    check(message->id.empty() == parsed.id.empty());
    // What the console sends a client is read the same careful way.
    (void)parseMessage(line);
    check(tokensEqual(line, line));
    authenticationHolds(line);
    return 0;
}
