#include "console/app/sibling_programs.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include "console/foundation/program_runner.h"

namespace orv::console {

namespace {
// orvctl writes one line to standard error when it fails; that line says why.
QString LastLine(const QString& output) {
  const QStringList lines = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  return lines.isEmpty() ? QString() : lines.last().trimmed();
}
}  // namespace

SiblingPrograms::SiblingPrograms(ProgramRunner& runner, QString orvctlPath,
                                 std::string dataDirectory, int timeoutMs)
    : runner_(runner),
      orvctlPath_(std::move(orvctlPath)),
      dataDirectory_(QString::fromLocal8Bit(dataDirectory)),
      timeoutMs_(timeoutMs) {}

SiblingOutcome SiblingPrograms::Repair() {
  return Run(QStringLiteral("repair"));
}

SiblingOutcome SiblingPrograms::Unload() {
  return Run(QStringLiteral("unload"));
}

SiblingOutcome SiblingPrograms::Run(const QString& command) {
  const ProgramResult run =
      runner_.Run(orvctlPath_, {QStringLiteral("--dir"), dataDirectory_, command}, timeoutMs_);
  const QString name = QStringLiteral("orvctl ") + command;
  SiblingOutcome outcome;
  switch (run.kind) {
    case ProgramResult::Kind::Finished:
      outcome.ok = run.exitCode == 0;
      if (!outcome.ok) {
        const QString why = LastLine(run.output);
        outcome.message = QStringLiteral("%1 执行失败（退出码 %2）").arg(name).arg(run.exitCode);
        if (!why.isEmpty()) outcome.message += QStringLiteral("：") + why;
      }
      break;
    case ProgramResult::Kind::FailedToStart:
      outcome.message = QStringLiteral("无法启动 %1（%2）：%3")
                            .arg(name, QDir::toNativeSeparators(orvctlPath_), run.output);
      break;
    case ProgramResult::Kind::TimedOut:
      outcome.message =
          QStringLiteral("%1 在 %2 秒内没有结束，已被终止。").arg(name).arg(timeoutMs_ / 1000.0);
      break;
    case ProgramResult::Kind::Crashed:
      outcome.message = QStringLiteral("%1 异常退出。").arg(name);
      break;
  }
  return outcome;
}

QString OrvctlBesideConsole() {
  return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("orvctl"));
}

}  // namespace orv::console
