#include "console/foundation/program_runner.h"

#include <QDeadlineTimer>
#include <QProcess>

#include "console/foundation/system_info.h"

namespace orv::console {

ProgramResult ProcessRunner::Run(const QString& program, const QStringList& arguments,
                                 int timeoutMs) {
  ProgramResult result;
  QProcess process;
  process.setProcessChannelMode(QProcess::MergedChannels);
  process.start(program, arguments);
  if (!process.waitForStarted(timeoutMs)) {
    result.kind = ProgramResult::Kind::FailedToStart;
    result.output = process.errorString();
    return result;
  }
  QDeadlineTimer deadline(timeoutMs);
  while (!process.waitForFinished(50)) {
    if (process.state() == QProcess::NotRunning) {
      break;
    }
    PumpMessages();
    if (deadline.hasExpired()) {
      process.kill();
      process.waitForFinished(1000);
      result.kind = ProgramResult::Kind::TimedOut;
      result.output = QString::fromLocal8Bit(process.readAll());
      return result;
    }
  }
  result.output = QString::fromLocal8Bit(process.readAll());
  result.kind = process.exitStatus() == QProcess::CrashExit ? ProgramResult::Kind::Crashed
                                                            : ProgramResult::Kind::Finished;
  result.exitCode = process.exitCode();
  return result;
}

}  // namespace orv::console
