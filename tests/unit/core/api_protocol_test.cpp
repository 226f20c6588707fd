// The local interface's wire format: requests read from lines (and refused with a reason),
// request lines as kt6ctl writes them, replies and events as the console writes them, and
// what a client reads back from those.
#include "core/api_protocol.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/status_view.h"
#include "link/commands.h"

namespace kt6::api {
namespace {

Request parsedOk(std::string_view line) {
    const Parsed p = parseRequest(line);
    EXPECT_TRUE(p.request.has_value()) << line << ": " << p.error;
    return p.request.value_or(Request{});
}

std::string refusal(std::string_view line) {
    const Parsed p = parseRequest(line);
    EXPECT_FALSE(p.request.has_value()) << line;
    EXPECT_FALSE(p.error.empty()) << line;
    return p.error;
}

TEST(ParseRequest, eachCommandReadsItsMembers) {
    EXPECT_EQ(parsedOk(R"({"cmd":"status"})").cmd, Cmd::Status);
    EXPECT_EQ(parsedOk(R"({"cmd":"watch"})").cmd, Cmd::Watch);

    Request r = parsedOk(R"({"cmd":"key","key":"up"})");
    EXPECT_EQ(r.cmd, Cmd::Key);
    EXPECT_EQ(r.key, keys::kUp);
    EXPECT_EQ(parsedOk(R"({"cmd":"key","key":"40m"})").key, keys::k40m);
    EXPECT_EQ(parsedOk(R"({"cmd":"key","key":"return"})").key, keys::kReturn);
    EXPECT_EQ(parsedOk(R"({"cmd":"key","key":0})").key, 0);
    EXPECT_EQ(parsedOk(R"({"cmd":"key","key":13})").key, 13);
    EXPECT_EQ(parsedOk(R"({"cmd":"key","key":77})").key, keys::kBandLamp);

    r = parsedOk(R"({"cmd":"band","band":"20m"})");
    EXPECT_EQ(r.cmd, Cmd::Band);
    EXPECT_EQ(r.key, keys::k20m);
    EXPECT_EQ(parsedOk(R"({"cmd":"band","band":"6m"})").key, keys::k6m);

    r = parsedOk(R"({"cmd":"freq","khz":14074})");
    EXPECT_EQ(r.cmd, Cmd::Freq);
    EXPECT_EQ(r.khz, 14074u);
    EXPECT_EQ(parsedOk(R"({"cmd":"freq","khz":1})").khz, 1u);
    EXPECT_EQ(parsedOk(R"({"cmd":"freq","khz":65535})").khz, 65535u);

    r = parsedOk(R"({"cmd":"direction","heading":"180"})");
    EXPECT_EQ(r.cmd, Cmd::Direction);
    EXPECT_EQ(r.heading, Heading::Reversed);
    EXPECT_EQ(parsedOk(R"({"cmd":"direction","heading":"bidir"})").heading, Heading::Bidir);
    EXPECT_EQ(parsedOk(R"({"cmd":"direction","heading":"normal"})").heading, Heading::Normal);

    r = parsedOk(R"({"cmd":"function","name":"retract","confirm":true})");
    EXPECT_EQ(r.cmd, Cmd::Function);
    EXPECT_EQ(r.function, ServiceFunction::Retract);
    EXPECT_TRUE(r.confirm);
    EXPECT_EQ(parsedOk(R"({"cmd":"function","name":"factory","confirm":true})").function,
              ServiceFunction::FactoryDefault);
    EXPECT_EQ(parsedOk(R"({"cmd":"function","name":"test","confirm":true})").function,
              ServiceFunction::TestElements);
    EXPECT_EQ(parsedOk(R"({"cmd":"function","name":"calibrate","confirm":true})").function,
              ServiceFunction::Calibrate);

    r = parsedOk(R"({"cmd":"backup","path":"/home/op/kt6.skarnel"})");
    EXPECT_EQ(r.cmd, Cmd::Backup);
    EXPECT_EQ(r.path, "/home/op/kt6.skarnel");
    r = parsedOk(R"({"cmd":"restore","path":"C:\\kt6\\prima.skarnel"})");
    EXPECT_EQ(r.cmd, Cmd::Restore);
    EXPECT_EQ(r.path, "C:\\kt6\\prima.skarnel");

    r = parsedOk(R"({"cmd":"auth","token":"s3cret"})");
    EXPECT_EQ(r.cmd, Cmd::Auth);
    EXPECT_EQ(r.token, "s3cret");
}

TEST(ParseRequest, membersOtherCommandsUseAndUnknownOnesAreIgnored) {
    // A newer client's extra members do not make an older console refuse the request.
    const Request r = parsedOk(R"({"cmd":"status","khz":"x","verbose":[1,2],"id":9})");
    EXPECT_EQ(r.cmd, Cmd::Status);
    EXPECT_EQ(r.id, "9");
    // Blanks around and inside the object, and a CR left by a CR LF reader, are JSON's own.
    EXPECT_EQ(parsedOk(" { \"cmd\" : \"freq\" , \"khz\" : 7100 }\r").khz, 7100u);
}

TEST(ParseRequest, theIdComesBackAsTheJsonTextItWas) {
    EXPECT_EQ(parseRequest(R"({"id":1,"cmd":"status"})").id, "1");
    EXPECT_EQ(parseRequest(R"({"id":"abc","cmd":"status"})").request->id, "\"abc\"");
    EXPECT_EQ(parseRequest(R"({"id":-7,"cmd":"status"})").id, "-7");
    EXPECT_EQ(parseRequest(R"({"id":9007199254740991,"cmd":"status"})").id, "9007199254740991");
    EXPECT_EQ(parseRequest(R"({"id":-9007199254740991,"cmd":"status"})").id, "-9007199254740991");
    EXPECT_EQ(parseRequest(R"({"id":"say \"hi\"","cmd":"status"})").id, R"("say \"hi\"")");
    EXPECT_EQ(parseRequest(R"({"cmd":"status"})").id, "");
    // A refused request still carries its id, so the client can match the error to it.
    const Parsed bad = parseRequest(R"({"id":"x7","cmd":"band","band":"11m"})");
    EXPECT_FALSE(bad.request);
    EXPECT_EQ(bad.id, "\"x7\"");
    EXPECT_EQ(errorReply(bad.id, bad.error).substr(0, 18), R"({"id":"x7","ok":fa)");
}

TEST(ParseRequest, anIdAReplyCouldNotEchoExactlyIsRefusedWithoutOne) {
    // Fractions, exponents and integers past 2^53 would come back rounded or rewritten.
    for (const char* line :
         {R"({"id":null,"cmd":"status"})", R"({"id":true,"cmd":"status"})",
          R"({"id":[1],"cmd":"status"})", R"({"id":{"a":1},"cmd":"status"})",
          R"({"id":2.5,"cmd":"status"})", R"({"id":1E2,"cmd":"status"})",
          R"({"id":9007199254740992,"cmd":"status"})", R"({"id":-9007199254740992,"cmd":"status"})",
          R"({"id":123456789012345678901234567890,"cmd":"status"})"}) {
        const Parsed p = parseRequest(line);
        EXPECT_FALSE(p.request) << line;
        EXPECT_EQ(p.id, "") << line;
        EXPECT_EQ(p.error,
                  "\"id\" must be a string or a whole number from -9007199254740991 to "
                  "9007199254740991")
            << line;
    }
}

TEST(ParseRequest, aMemberGivenTwiceIsRefusedByName) {
    for (const char* line : {R"({"cmd":"status","cmd":"band","band":"20m"})",
                             R"({"id":1,"cmd":"freq","khz":7000,"khz":14000})"}) {
        const Parsed p = parseRequest(line);
        EXPECT_FALSE(p.request) << line;
        EXPECT_NE(p.error.find("given twice"), std::string::npos) << p.error;
    }
    EXPECT_EQ(parseRequest(R"({"cmd":"status","cmd":"status"})").error,
              R"(member "cmd" given twice)");
}

TEST(ParseRequest, whatIsNotARequestIsRefusedWithItsReason) {
    EXPECT_EQ(refusal("status").substr(0, 8), "not JSON");
    EXPECT_EQ(refusal("").substr(0, 8), "not JSON");
    EXPECT_EQ(refusal(R"({"cmd":"status")").substr(0, 8), "not JSON");
    EXPECT_EQ(refusal(R"({"cmd":"status"} {"cmd":"status"})").substr(0, 8), "not JSON");
    EXPECT_EQ(refusal(R"(["cmd","status"])").substr(0, 17), "not a JSON object");
    EXPECT_EQ(refusal("42").substr(0, 17), "not a JSON object");
    EXPECT_EQ(refusal(R"({"id":1})"), "\"cmd\" is missing: every request names its command");
    EXPECT_EQ(refusal(R"({"cmd":7})"), "\"cmd\" must be a string");
    EXPECT_EQ(refusal(R"({"cmd":"reboot"})"),
              "unknown cmd \"reboot\"; commands: status, key, band, freq, direction, function, "
              "backup, restore, watch, auth");
    EXPECT_EQ(refusal(R"({"cmd":"Status"})").substr(0, 20), "unknown cmd \"Status\"");
}

TEST(ParseRequest, membersMissingWronglyTypedOrOutOfRangeAreNamed) {
    EXPECT_EQ(refusal(R"({"cmd":"key"})"),
              "\"key\" is missing: a key name or a key code 0-13 or 77");
    EXPECT_EQ(refusal(R"({"cmd":"key","key":true})"),
              "\"key\" must be a key name or a key code 0-13 or 77");
    EXPECT_EQ(refusal(R"({"cmd":"key","key":5.0})"),
              "\"key\" must be a key name or a key code 0-13 or 77");
    EXPECT_EQ(refusal(R"({"cmd":"key","key":14})"), "key 14 is not a key code: 0-13 or 77");
    EXPECT_EQ(refusal(R"({"cmd":"key","key":-1})"), "key -1 is not a key code: 0-13 or 77");
    EXPECT_EQ(refusal(R"({"cmd":"key","key":18446744073709551615})"),
              "key 18446744073709551615 is not a key code: 0-13 or 77");
    EXPECT_EQ(refusal(R"({"cmd":"key","key":"UP"})"),
              "unknown key \"UP\"; keys: 40m, 30m, 20m, 17m, 15m, 12m, 10m, 6m, up, down, "
              "direction, power, menu, return, or a code 0-13 or 77");

    EXPECT_EQ(refusal(R"({"cmd":"band"})"), "\"band\" is missing: a band name");
    EXPECT_EQ(refusal(R"({"cmd":"band","band":20})"), "\"band\" must be a band name");
    // "up" is a key, not a band.
    EXPECT_EQ(refusal(R"({"cmd":"band","band":"up"})"),
              "unknown band \"up\"; bands: 40m, 30m, 20m, 17m, 15m, 12m, 10m, 6m");

    EXPECT_EQ(refusal(R"({"cmd":"freq"})"), "\"khz\" is missing: a whole number of kHz, 1-65535");
    EXPECT_EQ(refusal(R"({"cmd":"freq","khz":"14074"})"),
              "\"khz\" must be a whole number of kHz, 1-65535");
    EXPECT_EQ(refusal(R"({"cmd":"freq","khz":14074.5})"),
              "\"khz\" must be a whole number of kHz, 1-65535");
    EXPECT_EQ(refusal(R"({"cmd":"freq","khz":0})"),
              "khz 0 is out of range: the controller takes 1-65535");
    EXPECT_EQ(refusal(R"({"cmd":"freq","khz":65536})"),
              "khz 65536 is out of range: the controller takes 1-65535");
    EXPECT_EQ(refusal(R"({"cmd":"freq","khz":-14074})"),
              "khz -14074 is out of range: the controller takes 1-65535");
    EXPECT_EQ(refusal(R"({"cmd":"freq","khz":18446744073709551615})"),
              "khz 18446744073709551615 is out of range: the controller takes 1-65535");

    const std::string heading = "\"heading\" must be \"normal\", \"180\" or \"bidir\"";
    EXPECT_EQ(refusal(R"({"cmd":"direction"})"),
              "\"heading\" is missing: \"normal\", \"180\" or \"bidir\"");
    EXPECT_EQ(refusal(R"({"cmd":"direction","heading":180})"), heading);
    EXPECT_EQ(refusal(R"({"cmd":"direction","heading":"reverse"})"), heading);

    EXPECT_EQ(refusal(R"({"cmd":"function","confirm":true})"),
              "\"name\" is missing: a function name");
    EXPECT_EQ(refusal(R"({"cmd":"function","name":"edit","confirm":true})"),
              "unknown function \"edit\"; functions: calibrate, factory, retract, test");

    EXPECT_EQ(refusal(R"({"cmd":"backup"})"), "\"path\" is missing: a file path");
    EXPECT_EQ(refusal(R"({"cmd":"backup","path":7})"), "\"path\" must be a file path");
    EXPECT_EQ(refusal(R"({"cmd":"restore","path":""})"), "\"path\" is empty");
    EXPECT_EQ(refusal(R"({"cmd":"backup","path":"/tmp/a\u0000.skarnel"})"),
              "\"path\" holds a NUL character");

    EXPECT_EQ(refusal(R"({"cmd":"auth"})"), "\"token\" is missing: a string");
    EXPECT_EQ(refusal(R"({"cmd":"auth","token":1234})"), "\"token\" must be a string");
}

TEST(ParseRequest, aFunctionRunsOnlyWithConfirmTrue) {
    const std::string expected =
        "function \"retract\" moves the elements: send \"confirm\":true to run it";
    EXPECT_EQ(refusal(R"({"cmd":"function","name":"retract"})"), expected);
    EXPECT_EQ(refusal(R"({"cmd":"function","name":"retract","confirm":false})"), expected);
    EXPECT_EQ(refusal(R"({"cmd":"function","name":"retract","confirm":"true"})"), expected);
    EXPECT_EQ(refusal(R"({"cmd":"function","name":"retract","confirm":1})"), expected);
}

TEST(ParseRequest, aLongNameIsQuotedCutShortAtACharacterBoundary) {
    // 31 ASCII bytes, then a two-byte character straddling the 32-byte cut.
    const std::string name = std::string(31, 'a') + "\xC3\xA9" + std::string(100, 'b');
    const std::string error = refusal(R"({"cmd":")" + name + R"("})");
    EXPECT_EQ(error, "unknown cmd \"" + std::string(31, 'a') +
                         "...\"; commands: status, key, band, freq, direction, function, "
                         "backup, restore, watch, auth");
}

TEST(ParseRequest, anyBytesGiveAnAnswerAndNeverAnException) {
    const std::vector<std::string> lines = {
        std::string("{\"cmd\":\"st\xFF\xFEtus\"}"),       // not UTF-8 inside a string
        std::string("{\"cmd\":\"status\"}\xC3"),          // a cut sequence after the object
        std::string("\0{\"cmd\":\"status\"}", 17),        // a NUL first
        std::string(100000, '['),                         // nesting deeper than any stack
        std::string("{\"cmd\":\"freq\",\"khz\":1e400}"),  // a number beyond double
        std::string("{\"id\":1e400,\"cmd\":\"status\"}"),
        std::string("{\"cmd\":\"band\",\"band\":\"\\ud800\"}"),  // a lone surrogate escape
    };
    for (const std::string& line : lines) {
        Parsed p;
        EXPECT_NO_THROW(p = parseRequest(line));
        EXPECT_FALSE(p.request);
        EXPECT_FALSE(p.error.empty());
        // Whatever the error says, its reply is one valid line.
        const std::string reply = errorReply(p.id, p.error);
        EXPECT_EQ(reply.find('\n'), reply.size() - 1);
        EXPECT_TRUE(parseMessage(reply).has_value()) << reply;
    }
}

TEST(RequestLine, isWhatKt6ctlSendsAndReadsBackAsTheSameRequest) {
    Request status;
    status.id = "1";
    EXPECT_EQ(requestLine(status), "{\"id\":1,\"cmd\":\"status\"}\n");
    Request auth;
    auth.cmd = Cmd::Auth;
    auth.token = "t\"k";
    EXPECT_EQ(requestLine(auth), "{\"cmd\":\"auth\",\"token\":\"t\\\"k\"}\n");

    std::vector<Request> all;
    auto add = [&all](Cmd cmd, auto&& set) {
        Request r;
        r.cmd = cmd;
        r.id = std::to_string(all.size() + 1);
        set(r);
        all.push_back(r);
    };
    add(Cmd::Status, [](Request&) {});
    add(Cmd::Watch, [](Request& r) { r.id = "\"w\""; });
    for (int code = 0; code <= 13; ++code) {
        add(Cmd::Key, [code](Request& r) { r.key = static_cast<std::uint8_t>(code); });
    }
    add(Cmd::Key, [](Request& r) { r.key = keys::kBandLamp; });
    for (int band = 0; band <= 7; ++band) {
        add(Cmd::Band, [band](Request& r) { r.key = static_cast<std::uint8_t>(band); });
    }
    add(Cmd::Freq, [](Request& r) { r.khz = 50100; });
    for (Heading h : {Heading::Normal, Heading::Reversed, Heading::Bidir}) {
        add(Cmd::Direction, [h](Request& r) { r.heading = h; });
    }
    for (ServiceFunction f : {ServiceFunction::Calibrate, ServiceFunction::FactoryDefault,
                              ServiceFunction::Retract, ServiceFunction::TestElements}) {
        add(Cmd::Function, [f](Request& r) {
            r.function = f;
            r.confirm = true;
        });
    }
    add(Cmd::Backup, [](Request& r) { r.path = "/home/op/kt6 \xC3\xA8.skarnel"; });
    add(Cmd::Restore, [](Request& r) { r.path = "rel/a.skarnel"; });
    add(Cmd::Auth, [](Request& r) { r.token = "abc"; });

    for (const Request& r : all) {
        const std::string line = requestLine(r);
        ASSERT_EQ(line.find('\n'), line.size() - 1) << line;
        const Parsed back = parseRequest(line.substr(0, line.size() - 1));
        ASSERT_TRUE(back.request) << line << ": " << back.error;
        EXPECT_EQ(back.request->id, r.id) << line;
        EXPECT_EQ(back.request->cmd, r.cmd) << line;
        EXPECT_EQ(back.request->key, r.key) << line;
        EXPECT_EQ(back.request->khz, r.khz) << line;
        EXPECT_EQ(back.request->heading, r.heading) << line;
        EXPECT_EQ(back.request->function, r.function) << line;
        EXPECT_EQ(back.request->confirm, r.confirm) << line;
        EXPECT_EQ(back.request->path, r.path) << line;
        EXPECT_EQ(back.request->token, r.token) << line;
    }
}

TEST(Replies, carryTheIdFirstAndNoIdMemberWithoutOne) {
    EXPECT_EQ(okReply("1"), "{\"id\":1,\"ok\":true}\n");
    EXPECT_EQ(okReply("\"a\""), "{\"id\":\"a\",\"ok\":true}\n");
    EXPECT_EQ(okReply(""), "{\"ok\":true}\n");
    EXPECT_EQ(okReply("3", R"({"status":0,"blocks":68})"),
              "{\"id\":3,\"ok\":true,\"status\":0,\"blocks\":68}\n");
    // The reply's own members stay the reply's.
    EXPECT_EQ(okReply("3", R"({"ok":false,"id":9,"sent":2})"),
              "{\"id\":3,\"ok\":true,\"sent\":2}\n");
    EXPECT_EQ(errorReply("2", "the controller does not answer"),
              "{\"id\":2,\"ok\":false,\"error\":\"the controller does not answer\"}\n");
    EXPECT_EQ(errorReply("", "x"), "{\"ok\":false,\"error\":\"x\"}\n");
    // An id that is no number or string is not passed on as one.
    EXPECT_EQ(okReply("{\"a\":1}"), "{\"ok\":true}\n");
    EXPECT_EQ(okReply("not json"), "{\"ok\":true}\n");
}

TEST(Replies, anErrorTextStaysOneLineOfValidJson) {
    const std::string reply = errorReply("1", "two\nlines \"quoted\" \xFF tab\t");
    EXPECT_EQ(reply.find('\n'), reply.size() - 1);
    const auto message = parseMessage(reply);
    ASSERT_TRUE(message);
    EXPECT_FALSE(message->ok);
    EXPECT_EQ(message->error, "two\nlines \"quoted\" \xEF\xBF\xBD tab\t");
}

StationStatus exampleStatus() {
    StationStatus s;
    s.online = true;
    s.port = "COM3";
    s.firmware = "1.13";
    s.drivers = 3;
    s.frequency = 14074;
    s.band = "20m";
    s.heading = "180";
    s.moving = true;
    s.power = true;
    s.link = "Link: online, COM3";
    s.radio = "Radio: off";
    s.events = "Salvato";
    return s;
}

TEST(StatusLines, carryEveryFieldUnderItsName) {
    EXPECT_EQ(statusReply("4", exampleStatus()),
              "{\"id\":4,\"ok\":true,\"online\":true,\"port\":\"COM3\",\"firmware\":\"1.13\","
              "\"drivers\":3,\"frequency\":14074,\"band\":\"20m\",\"heading\":\"180\","
              "\"moving\":true,\"power\":true,\"link\":\"Link: online, COM3\","
              "\"radio\":\"Radio: off\",\"events\":\"Salvato\"}\n");
    EXPECT_EQ(statusEvent(StationStatus{}),
              "{\"event\":\"status\",\"online\":false,\"port\":\"\",\"firmware\":\"\","
              "\"drivers\":0,\"frequency\":0,\"band\":\"\",\"heading\":\"\",\"moving\":false,"
              "\"power\":false,\"link\":\"\",\"radio\":\"\",\"events\":\"\"}\n");
}

TEST(StatusLines, readBackAsTheStatusTheyCarry) {
    const auto reply = parseMessage(statusReply("\"s\"", exampleStatus()));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->kind, Message::Kind::Reply);
    EXPECT_TRUE(reply->ok);
    EXPECT_EQ(reply->id, "\"s\"");
    ASSERT_TRUE(reply->status);
    EXPECT_EQ(*reply->status, exampleStatus());

