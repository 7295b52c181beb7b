#include "console/foundation/program_runner.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QProcess>
#include <QThread>

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
  // Only the user-interface thread has a window to keep alive; a worker thread (the web
  // service restart) just waits.
  const QCoreApplication* app = QCoreApplication::instance();
  const bool onUiThread = app != nullptr && QThread::currentThread() == app->thread();
  while (!process.waitForFinished(50)) {
    if (process.state() == QProcess::NotRunning) {
      break;
    }
    if (onUiThread) PumpMessages();
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
