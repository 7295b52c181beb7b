// orvctl's commands, on the same editing rules as the console's pages.
#pragma once

#include <iosfwd>

#include "tools/ctl_arguments.h"
#include "tools/service_units.h"

namespace orv::tools {

inline constexpr int kCtlDone = 0;
inline constexpr int kCtlFailed = 1;
inline constexpr int kCtlBadUsage = 2;

struct CtlIo {
  std::istream& in;
  std::ostream& out;
  std::ostream& err;
};

// Runs one parsed command in `directory` (the folder of OrvFilter.ini and OrvFilter.db).
// Returns the exit status; an error is one line on `io.err`.
int RunCtlCommand(const CtlArguments& args, const std::string& directory, ServiceUnits& units,
                  CtlIo io);

}  // namespace orv::tools
