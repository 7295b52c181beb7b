// Running a helper program (systemctl) with an upper bound on the wait: a program that does
// not end in time is killed and reported, never waited for forever.
#pragma once

#include <string>
#include <vector>

namespace orv::tools {

struct ProcessOutcome {
  enum class Kind { Finished, NotFound, FailedToStart, TimedOut, Killed };
  Kind kind = Kind::FailedToStart;
  int exitCode = -1;   // when Finished
  std::string output;  // standard output and error together, for the message

  bool Succeeded() const { return kind == Kind::Finished && exitCode == 0; }
};

// Runs argv[0] (looked up in PATH) with the other arguments, standard input closed, and waits
// at most `timeoutMs` milliseconds.
ProcessOutcome RunBounded(const std::vector<std::string>& argv, int timeoutMs);

}  // namespace orv::tools
