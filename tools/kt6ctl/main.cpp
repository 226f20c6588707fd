// kt6ctl: the KT-6 from the command line, through the running console's local interface, or
// straight on the controller's port when no console answers.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "command_line.h"
#include "console/settings_location.h"
#include "console_client.h"
#include "core/api_settings.h"
#include "direct_mode.h"
#include "kt6_build_info.h"
#include "memory/profile_file.h"
#include "output.h"
#include "platform.h"

int main(int argc, char** argv) {
    using namespace kt6::ctl;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const CommandLine line = parseCommandLine(args);
    if (!line.options) {
        std::fprintf(stderr, "kt6ctl: %s\nTry 'kt6ctl --help'.\n", line.error.c_str());
        return 2;
    }
    CtlOptions options = *line.options;
    if (options.help) {
        std::fputs(usageText().c_str(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("kt6ctl %s\n", KT6_VERSION);
        return 0;
    }
    auto& request = options.request;
    if (request.cmd == kt6::api::Cmd::Backup || request.cmd == kt6::api::Cmd::Restore) {
        // The console would read a relative name against its own folder, not this one.
        std::error_code ec;
        const auto absolute = std::filesystem::absolute(request.path, ec);
        if (!ec) request.path = absolute.lexically_normal().string();
    }

    // The console's own settings say where it listens and what it asks for.
    const auto settingsFile = kt6::locateSettingsFile(executableDir(), options.settings);
    const kt6::api::ApiSettings api = kt6::api::loadApiSettings(kt6::ProfileFile(settingsFile));
    if (!options.port) options.port = api.port;
    // The token the console generated for this account, when none is given or set.
    if (!options.token)
        options.token = kt6::api::clientToken(api, kt6::api::tokenFilePath(settingsFile));

    Printer printer(options.json, stdout, stderr);
    LineSocket console(options.host, *options.port);
    switch (console.state()) {
        case LineSocket::State::Connected:
            return runThroughConsole(console, options, printer);
        case LineSocket::State::Refused:
            return runDirect(options, controllerPort(options, executableDir()), printer);
        case LineSocket::State::Failed:
            break;
    }
    return printer.failed(3, "the console cannot be reached: " + console.reason());
}
