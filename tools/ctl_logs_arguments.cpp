#include "tools/ctl_logs_arguments.h"

#include <array>
#include <charconv>
#include <string_view>

namespace orv::tools {
namespace {

constexpr std::array<std::string_view, 5> kKinds = {"all", "deny", "replace", "record", "other"};

bool ParsePage(const std::string& text, long long& page) {
  const char* begin = text.data();
  const char* end = text.data() + text.size();
  if (begin != end && *begin == '+') ++begin;
  const auto [stop, problem] = std::from_chars(begin, end, page);
  if (begin == end || stop != end) return false;
  if (problem == std::errc::result_out_of_range) {
    // A page far beyond the last is the last; far below the first is the first.
    page = text.starts_with('-') ? -1 : (1LL << 40);
    return true;
  }
  return problem == std::errc();
}

}  // namespace

bool ParseCtlLogsArguments(const std::vector<std::string>& args, bool gbk, CtlLogsArguments& parsed,
                           std::string& error) {
  parsed = CtlLogsArguments{};
  if (args.empty()) {
    error = "logs needs days, show, stats or clean";
    return false;
  }
  parsed.action = args[0];
  const bool show = parsed.action == "show";
  const bool stats = parsed.action == "stats";
  if (!show && !stats && parsed.action != "days" && parsed.action != "clean") {
    error = "unknown logs action " + parsed.action + " (days, show, stats or clean)";
    return false;
  }
  if (parsed.action == "clean" && gbk) {
    error = "--gbk does not apply to logs clean";
    return false;
  }
  bool daySeen = false, kindSeen = false, searchSeen = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    const bool known =
        option == "--day" || option == "--kind" || option == "--search" || option == "--page";
    if (!known) {
      error = "unexpected argument " + option + " for logs " + parsed.action;
      return false;
    }
    const bool allowed = show || (stats && option == "--day");
    if (!allowed) {
      error = option + " does not apply to logs " + parsed.action;
      return false;
    }
    if (i + 1 >= args.size()) {
      error = option + " needs a value";
      return false;
    }
    const std::string& value = args[++i];
    bool& seen = option == "--day"      ? daySeen
                 : option == "--kind"   ? kindSeen
                 : option == "--search" ? searchSeen
                                        : parsed.pageGiven;
    if (seen) {
      error = option + " given twice";
      return false;
    }
    seen = true;
    if (option == "--day") {
      parsed.day = value;
    } else if (option == "--search") {
      parsed.search = value;
    } else if (option == "--kind") {
      std::size_t k = 0;
      while (k < kKinds.size() && kKinds[k] != value) ++k;
      if (k == kKinds.size()) {
        error = "unknown kind " + value + " (all, deny, replace, record or other)";
        return false;
      }
      parsed.kind = static_cast<int>(k);
    } else if (!ParsePage(value, parsed.page)) {
      error = "--page needs a whole number";
      return false;
    }
  }
  return true;
}

}  // namespace orv::tools
