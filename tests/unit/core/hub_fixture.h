#pragma once
// The hub on a fake station, with clients whose lines the tests read: shared by the hub's tests
// of every system and those that need POSIX links.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <vector>

#include "core/api_hub.h"
#include "link/commands.h"
#include "support/fake_clock.h"

namespace kt6::api {

using nlohmann::json;

class FakeStation : public Station {
  public:
    StationStatus status() const override { return now; }
    LinkState linkState() const override { return link; }
    std::uint64_t records() const override { return recordCount; }
    std::string busy() const override { return busyWhy; }
    std::string notPolling() const override { return notPollingWhy; }
    void pressKey(std::uint8_t code, std::function<void(std::uint8_t)> done) override {
        keys.push_back(code);
        keyDone.push_back(std::move(done));
    }
    void setFrequency(std::uint32_t khz, std::function<void(std::uint8_t)> done) override {
        freqs.push_back(khz);
        freqDone = std::move(done);
    }
    std::string runFunction(ServiceFunction function, Done done) override {
        if (!functionRefusal.empty()) return functionRefusal;
        functions.push_back(function);
        functionDone = std::move(done);
        return {};
    }
    std::string backup(const std::string& path, Progress progress, Done done) override {
        transferPath = path;
        transferProgress = std::move(progress);
        transferDone = std::move(done);
        return {};
    }
    std::string restore(const std::string& path, Progress progress, RestoreDone done) override {
        transferPath = path;
        transferProgress = std::move(progress);
        restoreDone = std::move(done);
        return {};
    }

    // A status record arrives with this heading.
    void record(std::string heading) {
        now.heading = std::move(heading);
        ++recordCount;
    }

    StationStatus now{true,
                      "COM1",
                      "1.13",
                      3,
                      14074,
                      "20m",
                      "normal",
                      false,
                      true,
                      "Link: COM1 online",
                      "Radio: No radio",
                      ""};
    LinkState link = LinkState::Online;
    std::uint64_t recordCount = 1;
    std::string busyWhy;
    std::string notPollingWhy;
    std::string functionRefusal;
    std::vector<std::uint8_t> keys;
    std::vector<std::function<void(std::uint8_t)>> keyDone;
    std::vector<std::uint32_t> freqs;
    std::function<void(std::uint8_t)> freqDone;
    std::vector<ServiceFunction> functions;
    Done functionDone;
    std::string transferPath;
    Progress transferProgress;
    Done transferDone;
    RestoreDone restoreDone;
};

class HubTest : public ::testing::Test {
  protected:
    void make(HubOptions options = {}) {
        hub = std::make_unique<Hub>(
            station, clock, options,
            Hub::Output{[this](Hub::ClientId id, std::string_view line) {
                            ASSERT_FALSE(line.empty());
                            ASSERT_EQ(line.back(), '\n');
                            lines[id].push_back(json::parse(line));
                            if (afterWrite) afterWrite(id);
                        },
                        [this](Hub::ClientId id) { closed.insert(id); },
                        [this](const std::string& text) { logged.push_back(text); },
                        [this](bool accept) { accepting = accept; }});
    }
    Hub::ClientId client(const std::string& peer = "127.0.0.1:40000") {
        auto admission = hub->connect(peer);
        EXPECT_TRUE(admission.id) << admission.refusal;
        return admission.id.value_or(-1);
    }
    // A client that sent watch, its reply and first status event taken.
    Hub::ClientId watchingClient() {
        const auto id = client();
        hub->line(id, R"({"cmd":"watch"})");
        take(id);
        return id;
    }
    // The lines a client got since the last look.
    std::vector<json> take(Hub::ClientId id) { return std::exchange(lines[id], {}); }

    testing::FakeClock clock;
    FakeStation station;
    std::unique_ptr<Hub> hub;
    std::vector<std::string> logged;
    bool accepting = true;
    std::map<Hub::ClientId, std::vector<json>> lines;
    std::set<Hub::ClientId> closed;
    // What the server does after a write: a client that reads too slowly is dropped there.
    std::function<void(Hub::ClientId)> afterWrite;
};

}  // namespace kt6::api
