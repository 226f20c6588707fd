#pragma once
// kt6ctl through a running console: the token first when there is one, then the request with
// its id; the reply with that id ends it (a watch goes on printing events until the console
// closes). Progress events of a transfer are printed as they come. Nothing times out: a
// calibration takes half a minute and a restore minutes; a closed connection ends the wait.
#include <string>

#include "command_line.h"
#include "output.h"
#include "platform.h"

namespace kt6::ctl {

// The console's reply to the request as kt6ctl prints it, with or without a console between:
// the exit status, 0 done or 1 refused or failed.
int printReply(const api::Request& request, const api::Message& message, const std::string& line,
               Printer& printer);

// The exit status: 0 done, 1 refused or failed, 3 the console went away before answering.
int runThroughConsole(LineSocket& socket, const CtlOptions& options, Printer& printer);

}  // namespace kt6::ctl
