#pragma once
// A controller stand-in that answers every frame from a script: the status record to report,
// and whether to answer at all. It records what the console sent.
#include <chrono>
#include <map>
#include <memory>
#include <vector>

#include "link/frame.h"
#include "link/status.h"
#include "support/fake_clock.h"
#include "support/fake_serial.h"

namespace kt6::testing {

class ScriptedController {
  public:
    explicit ScriptedController(FakeSerialState& wire) : wire_(wire) {
        wire_.onWrite = [this](const Bytes& bytes) { take(bytes); };
    }

    StatusRecord record;
    bool answering = true;
    // Reply data by command code, for commands other than the status request.
    std::map<int, Bytes> replyData;
    // The status byte of the reply by command code; 0 (done) for codes not listed.
    std::map<int, std::uint8_t> statusFor;
    std::vector<Bytes> received;  // frame contents, checksum removed
    // How many frames of a command code to take in silence before answering again.
    std::map<int, int> unansweredFor;
    // Replies of a command code come this long after its frame, on the clock; at once when no
    // clock is given.
    FakeClock* clock = nullptr;
    std::map<int, std::chrono::milliseconds> replyDelay;

    // The key codes of every command-8 frame received so far.
    std::vector<int> keys() const {
        std::vector<int> out;
        for (const auto& c : received) {
            if (c.size() >= 3 && c[1] == 8) out.push_back(c[2]);
        }
        return out;
    }
    std::vector<Bytes> commands(std::uint8_t code) const {
        std::vector<Bytes> out;
        for (const auto& c : received) {
            if (c.size() >= 2 && c[1] == code) out.push_back(c);
        }
        return out;
    }
    // The command codes received, status requests left out.
    std::vector<int> codesBesidesStatus() const {
        std::vector<int> out;
        for (const auto& c : received) {
            if (c.size() >= 2 && c[1] != 1) out.push_back(c[1]);
        }
        return out;
    }

  private:
    void take(const Bytes& bytes) {
        for (auto b : bytes) {
            if (rx_.feed(b) != FrameReceiver::Event::GoodFrame) continue;
            Bytes content = rx_.payload();
            content.pop_back();
            received.push_back(content);
            if (!answering) continue;
            if (auto silent = unansweredFor.find(content[1]);
                silent != unansweredFor.end() && silent->second > 0) {
                --silent->second;
                continue;
            }
            Bytes reply;
            if (content[1] == 1) {
                StatusRecord r = record;
                r.sequence = content[0];
                r.status = 0;
                reply = encodeStatusRecord(r);
            } else {
                const auto status = statusFor.find(content[1]);
                reply = {content[0], status == statusFor.end() ? std::uint8_t{0} : status->second};
                if (auto it = replyData.find(content[1]); it != replyData.end()) {
                    reply.insert(reply.end(), it->second.begin(), it->second.end());
                }
            }
            Bytes frame = encodeFrame(reply).value();
            if (auto delay = replyDelay.find(content[1]); clock && delay != replyDelay.end()) {
                clock->after(delay->second, [this, frame] { wire_.feedReceived(frame); });
                continue;
            }
            wire_.feedReceived(frame);
        }
    }

    FakeSerialState& wire_;
    FrameReceiver rx_;
};

}  // namespace kt6::testing
