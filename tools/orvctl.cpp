// orvctl: the console's administration from a shell, for servers without a desktop. The
// word and URL/IP lists and the settings are edited with the same rules as the console's
// pages; repair and unload stand in for the Windows repair tool, and daemon for its background
// service.
#include <iostream>
#include <string>
#include <vector>

#include "online/beast_transport.h"
#include "platform/files.h"
#include "tools/ctl_arguments.h"
#include "tools/ctl_commands.h"
#include "tools/ctl_daemon.h"
#include "tools/ctl_online.h"
#include "tools/service_units.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  orv::tools::CtlArguments parsed;
  std::string error;
  if (!orv::tools::ParseCtlArguments(args, parsed, error)) {
    std::cerr << "orvctl: " << error << " (orvctl --help)\n";
    return orv::tools::kCtlBadUsage;
  }
  if (parsed.help) {
    std::cout << orv::tools::kCtlUsage;
    return orv::tools::kCtlDone;
  }
  const std::string directory =
      parsed.directory.empty() ? orv::files::ModuleDirectory() : parsed.directory;
  if (!orv::files::IsDirectory(directory)) {
    std::cerr << "orvctl: no such folder: " << directory << "\n";
    return orv::tools::kCtlFailed;
  }
  if (parsed.command == "daemon") return orv::tools::RunDaemon(directory, std::cerr);
  orv::tools::SystemctlUnits units;
  orv::online::BeastTransport transport;
  const orv::tools::CtlIo io{std::cin, std::cout, std::cerr};
  const int status = orv::tools::IsOnlineCommand(parsed)
                         ? orv::tools::RunOnlineCommand(parsed, directory, transport, io)
                         : orv::tools::RunCtlCommand(parsed, directory, units, io);
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "orvctl: cannot write the output\n";
    return orv::tools::kCtlFailed;
  }
  return status;
}