    StationStatus other = exampleStatus();
    other.moving = false;
    other.heading = "";
    const auto event = parseMessage(statusEvent(other));
    ASSERT_TRUE(event);
    EXPECT_EQ(event->kind, Message::Kind::Event);
    EXPECT_EQ(event->event, "status");
    ASSERT_TRUE(event->status);
    EXPECT_EQ(*event->status, other);
    EXPECT_FALSE(*event->status == exampleStatus());

    // A reply with no status fields has no status.
    EXPECT_FALSE(parseMessage(okReply("1"))->status);
}

TEST(Events, areOneLineEachAndReadBack) {
    EXPECT_EQ(movingEvent(true), "{\"event\":\"moving\",\"moving\":true}\n");
    EXPECT_EQ(linkEvent(LinkState::Online), "{\"event\":\"link\",\"state\":\"online\"}\n");
    EXPECT_EQ(linkEvent(LinkState::Offline), "{\"event\":\"link\",\"state\":\"offline\"}\n");
    EXPECT_EQ(linkEvent(LinkState::Lost), "{\"event\":\"link\",\"state\":\"lost\"}\n");
    EXPECT_EQ(progressEvent(12, 68), "{\"event\":\"progress\",\"block\":12,\"blocks\":68}\n");
    EXPECT_EQ(closingEvent(), "{\"event\":\"closing\"}\n");

    EXPECT_TRUE(parseMessage(movingEvent(true))->moving);
    EXPECT_FALSE(parseMessage(movingEvent(false))->moving);
    EXPECT_EQ(parseMessage(linkEvent(LinkState::Lost))->link, LinkState::Lost);
    const auto progress = parseMessage(progressEvent(12, 68));
    EXPECT_EQ(progress->block, 12);
    EXPECT_EQ(progress->blocks, 68);
    EXPECT_EQ(parseMessage(closingEvent())->event, "closing");
}

TEST(ParseMessage, readsNeitherReplyNorEventAsNothing) {
    EXPECT_FALSE(parseMessage("hello"));
    EXPECT_FALSE(parseMessage("[1,2]"));
    EXPECT_FALSE(parseMessage("{\"id\":1}"));
    EXPECT_FALSE(parseMessage("{\"ok\":\"yes\"}"));
    EXPECT_FALSE(parseMessage("{\"event\":3}"));
    EXPECT_FALSE(parseMessage(std::string("{\"ok\":true,\"error\":\"\xFF\"}")));
    // Fields of the wrong type read as nothing said.
    const auto m = parseMessage("{\"event\":\"progress\",\"block\":\"12\",\"blocks\":-1}");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->block, 0);
    EXPECT_EQ(m->blocks, 0);
}

