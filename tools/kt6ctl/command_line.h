#pragma once
// kt6ctl's command line: the options, the command as the request it stands for, and the usage
// text. Everything that makes a usage error is found here, before anything is opened.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

#include "core/api_protocol.h"

namespace kt6::ctl {

struct CtlOptions {
    std::string host = "127.0.0.1";
    // The console's port and token: the settings' [Api] section supplies what is not given.
    std::optional<std::uint16_t> port;
    std::optional<std::string> token;
    bool json = false;  // print the console's lines as they are
    // The controller's port when no console runs: a device, a tcp:// or rfc2217:// port, or
    // a COM name the settings map.
    std::optional<std::string> device;
    std::optional<std::filesystem::path> settings;
    // The command, as the request the console is sent (no id yet).
    api::Request request;
    bool help = false;
    bool version = false;
};

struct CommandLine {
    std::optional<CtlOptions> options;
    std::string error;  // why the command line is not usable, when options is empty
};

// The arguments after the program's name; options may stand before or after the command.
CommandLine parseCommandLine(std::span<const std::string> args);

// The --help text.
std::string usageText();

}  // namespace kt6::ctl
