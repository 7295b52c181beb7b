// `orvctl logs`: the log window's figures printed for servers without a desktop, and the
// removal of old day files by KeyClearLog.
#pragma once

#include <string>

#include "tools/ctl_commands.h"
#include "tools/ctl_logs_arguments.h"

namespace orv::tools {

// Runs one logs action on the log folder that KeyLogPath of the settings in `directory` names.
// Text is printed as UTF-8 unless `gbk`. Returns the exit status.
int RunCtlLogs(const CtlLogsArguments& args, bool gbk, const std::string& directory, CtlIo io);

}  // namespace orv::tools
