#pragma once
// A rig server the test drives by hand: statuses, frequencies and failures are set on its
// state, and change reports are raised through the listener the tracker assigned.
#include <array>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "radio/rig_server.h"

namespace kt6::testing {

struct FakeRigState {
    std::array<RigStatus, kRigCount> status{RigStatus::Online, RigStatus::Online};
    std::array<std::optional<double>, kRigCount> hz{};
    std::array<std::string, kRigCount> reason{};
    // The rig's PTT as it would report it; told only while the rig is online.
    std::array<bool, kRigCount> onAir{};
    // The retune step each rig's settings give.
    std::array<int, kRigCount> stepKHz{kDefaultRetuneStepKHz, kDefaultRetuneStepKHz};
    bool connectSucceeds = true;
    bool throwOnRead = false;
    int connectCalls = 0;
    int dialogsShown = 0;
    RigServerListener* listener = nullptr;

    void set(int rig, double value) { hz.at(static_cast<std::size_t>(rig - 1)) = value; }
    // A change report as the server's event would deliver it.
    void report(int rig) {
        if (listener) listener->rigParamsChange(rig);
    }
    void statusReport(int rig, RigStatus s) {
        status.at(static_cast<std::size_t>(rig - 1)) = s;
        if (listener) listener->rigStatusChange(rig);
    }
    // The radio keys up (true) or goes back to receive, with the server's transmit report.
    void transmit(int rig, bool on) {
        onAir.at(static_cast<std::size_t>(rig - 1)) = on;
        if (listener) listener->rigTransmitChange(rig);
    }
};

class FakeRigServer : public RigServer {
  public:
    explicit FakeRigServer(FakeRigState& state) : s_(state) {}
    ~FakeRigServer() override { s_.listener = nullptr; }

    bool connect(std::string* error) override {
        ++s_.connectCalls;
        if (!s_.connectSucceeds && error) *error = "fake server refused";
        return s_.connectSucceeds;
    }
    void setListener(RigServerListener* listener) override { s_.listener = listener; }
    RigStatus status(int rig) const override {
        if (s_.throwOnRead) throw std::runtime_error("server gone");
        if (rig < 1 || rig > kRigCount) return RigStatus::NotConfigured;
        return s_.status[static_cast<std::size_t>(rig - 1)];
    }
    std::optional<double> rxFrequency(int rig) const override {
        if (s_.throwOnRead) throw std::runtime_error("server gone");
        if (rig < 1 || rig > kRigCount) return std::nullopt;
        return s_.hz[static_cast<std::size_t>(rig - 1)];
    }
    bool transmitting(int rig) const override {
        if (s_.throwOnRead) throw std::runtime_error("server gone");
        if (rig < 1 || rig > kRigCount) return false;
        const auto i = static_cast<std::size_t>(rig - 1);
        return s_.status[i] == RigStatus::Online && s_.onAir[i];
    }
    void showDialog() override { ++s_.dialogsShown; }
    int retuneStepKHz(int rig) const override {
        if (rig < 1 || rig > kRigCount) return kDefaultRetuneStepKHz;
        return s_.stepKHz[static_cast<std::size_t>(rig - 1)];
    }
    std::string reason(int rig) const override {
        if (rig < 1 || rig > kRigCount) return {};
        return s_.reason[static_cast<std::size_t>(rig - 1)];
    }

  private:
    FakeRigState& s_;
};

}  // namespace kt6::testing