TEST(Names, keysAndBandsMapToTheFrontPanelsCodes) {
    EXPECT_EQ(keyByName("40m"), keys::k40m);
    EXPECT_EQ(keyByName("30m"), keys::k30m);
    EXPECT_EQ(keyByName("20m"), keys::k20m);
    EXPECT_EQ(keyByName("17m"), keys::k17m);
    EXPECT_EQ(keyByName("15m"), keys::k15m);
    EXPECT_EQ(keyByName("12m"), keys::k12m);
    EXPECT_EQ(keyByName("10m"), keys::k10m);
    EXPECT_EQ(keyByName("6m"), keys::k6m);
    EXPECT_EQ(keyByName("up"), keys::kUp);
    EXPECT_EQ(keyByName("down"), keys::kDown);
    EXPECT_EQ(keyByName("direction"), keys::kDirection);
    EXPECT_EQ(keyByName("power"), keys::kPower);
    EXPECT_EQ(keyByName("menu"), keys::kMenu);
    EXPECT_EQ(keyByName("return"), keys::kReturn);
    EXPECT_FALSE(keyByName("20M"));
    EXPECT_FALSE(keyByName(""));
    for (int code = 0; code <= 13; ++code) {
        const auto name = keyName(static_cast<std::uint8_t>(code));
        ASSERT_FALSE(name.empty()) << code;
        EXPECT_EQ(keyByName(name), code);
    }
    EXPECT_EQ(keyName(keys::kBandLamp), "");

    for (int band = keys::k6m; band <= keys::k40m; ++band) {
        EXPECT_EQ(bandKeyByName(keyName(static_cast<std::uint8_t>(band))), band);
    }
    for (const char* notBand : {"up", "down", "direction", "power", "menu", "return", "160m"}) {
        EXPECT_FALSE(bandKeyByName(notBand)) << notBand;
    }
}

