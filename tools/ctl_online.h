// orvctl's online keyword service commands: what the console's verify link and fetch button do,
// with the console's message printed instead of shown.
#pragma once

#include <string>

#include "online/transport.h"
#include "tools/ctl_arguments.h"
#include "tools/ctl_commands.h"

namespace orv::tools {

// True for the commands below (account verify, words fetch).
bool IsOnlineCommand(const CtlArguments& args);

// Runs account verify or words fetch in `directory`. The console's information box goes to
// io.out with status 0, its warning and error boxes to io.err with status 1.
int RunOnlineCommand(const CtlArguments& args, const std::string& directory,
                     online::HttpTransport& transport, CtlIo io);

}  // namespace orv::tools
