#include "core/api_protocol.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <vector>

#include "link/commands.h"

namespace kt6::api {

namespace {

// Replies keep their members in the order written: "id" first, then "ok", as people read them.
using Json = nlohmann::ordered_json;

struct KeyNameEntry {
    std::string_view name;
    std::uint8_t code;
};
constexpr std::array<KeyNameEntry, 14> kKeyNames = {{
    {"40m", keys::k40m},
    {"30m", keys::k30m},
    {"20m", keys::k20m},
    {"17m", keys::k17m},
    {"15m", keys::k15m},
    {"12m", keys::k12m},
    {"10m", keys::k10m},
    {"6m", keys::k6m},
    {"up", keys::kUp},
    {"down", keys::kDown},
    {"direction", keys::kDirection},
    {"power", keys::kPower},
    {"menu", keys::kMenu},
    {"return", keys::kReturn},
}};
// The first eight entries are the band keys.
constexpr std::size_t kBandKeyCount = 8;

struct FunctionNameEntry {
    std::string_view name;
    ServiceFunction function;
};
constexpr std::array<FunctionNameEntry, 4> kFunctionNames = {{
    {"calibrate", ServiceFunction::Calibrate},
    {"factory", ServiceFunction::FactoryDefault},
    {"retract", ServiceFunction::Retract},
    {"test", ServiceFunction::TestElements},
}};

struct CmdNameEntry {
    std::string_view name;
    Cmd cmd;
};
constexpr std::array<CmdNameEntry, 10> kCmdNames = {{
    {"status", Cmd::Status},
    {"key", Cmd::Key},
    {"band", Cmd::Band},
    {"freq", Cmd::Freq},
    {"direction", Cmd::Direction},
    {"function", Cmd::Function},
    {"backup", Cmd::Backup},
    {"restore", Cmd::Restore},
    {"watch", Cmd::Watch},
    {"auth", Cmd::Auth},
}};

std::string_view cmdName(Cmd cmd) {
    for (const auto& e : kCmdNames) {
        if (e.cmd == cmd) return e.name;
    }
    return {};
}

// Lines end where the reader splits them; a stray line break inside a value never reaches the
// wire, since dump() escapes it. Text that is not UTF-8 goes out with U+FFFD in its place.
std::string lineOf(const Json& j) {
    return j.dump(-1, ' ', false, Json::error_handler_t::replace) + '\n';
}

// The id as a reply carries it: a number or a string given as JSON text; anything else is
// left out rather than sent as something the client never wrote.
Json withId(std::string_view id) {
    Json j = Json::object();
    if (id.empty()) return j;
    Json value = Json::parse(id.begin(), id.end(), nullptr, false);
    if (value.is_string() || (value.is_number() && !value.is_number_float()) ||
        (value.is_number_float() && std::isfinite(value.get<double>()))) {
        j["id"] = std::move(value);
    }
    return j;
}

void putStatus(Json& j, const StationStatus& s) {
    j["online"] = s.online;
    j["port"] = s.port;
    j["firmware"] = s.firmware;
    j["drivers"] = s.drivers;
    j["frequency"] = s.frequency;
    j["band"] = s.band;
    j["heading"] = s.heading;
    j["moving"] = s.moving;
    j["power"] = s.power;
    j["link"] = s.link;
    j["radio"] = s.radio;
    j["events"] = s.events;
}

// A name from the request, quoted in an error text: cut short, so a long one does not fill
// the reply, and never in the middle of a UTF-8 sequence.
std::string shown(std::string_view text) {
    constexpr std::size_t kShown = 32;
    std::string out = "\"";
    if (text.size() <= kShown) {
        out += text;
    } else {
        std::size_t cut = kShown;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        out += text.substr(0, cut);
        out += "...";
    }
    return out + '"';
}

template <typename Entries>
std::string namesList(const Entries& entries, std::size_t count) {
    std::string list;
    for (std::size_t i = 0; i < count; ++i) {
        if (!list.empty()) list += ", ";
        list += entries[i].name;
    }
    return list;
}

// Why a request is refused; carried out of the member readers to the one place that makes
// the error reply.
struct Refusal {
    std::string text;
};

const Json& member(const Json& object, const char* name, const char* what) {
    const auto it = object.find(name);
    if (it == object.end()) {
        throw Refusal{std::string("\"") + name + "\" is missing: " + what};
    }
    return *it;
}

std::string stringMember(const Json& object, const char* name, const char* what) {
    const Json& value = member(object, name, what);
    if (!value.is_string()) throw Refusal{std::string("\"") + name + "\" must be " + what};
    return value.get<std::string>();
}

std::uint8_t keyOf(const Json& object) {
    constexpr const char* kWhat = "a key name or a key code 0-13 or 77";
    const Json& value = member(object, "key", kWhat);
    if (value.is_string()) {
        const auto name = value.get<std::string>();
        if (auto code = keyByName(name)) return *code;
        throw Refusal{"unknown key " + shown(name) + "; keys: " +
                      namesList(kKeyNames, kKeyNames.size()) + ", or a code 0-13 or 77"};
    }
    if (value.is_number_integer()) {
        // Unsigned values beyond int64 come out negative here and are refused with the rest.
        const auto code = value.get<std::int64_t>();
        if ((code >= 0 && code <= keys::kReturn) || code == keys::kBandLamp) {
            return static_cast<std::uint8_t>(code);
        }
        throw Refusal{"key " + value.dump() + " is not a key code: 0-13 or 77"};
    }
    throw Refusal{std::string("\"key\" must be ") + kWhat};
}

std::uint32_t khzOf(const Json& object) {
    constexpr const char* kWhat = "a whole number of kHz, 1-65535";
    const Json& value = member(object, "khz", kWhat);
    if (!value.is_number_integer()) throw Refusal{std::string("\"khz\" must be ") + kWhat};
    // Unsigned values beyond int64 come out negative here and are refused with the rest.
    const auto khz = value.get<std::int64_t>();
    if (khz < static_cast<std::int64_t>(kMinKhz) || khz > static_cast<std::int64_t>(kMaxKhz)) {
        throw Refusal{"khz " + value.dump() + " is out of range: the controller takes 1-65535"};
    }
    return static_cast<std::uint32_t>(khz);
}

std::string pathOf(const Json& object) {
    std::string path = stringMember(object, "path", "a file path");
    if (path.empty()) throw Refusal{"\"path\" is empty"};
    // The file functions stop at a NUL: the file written would not be the one named.
    if (path.find('\0') != std::string::npos) throw Refusal{"\"path\" holds a NUL character"};
    return path;
}

Request requestOf(const Json& j, std::string id) {
    Request r;
    r.id = std::move(id);
    const Json& cmdValue = member(j, "cmd", "every request names its command");
    if (!cmdValue.is_string()) throw Refusal{"\"cmd\" must be a string"};
    const auto cmd = cmdValue.get<std::string>();
    const auto entry = std::find_if(kCmdNames.begin(), kCmdNames.end(),
                                    [&](const CmdNameEntry& e) { return e.name == cmd; });
    if (entry == kCmdNames.end()) {
        throw Refusal{"unknown cmd " + shown(cmd) +
                      "; commands: " + namesList(kCmdNames, kCmdNames.size())};
    }
    r.cmd = entry->cmd;
    switch (r.cmd) {
        case Cmd::Status:
        case Cmd::Watch:
            break;
        case Cmd::Key:
            r.key = keyOf(j);
            break;
        case Cmd::Band: {
            const auto name = stringMember(j, "band", "a band name");
            const auto key = bandKeyByName(name);
            if (!key)
                throw Refusal{"unknown band " + shown(name) +
                              "; bands: " + namesList(kKeyNames, kBandKeyCount)};
            r.key = *key;
            break;
        }
        case Cmd::Freq:
            r.khz = khzOf(j);
            break;
        case Cmd::Direction: {
            constexpr const char* kWhat = "\"normal\", \"180\" or \"bidir\"";
            const Json& value = member(j, "heading", kWhat);
            const auto heading =
                value.is_string() ? headingByName(value.get<std::string>()) : std::nullopt;
            if (!heading) throw Refusal{std::string("\"heading\" must be ") + kWhat};
            r.heading = *heading;
            break;
        }
        case Cmd::Function: {
            const auto name = stringMember(j, "name", "a function name");
            const auto function = functionByName(name);
            if (!function) {
                throw Refusal{"unknown function " + shown(name) +
                              "; functions: calibrate, factory, retract, test"};
            }
            r.function = *function;
            const auto confirm = j.find("confirm");
            r.confirm = confirm != j.end() && confirm->is_boolean() && confirm->get<bool>();
            // The console's own question is answered by the client: only a deliberate yes runs.
            if (!r.confirm) {
                throw Refusal{"function " + shown(name) +
                              " moves the elements: send \"confirm\":true to run it"};
            }
            break;
        }
        case Cmd::Backup:
        case Cmd::Restore:
            r.path = pathOf(j);
            break;
        case Cmd::Auth:
            r.token = stringMember(j, "token", "a string");
            break;
    }
    return r;
}

StationStatus statusOf(const Json& j) {
    const auto text = [&j](const char* name) {
        const auto it = j.find(name);
        return it != j.end() && it->is_string() ? it->get<std::string>() : std::string();
    };
    const auto flag = [&j](const char* name) {
        const auto it = j.find(name);
        return it != j.end() && it->is_boolean() && it->get<bool>();
    };
    const auto number = [&j](const char* name, std::int64_t high) -> std::int64_t {
        const auto it = j.find(name);
        if (it == j.end() || !it->is_number_integer()) return 0;
        if (it->is_number_unsigned() && it->get<std::uint64_t>() > static_cast<std::uint64_t>(high))
            return 0;
        const auto v = it->get<std::int64_t>();
        return v < 0 || v > high ? 0 : v;
    };
    StationStatus s;
    s.online = flag("online");
    s.port = text("port");
    s.firmware = text("firmware");
    s.drivers = static_cast<int>(number("drivers", 255));
    s.frequency = static_cast<std::uint32_t>(number("frequency", kMaxKhz));
    s.band = text("band");
    s.heading = text("heading");
    s.moving = flag("moving");
    s.power = flag("power");
    s.link = text("link");
    s.radio = text("radio");
    s.events = text("events");
    return s;
}

}  // namespace

// Ids a reply can echo exactly: a JSON number outside this range would come back rounded.
constexpr std::int64_t kMaxExactId = (std::int64_t{1} << 53) - 1;

Parsed parseRequest(std::string_view line) {
    Parsed out;
    try {
        Json j;
        // A member given twice is refused: which copy counts would be a guess.
        std::string duplicate;
        std::vector<std::vector<std::string>> seen;
        const Json::parser_callback_t noDuplicates = [&](int, Json::parse_event_t event,
                                                         Json& parsed) {
            if (event == Json::parse_event_t::object_start) {
                seen.emplace_back();
            } else if (event == Json::parse_event_t::object_end && !seen.empty()) {
                seen.pop_back();
            } else if (event == Json::parse_event_t::key && !seen.empty()) {
                const std::string name = parsed.get<std::string>();
                auto& names = seen.back();
                if (duplicate.empty() && std::find(names.begin(), names.end(), name) != names.end())
                    duplicate = name;
                names.push_back(name);
            }
            return true;
        };
        try {
            j = Json::parse(line.begin(), line.end(), noDuplicates);
        } catch (const Json::parse_error& e) {
            out.error = "not JSON (byte " + std::to_string(e.byte) +
                        "): a request is one JSON object on a line, as {\"cmd\":\"status\"}";
            return out;
        } catch (const Json::out_of_range&) {
            out.error = "not JSON: a number too large for any request";
            return out;
        }
        if (!j.is_object()) {
            out.error =
                "not a JSON object: a request is one object on a line, as "
                "{\"cmd\":\"status\"}";
            return out;
        }
        if (!duplicate.empty()) {
            out.error = "member \"" + duplicate + "\" given twice";
            return out;
        }
        if (const auto id = j.find("id"); id != j.end()) {
            const bool exact =
                id->is_string() ||
                (id->is_number_integer() && !id->is_number_unsigned() &&
                 std::llabs(id->get<std::int64_t>()) <= kMaxExactId) ||
                (id->is_number_unsigned() &&
                 id->get<std::uint64_t>() <= static_cast<std::uint64_t>(kMaxExactId));
            if (!exact) {
                out.error = "\"id\" must be a string or a whole number from -" +
                            std::to_string(kMaxExactId) + " to " + std::to_string(kMaxExactId);
                return out;
            }
            out.id = id->dump(-1, ' ', false, Json::error_handler_t::replace);
        }
        out.request = requestOf(j, out.id);
    } catch (const Refusal& refusal) {
        out.request.reset();
        out.error = refusal.text;
    } catch (const std::exception& e) {
        // The library's own refusals (a type it could not convert) and running out of memory.
        out.request.reset();
        out.error = std::string("request not understood: ") + e.what();
    }
    return out;
}

std::string requestLine(const Request& r) {
    Json j = withId(r.id);
    j["cmd"] = cmdName(r.cmd);
    switch (r.cmd) {
        case Cmd::Status:
        case Cmd::Watch:
            break;
        case Cmd::Key:
            if (const auto name = keyName(r.key); !name.empty()) {
                j["key"] = name;
            } else {
                j["key"] = r.key;
            }
            break;
        case Cmd::Band:
            j["band"] = keyName(r.key);
            break;
        case Cmd::Freq:
            j["khz"] = r.khz;
            break;
        case Cmd::Direction:
            j["heading"] = headingName(r.heading);
            break;
        case Cmd::Function:
            j["name"] = functionName(r.function);
            j["confirm"] = r.confirm;
            break;
        case Cmd::Backup:
        case Cmd::Restore:
            j["path"] = r.path;
            break;
        case Cmd::Auth:
            j["token"] = r.token;
            break;
    }
    return lineOf(j);
}

std::optional<std::uint8_t> keyByName(std::string_view name) {
    for (const auto& e : kKeyNames) {
        if (e.name == name) return e.code;
    }
    return std::nullopt;
}

std::string_view keyName(std::uint8_t code) {
    for (const auto& e : kKeyNames) {
        if (e.code == code) return e.name;
    }
    return {};
}

std::optional<std::uint8_t> bandKeyByName(std::string_view name) {
    for (std::size_t i = 0; i < kBandKeyCount; ++i) {
        if (kKeyNames[i].name == name) return kKeyNames[i].code;
    }
    return std::nullopt;
}

std::optional<ServiceFunction> functionByName(std::string_view name) {
    for (const auto& e : kFunctionNames) {
        if (e.name == name) return e.function;
    }
    return std::nullopt;
}

std::string_view functionName(ServiceFunction function) {
    for (const auto& e : kFunctionNames) {
        if (e.function == function) return e.name;
    }
    return {};
}

std::string_view headingName(Heading heading) {
    switch (heading) {
        case Heading::Normal:
            return "normal";
        case Heading::Reversed:
            return "180";
        case Heading::Bidir:
            return "bidir";
    }
    return {};
}

std::optional<Heading> headingByName(std::string_view name) {
    for (Heading h : {Heading::Normal, Heading::Reversed, Heading::Bidir}) {
        if (headingName(h) == name) return h;
    }
    return std::nullopt;
}

std::optional<Heading> headingOf(std::uint8_t headingByte) {
    // The byte the display's heading lamps read: 0 normal, 1 reversed, 2 both ways.
    switch (headingByte) {
        case 0:
            return Heading::Normal;
        case 1:
            return Heading::Reversed;
        case 2:
            return Heading::Bidir;
        default:
            return std::nullopt;
    }
}

bool operator==(const StationStatus& a, const StationStatus& b) {
    return a.online == b.online && a.port == b.port && a.firmware == b.firmware &&
           a.drivers == b.drivers && a.frequency == b.frequency && a.band == b.band &&
           a.heading == b.heading && a.moving == b.moving && a.power == b.power &&
           a.link == b.link && a.radio == b.radio && a.events == b.events;
}

StationStatus statusFromRecord(const StatusRecord& r) {
    StationStatus s;
    // As the display's status line writes it ("v1.13").
    s.firmware = std::to_string(r.firmwareMajor) + "." + std::to_string(r.firmwareMinor);
    s.drivers = r.drivers;
    s.frequency = r.frequency;
    if (r.band < BandNames.size()) s.band = BandNames[r.band];
    if (const auto heading = headingOf(r.heading)) s.heading = headingName(*heading);
    s.moving = r.moving;
    s.power = (r.flags & StatusRecord::kDisplayOff) == 0;
    return s;
}

std::string_view linkStateName(LinkState state) {
    switch (state) {
        case LinkState::Online:
            return "online";
        case LinkState::Offline:
            return "offline";
        case LinkState::Lost:
            return "lost";
    }
    return {};
}

std::string okReply(std::string_view id) {
    Json j = withId(id);
    j["ok"] = true;
    return lineOf(j);
}

std::string okReply(std::string_view id, std::string_view membersObject) {
    Json j = withId(id);
    j["ok"] = true;
    const Json members = Json::parse(membersObject.begin(), membersObject.end(), nullptr, false);
    if (members.is_object()) {
        for (const auto& [name, value] : members.items()) {
            // The reply's own two members are not the caller's to change.
            if (name != "id" && name != "ok") j[name] = value;
        }
    }
    return lineOf(j);
}

std::string restoreReply(std::string_view id, int sent, int skipped) {
    Json j = withId(id);
    j["ok"] = true;
    j["sent"] = sent;
    j["skipped"] = skipped;
    return lineOf(j);
}

std::string errorReply(std::string_view id, std::string_view error) {
    Json j = withId(id);
    j["ok"] = false;
    j["error"] = error;
    return lineOf(j);
}

std::string statusReply(std::string_view id, const StationStatus& status) {
    Json j = withId(id);
    j["ok"] = true;
    putStatus(j, status);
    return lineOf(j);
}

std::string statusEvent(const StationStatus& status) {
    Json j = {{"event", "status"}};
    putStatus(j, status);
    return lineOf(j);
}

std::string movingEvent(bool moving) {
    return lineOf(Json{{"event", "moving"}, {"moving", moving}});
}

std::string linkEvent(LinkState state) {
    return lineOf(Json{{"event", "link"}, {"state", linkStateName(state)}});
}

std::string progressEvent(int block, int blocks) {
    return lineOf(Json{{"event", "progress"}, {"block", block}, {"blocks", blocks}});
}

std::string closingEvent() {
    return lineOf(Json{{"event", "closing"}});
}

std::optional<Message> parseMessage(std::string_view line) {
    try {
        const Json j = Json::parse(line.begin(), line.end(), nullptr, false);
        if (!j.is_object()) return std::nullopt;
        const auto count = [&j](const char* name) -> std::optional<int> {
            const auto it = j.find(name);
            if (it == j.end() || !it->is_number_integer()) return std::nullopt;
            const auto v = it->get<std::int64_t>();
            if (v < 0 || v > 1'000'000) return std::nullopt;
            return static_cast<int>(v);
        };
        Message m;
        if (const auto ok = j.find("ok"); ok != j.end() && ok->is_boolean()) {
            m.kind = Message::Kind::Reply;
            m.ok = ok->get<bool>();
            if (const auto id = j.find("id"); id != j.end()) {
                m.id = id->dump(-1, ' ', false, Json::error_handler_t::replace);
            }
            if (const auto error = j.find("error"); error != j.end() && error->is_string()) {
                m.error = error->get<std::string>();
            }
            if (const auto online = j.find("online"); online != j.end() && online->is_boolean()) {
                m.status = statusOf(j);
            }
            m.sent = count("sent");
            m.skipped = count("skipped");
            return m;
        }
        const auto event = j.find("event");
        if (event == j.end() || !event->is_string()) return std::nullopt;
        m.kind = Message::Kind::Event;
        m.event = event->get<std::string>();
        if (m.event == "status") {
            m.status = statusOf(j);
        } else if (m.event == "moving") {
            const auto moving = j.find("moving");
            m.moving = moving != j.end() && moving->is_boolean() && moving->get<bool>();
        } else if (m.event == "link") {
            if (const auto state = j.find("state"); state != j.end() && state->is_string()) {
                for (LinkState s : {LinkState::Online, LinkState::Offline, LinkState::Lost}) {
                    if (linkStateName(s) == state->get<std::string>()) m.link = s;
                }
            }
        } else if (m.event == "progress") {
            m.block = count("block").value_or(0);
            m.blocks = count("blocks").value_or(0);
        }
        return m;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

bool tokensEqual(std::string_view a, std::string_view b) {
    // Every byte of the longer one is looked at, the shorter one read as zeros past its end, so
    // neither where they first differ nor a shorter guess's length changes the time taken.
    const std::size_t n = std::max(a.size(), b.size());
    unsigned difference = a.size() != b.size() ? 1u : 0u;
    for (std::size_t i = 0; i < n; ++i) {
        const unsigned x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0u;
        const unsigned y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0u;
        difference |= x ^ y;
    }
    // Read once through a volatile, so the loop above cannot be cut short for an early answer.
    volatile unsigned result = difference;
    return result == 0;
}

}  // namespace kt6::api
