#pragma once
// Which controller port the settings file names, by the console's rules, for programs that
// open the controller without the window (kt6ctl): the COM number [General] Serialport chose
// last, and the device [Ports] maps each COMn to.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace kt6 {

class ProfileFile;

// The COM number the settings choose; COM1 when they give none or no whole number above 0,
// with the reason in problem for a value that is there but unusable.
int settingsComPort(const ProfileFile& settings, std::string* problem = nullptr);

// The device the settings map COMn to; nothing when [Ports] has no entry for it.
std::optional<std::string> settingsComMapping(const ProfileFile& settings, int n);
// The same, read from the settings file now.
std::optional<std::string> mappedComDevice(const std::filesystem::path& settingsPath, int n);

// The device COMn opens: its mapping, else the platform's default device for it.
std::string settingsComDevice(const ProfileFile& settings, int n);

// The number of a port written as the console's menu names it ("COM3", any case); nothing for
// any other text.
std::optional<int> comPortNumber(std::string_view name);

}  // namespace kt6
