#include "output.h"

#include "platform.h"

namespace kt6::ctl {

namespace {
std::string orDash(const std::string& text) {
    return text.empty() ? "-" : text;
}
}  // namespace

std::string statusText(const api::StationStatus& s) {
    std::string text;
    const auto add = [&text](std::string_view name, const std::string& value) {
        text += std::string(name) + ": " + value + "\n";
    };
    add("online", s.online ? "yes" : "no");
    add("port", orDash(s.port));
    add("firmware", orDash(s.firmware));
    add("drivers", std::to_string(s.drivers));
    add("frequency", std::to_string(s.frequency) + " kHz");
    add("band", orDash(s.band));
    add("heading", orDash(s.heading));
    add("moving", s.moving ? "yes" : "no");
    add("power", s.power ? "on" : "off");
    // The status bar's texts come only from a console.
    if (!s.link.empty()) add("link", s.link);
    if (!s.radio.empty()) add("radio", s.radio);
    if (!s.events.empty()) add("events", s.events);
    return text;
}

std::string progressText(int block, int blocks) {
    return "block " + std::to_string(block) + "/" + std::to_string(blocks);
}

std::string doneText(const api::Request& r) {
    using api::Cmd;
    switch (r.cmd) {
        case Cmd::Status:
        case Cmd::Watch:
        case Cmd::Auth:
            return {};
        case Cmd::Key: {
            const auto name = api::keyName(r.key);
            return "key " + (name.empty() ? std::to_string(r.key) : std::string(name)) + " pressed";
        }
        case Cmd::Band:
            return "band " + std::string(api::keyName(r.key)) + " selected";
        case Cmd::Freq:
            return "frequency set to " + std::to_string(r.khz) + " kHz";
        case Cmd::Direction:
            return "heading " + std::string(api::headingName(r.heading));
        case Cmd::Function:
            // The console leaves its "TEST ACTIVE" question up; its yes is the menu key.
            if (r.function == ServiceFunction::TestElements)
                return "test active: the elements are out; 'kt6ctl key menu' retracts them";
            return std::string(api::functionName(r.function)) + " done";
        case Cmd::Backup:
            return "Backup saved to " + r.path;
        case Cmd::Restore:
            return "loaded " + r.path;
    }
    return {};
}

std::string restoredText(const std::string& path, int sent, int skipped) {
    std::string text = "loaded " + path + ": " + std::to_string(sent) + " blocks sent";
    if (skipped > 0) text += ", " + std::to_string(skipped) + " left as they were";
    return text;
}

std::string eventText(const api::Message& m) {
    if (m.event == "status" && m.status) {
        const api::StationStatus& s = *m.status;
        std::string text = "status: " + std::to_string(s.frequency) + " kHz, band " +
                           orDash(s.band) + ", heading " + orDash(s.heading);
        if (s.moving) text += ", moving";
        if (!s.power) text += ", display off";
        if (!s.online) text += ", offline";
        return text;
    }
    if (m.event == "moving") return m.moving ? "moving: yes" : "moving: no";
    if (m.event == "link" && m.link) return "link: " + std::string(api::linkStateName(*m.link));
    if (m.event == "progress") return progressText(m.block, m.blocks);
    if (m.event == "closing") return "console closing";
    return "event: " + m.event;
}

void Printer::line(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), out_);
    if (text.empty() || text.back() != '\n') std::fputc('\n', out_);
    // Lines are read as they come (watch, progress): none may wait in a buffer.
    std::fflush(out_);
}

void Printer::say(std::string_view text) {
    if (!json_ && !text.empty()) line(text);
}

void Printer::complain(std::string_view reason) {
    std::fprintf(err_, "kt6ctl: %.*s\n", static_cast<int>(reason.size()), reason.data());
    std::fflush(err_);
}

void Printer::status(const api::StationStatus& s) {
    if (json_) {
        line(api::statusReply(replyId_, s));
    } else {
        std::fputs(statusText(s).c_str(), out_);
        std::fflush(out_);
    }
}

void Printer::progress(int block, int blocks) {
    if (json_) {
        line(api::progressEvent(block, blocks));
        return;
    }
    // For a person at a terminal, one line that counts up; a script or cron gets only the
    // outcome.
    if (!isTerminal(err_)) return;
    std::fprintf(err_, "\rblock %d/%d", block, blocks);
    if (block >= blocks) std::fputc('\n', err_);
    std::fflush(err_);
}

int Printer::restored(const std::string& path, int sent, int skipped) {
    if (json_) {
        line(api::restoreReply(replyId_, sent, skipped));
        return 0;
    }
    return done(restoredText(path, sent, skipped));
}

int Printer::done(std::string_view text) {
    if (json_) {
        line(api::okReply(replyId_));
    } else if (!text.empty()) {
        line(text);
    }
    return 0;
}

int Printer::failed(int exitCode, std::string_view reason) {
    complain(reason);
    if (json_) line(api::errorReply(replyId_, reason));
    return exitCode;
}

}  // namespace kt6::ctl
