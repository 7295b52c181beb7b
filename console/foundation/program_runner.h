// Running another program with an upper bound on the wait. The console never waits on a
// program without one: a program that hangs is reported, not waited for forever.
#pragma once

#include <QString>
#include <QStringList>

namespace orv::console {

struct ProgramResult {
  enum class Kind { Finished, FailedToStart, TimedOut, Crashed };
  Kind kind = Kind::FailedToStart;
  int exitCode = -1;
  QString output;  // standard error and output, for the administrator's message

  bool Succeeded() const { return kind == Kind::Finished && exitCode == 0; }
};

class ProgramRunner {
 public:
  virtual ~ProgramRunner() = default;
  // Runs `program` and waits at most `timeoutMs`, keeping the user interface responsive;
  // a program still running then is killed and reported as TimedOut.
  virtual ProgramResult Run(const QString& program, const QStringList& arguments,
                            int timeoutMs) = 0;
};

// QProcess, dispatching events between short waits.
class ProcessRunner : public ProgramRunner {
 public:
  ProgramResult Run(const QString& program, const QStringList& arguments, int timeoutMs) override;
};

}  // namespace orv::console