TEST(Names, functionsAndHeadingsReadBackFromTheirNames) {
    for (ServiceFunction f : {ServiceFunction::Calibrate, ServiceFunction::FactoryDefault,
                              ServiceFunction::Retract, ServiceFunction::TestElements}) {
        EXPECT_EQ(functionByName(functionName(f)), f);
    }
    // The element editor has a window of its own, not a command.
    EXPECT_EQ(functionName(ServiceFunction::ModifyElements), "");
    EXPECT_FALSE(functionByName("modify"));
    EXPECT_EQ(headingName(Heading::Normal), "normal");
    EXPECT_EQ(headingName(Heading::Reversed), "180");
    EXPECT_EQ(headingName(Heading::Bidir), "bidir");
    EXPECT_EQ(headingByName("180"), Heading::Reversed);
    EXPECT_FALSE(headingByName("reversed"));
}

TEST(HeadingOf, namesTheBytesTheDisplaysLampsShowAndNothingElse) {
    EXPECT_EQ(headingOf(0), Heading::Normal);
    EXPECT_EQ(headingOf(1), Heading::Reversed);
    EXPECT_EQ(headingOf(2), Heading::Bidir);
    for (int b = 0; b <= 255; ++b) {
        const auto byte = static_cast<std::uint8_t>(b);
        // The interface knows a heading exactly when the window lights a lamp for it.
        EXPECT_EQ(headingOf(byte).has_value(), headingLamps(byte).has_value()) << b;
    }
}

