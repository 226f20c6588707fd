#pragma once
// What kt6ctl prints: results as people read them, or with --json the interface's own lines;
// reasons for failing on stderr either way.
#include <cstdio>
#include <string>
#include <string_view>

#include "core/api_protocol.h"

namespace kt6::ctl {

// A status as "name: value" lines, unknown values as "-".
std::string statusText(const api::StationStatus& status);
// One line for an event "watch" prints ("link: lost", "block 12/68", ...).
std::string eventText(const api::Message& event);
// "block 12/68".
std::string progressText(int block, int blocks);
// What a command that succeeded did, in a line ("band 20m selected").
std::string doneText(const api::Request& request);
// A restore that went through: "loaded FILE: 12 blocks sent, 56 left as they were", the blocks
// whose sections the file lacks named so a cut file is not taken for a whole one.
std::string restoredText(const std::string& path, int sent, int skipped);

class Printer {
  public:
    Printer(bool json, std::FILE* out, std::FILE* err) : json_(json), out_(out), err_(err) {}
    bool json() const { return json_; }
    // The id the replies made here carry, as the console's reply to that request would.
    void setReplyId(std::string id) { replyId_ = std::move(id); }

    // A line that goes out as it is (the console's own, or one made like it), '\n' added
    // when missing.
    void line(std::string_view text);
    // A human line, only without --json.
    void say(std::string_view text);
    // The reason on stderr, as "kt6ctl: reason".
    void complain(std::string_view reason);
    // A status: its lines, or with --json the status reply a console would give.
    void status(const api::StationStatus& status);
    // A transfer's progress: "block 12/68", or with --json the console's progress event.
    void progress(int block, int blocks);
    // The command is done: text for people, or with --json an ok reply; 0.
    int done(std::string_view text);
    // A restore went through: restoredText, or with --json the console's restore reply; 0.
    int restored(const std::string& path, int sent, int skipped);
    // The command failed: the reason on stderr, and with --json an error reply; the code.
    int failed(int exitCode, std::string_view reason);

  private:
    bool json_;
    std::string replyId_;
    std::FILE* out_;
    std::FILE* err_;
};

}  // namespace kt6::ctl
