#pragma once
// The local interface's station on the console controller alone, for a console without a
// window: the status as the controller and its link state say it, keys and frequencies through
// the controller's queue, and the service functions on its sequence runner with the same guard
// the window's menu applies.
#include <functional>
#include <string>

#include "core/api_hub.h"
#include "core/console_controller.h"

namespace kt6 {

class ControllerStation : public api::Station {
  public:
    explicit ControllerStation(ConsoleController& controller) : c_(controller) {}

    // The latest event the console would show in its Events field.
    void setEvent(std::string text) { event_ = std::move(text); }
    // What the status says of the radio the antenna follows; "No radio" without one.
    void setRadioText(std::function<std::string()> text) { radioText_ = std::move(text); }

    api::StationStatus status() const override;
    api::LinkState linkState() const override;
    std::uint64_t records() const override { return c_.poll().recordsRead(); }
    std::string busy() const override;
    std::string notPolling() const override;
    void pressKey(std::uint8_t code, std::function<void(std::uint8_t)> done) override;
    void setFrequency(std::uint32_t khz, std::function<void(std::uint8_t)> done) override;
    std::string runFunction(ServiceFunction function, Done done) override;
    std::string backup(const std::string& path, Progress progress, Done done) override;
    std::string restore(const std::string& path, Progress progress, RestoreDone done) override;

  protected:
    // A key's or frequency's outcome as the interface is told it: its status byte.
    static Link::Completion statusOf(std::function<void(std::uint8_t)> done);

  private:
    ConsoleController& c_;
    std::string event_;
    std::function<std::string()> radioText_;
};

}  // namespace kt6
