#include "console/foundation/service_control.h"

#include <QThread>

namespace orv::console {

QString UnitForService(const QString& serviceName, const QString& webServiceUnit) {
  if (serviceName.compare(QStringLiteral("w3svc"), Qt::CaseInsensitive) == 0) {
    return webServiceUnit;
  }
  return serviceName.toLower();
}

SystemdServiceControl::SystemdServiceControl(ProgramRunner& runner, QString webServiceUnit,
                                             int timeoutMs, int settleMs)
    : runner_(runner),
      webServiceUnit_(std::move(webServiceUnit)),
      timeoutMs_(timeoutMs),
      settleMs_(settleMs) {}

ServiceResult SystemdServiceControl::Systemctl(const QString& verb, const QString& unit) {
  const ProgramResult run = runner_.Run(QStringLiteral("systemctl"), {verb, unit}, timeoutMs_);
  ServiceResult result;
  switch (run.kind) {
    case ProgramResult::Kind::Finished:
      result.ok = run.exitCode == 0;
      if (!result.ok) {
        result.message =
            QStringLiteral("服务 %1 %2 失败：%3").arg(unit, verb, run.output.trimmed());
      }
      break;
    case ProgramResult::Kind::TimedOut:
      result.message = QStringLiteral("服务 %1 在 %2 秒内未完成 %3，请稍后检查服务状态。")
                           .arg(unit)
                           .arg(timeoutMs_ / 1000)
                           .arg(verb);
      break;
    case ProgramResult::Kind::FailedToStart:
    case ProgramResult::Kind::Crashed:
      result.message = QStringLiteral("无法执行 systemctl %1 %2：%3").arg(verb, unit, run.output);
      break;
  }
  return result;
}

ServiceResult SystemdServiceControl::SetServiceRunning(const QString& serviceName, bool start) {
  return Systemctl(start ? QStringLiteral("start") : QStringLiteral("stop"),
                   UnitForService(serviceName, webServiceUnit_));
}

ServiceResult SystemdServiceControl::SetServiceEnabled(const QString& serviceName, bool enabled) {
  return Systemctl(enabled ? QStringLiteral("enable") : QStringLiteral("disable"),
                   UnitForService(serviceName, webServiceUnit_));
}

ServiceResult SystemdServiceControl::RestartService(const QString& serviceName) {
  const QString unit = UnitForService(serviceName, webServiceUnit_);
  // systemctl stop returns once the unit has stopped; our bound replaces the unbounded poll.
  ServiceResult stopped = Systemctl(QStringLiteral("stop"), unit);
  if (!stopped.ok) {
    return stopped;
  }
  QThread::msleep(static_cast<unsigned long>(settleMs_));
  return Systemctl(QStringLiteral("start"), unit);
}

}  // namespace orv::console
