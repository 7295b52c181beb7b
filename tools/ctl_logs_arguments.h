// The command line of `orvctl logs`: days, show, stats and clean.
#pragma once

#include <string>
#include <vector>

namespace orv::tools {

struct CtlLogsArguments {
  std::string action;  // days, show, stats, clean
  std::string day;     // --day: the preselected date label ("" for none)
  int kind = 0;        // --kind as the window's kind tab: 0 all .. 4 other
  std::string search;  // --search, as typed
  bool pageGiven = false;
  long long page = 1;  // --page, clamped later to the pages there are
};

// Parses what follows "logs". False with `error` set for bad usage; `gbk` tells whether --gbk
// was given (clean prints only paths and takes no --gbk).
bool ParseCtlLogsArguments(const std::vector<std::string>& args, bool gbk, CtlLogsArguments& parsed,
                           std::string& error);

}  // namespace orv::tools