TEST(StatusFromRecord, takesWhatTheControllerReported) {
    StatusRecord r;
    r.firmwareMajor = 1;
    r.firmwareMinor = 30;
    r.drivers = 4;
    r.frequency = 28500;
    r.band = 2;  // the second 10 m segment
    r.heading = 2;
    r.moving = true;
    r.flags = 0;
    StationStatus s = statusFromRecord(r);
    EXPECT_EQ(s.firmware, "1.30");
    EXPECT_EQ(s.drivers, 4);
    EXPECT_EQ(s.frequency, 28500u);
    EXPECT_EQ(s.band, "10m(2)");
    EXPECT_EQ(s.heading, "bidir");
    EXPECT_TRUE(s.moving);
    EXPECT_TRUE(s.power);
    EXPECT_FALSE(s.online);  // the caller's to say

    r.flags = StatusRecord::kDisplayOff;
    r.band = 11;
    r.heading = 9;
    s = statusFromRecord(r);
    EXPECT_FALSE(s.power);
    EXPECT_EQ(s.band, "");
    EXPECT_EQ(s.heading, "");
}

TEST(TokensEqual, isTrueOnlyForTheSameBytes) {
    EXPECT_TRUE(tokensEqual("s3cret", "s3cret"));
    EXPECT_TRUE(tokensEqual("", ""));
    EXPECT_FALSE(tokensEqual("s3cret", "s3creT"));
    EXPECT_FALSE(tokensEqual("s3cret", "S3cret"));
    EXPECT_FALSE(tokensEqual("s3cret", "s3cre"));
    EXPECT_FALSE(tokensEqual("s3cre", "s3cret"));
    EXPECT_FALSE(tokensEqual("", "s"));
    EXPECT_FALSE(tokensEqual("s", ""));
    // A shorter token padded with NULs is still not the token.
    EXPECT_FALSE(tokensEqual(std::string("ab\0", 3), "ab"));
    EXPECT_FALSE(tokensEqual("ab", std::string("ab\0", 3)));
}

}  // namespace
}  // namespace kt6::api
