// orvctl: the console's administration from a shell, for servers without a desktop. The
// word and URL/IP lists and the settings are edited with the same rules as the console's
// pages; repair and unload stand in for the Windows repair tool.
#include <iostream>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tools/ctl_arguments.h"
#include "tools/ctl_commands.h"
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
  orv::tools::SystemctlUnits units;
  const int status =
      orv::tools::RunCtlCommand(parsed, directory, units, {std::cin, std::cout, std::cerr});
  std::cout.flush();
  if (!std::cout) {
    std::cerr << "orvctl: cannot write the output\n";
    return orv::tools::kCtlFailed;
  }
  return status;
}
