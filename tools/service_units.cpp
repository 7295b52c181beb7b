#include "tools/service_units.h"

#include "tools/bounded_process.h"

namespace orv::tools {
namespace {

// The first non-empty line of a program's output, for a one-line message.
std::string FirstLine(const std::string& output) {
  std::size_t start = 0;
  while (start < output.size()) {
    std::size_t end = output.find('\n', start);
    if (end == std::string::npos) end = output.size();
    std::string line = output.substr(start, end - start);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (!line.empty()) return line;
    start = end + 1;
  }
  return {};
}

}  // namespace

UnitResult SystemctlUnits::Act(const std::string& verb, const std::string& unit) {
  // Never stop to ask for a password: orvctl runs unattended as often as not.
  const ProcessOutcome run =
      RunBounded({"systemctl", "--no-ask-password", "--no-pager", verb, unit}, timeoutMs_);
  UnitResult result;
  const std::string what = "systemctl " + verb + " " + unit;
  switch (run.kind) {
    case ProcessOutcome::Kind::Finished:
      result.ok = run.exitCode == 0;
      if (!result.ok) {
        result.message = what + " failed (exit " + std::to_string(run.exitCode) + ")";
        const std::string detail = FirstLine(run.output);
        if (!detail.empty()) result.message += ": " + detail;
      }
      break;
    case ProcessOutcome::Kind::NotFound:
      result.message = "systemctl not found; " + what + " not run";
      break;
    case ProcessOutcome::Kind::FailedToStart:
      result.message = "systemctl could not be started; " + what + " not run";
      break;
    case ProcessOutcome::Kind::TimedOut:
      result.message =
          what + " did not end within " + std::to_string(timeoutMs_ / 1000) + " s and was stopped";
      break;
    case ProcessOutcome::Kind::Killed:
      result.message = what + " was killed";
      break;
  }
  return result;
}

}  // namespace orv::tools
