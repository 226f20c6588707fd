// The local interface's request reader on any line, and a client's reader of the console's
// lines: neither throws nor crashes; an accepted request is written back by kt6ctl's encoder
// as a line that reads as the same request; a refusal always has a reason, and its error reply
// is one line a client can read, carrying the request's id when it had one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/api_protocol.h"

namespace {
void check(bool ok) {
    if (!ok) std::abort();
}

bool oneLine(const std::string& line) {
    return !line.empty() && line.find('\n') == line.size() - 1;
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
    return 0;
}
