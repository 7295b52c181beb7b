#include "tools/ctl_arguments.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace orv::tools {
namespace {

template <std::size_t N>
bool OneOf(const std::string& word, const std::array<std::string_view, N>& choices) {
  return std::find(choices.begin(), choices.end(), word) != choices.end();
}

constexpr std::array<std::string_view, 3> kListActions = {"show", "count", "save"};

}  // namespace

bool ParseCtlArguments(const std::vector<std::string>& args, CtlArguments& parsed,
                       std::string& error) {
  parsed = CtlArguments{};
  for (const std::string& arg : args) {
    if (arg == "--help" || arg == "-h") {
      parsed.help = true;
      return true;
    }
  }
  std::size_t i = 0;
  for (; i < args.size() && args[i].starts_with("--"); ++i) {
    if (args[i] == "--gbk") {
      parsed.gbk = true;
    } else if (args[i] == "--dir") {
      if (i + 1 >= args.size() || args[i + 1].empty()) {
        error = "--dir needs a folder";
        return false;
      }
      parsed.directory = args[++i];
    } else if (args[i].starts_with("--dir=") && args[i].size() > 6) {
      parsed.directory = args[i].substr(6);
    } else {
      error = "unknown option " + args[i];
      return false;
    }
  }
  if (i >= args.size()) {
    error = "no command given";
    return false;
  }
  parsed.command = args[i++];
  const std::size_t rest = args.size() - i;
  const auto at = [&](std::size_t k) -> const std::string& { return args[i + k]; };

  if (parsed.command == "words" || parsed.command == "lists") {
    if (rest < 2) {
      error = parsed.command + " needs a list and show, count or save";
      return false;
    }
    parsed.list = at(0);
    parsed.action = at(1);
    if (!OneOf(parsed.action, kListActions)) {
      error = "unknown action " + parsed.action + " (show, count or save)";
      return false;
    }
    const std::size_t allowed = parsed.action == "save" ? 3 : 2;
    if (rest > allowed) {
      error = "too many arguments";
      return false;
    }
    if (rest == 3) parsed.file = at(2);
    return true;
  }
  if (parsed.command == "get" || parsed.command == "set") {
    const std::size_t wanted = parsed.command == "get" ? 1 : 2;
    if (rest != wanted) {
      error = parsed.command == "get" ? "get needs one KEY" : "set needs a KEY and a VALUE";
      return false;
    }
    parsed.key = at(0);
    if (wanted == 2) parsed.value = at(1);
    return true;
  }
  if (parsed.command == "check" || parsed.command == "repair" || parsed.command == "unload") {
    if (rest != 0) {
      error = parsed.command + " takes no arguments";
      return false;
    }
    if (parsed.gbk) {
      error = "--gbk does not apply to " + parsed.command;
      return false;
    }
    return true;
  }
  if (parsed.command == "logs") {
    return ParseCtlLogsArguments(
        std::vector<std::string>(args.begin() + static_cast<long>(i), args.end()), parsed.gbk,
        parsed.logs, error);
  }
  error = "unknown command " + parsed.command;
  return false;
}

}  // namespace orv::tools
