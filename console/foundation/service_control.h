// Starting, stopping and restarting the services the console controls: the web service host
// ("w3svc") and the background service program ("OrvFilter"). On Linux these are systemd units.
#pragma once

#include <QString>

#include "console/foundation/program_runner.h"

namespace orv::console {

struct ServiceResult {
  bool ok = false;
  // For the administrator when !ok: what failed, and why.
  QString message;
};

class ServiceControl {
 public:
  virtual ~ServiceControl() = default;
  virtual ServiceResult SetServiceRunning(const QString& serviceName, bool start) = 0;
  // Whether the service starts with the system (installed, in the background service's terms).
  virtual ServiceResult SetServiceEnabled(const QString& serviceName, bool enabled) = 0;
  // Stops the service, waits (bounded) until it is stopped, then starts it again.
  virtual ServiceResult RestartService(const QString& serviceName) = 0;
};

// The systemd unit behind a service name: "w3svc" is the web service host (orvproxy unless
// configured otherwise), "OrvFilter" is unit "orvfilter"; other names are lower-cased.
QString UnitForService(const QString& serviceName, const QString& webServiceUnit);

class SystemdServiceControl : public ServiceControl {
 public:
  // Longest wait for one systemctl call; a unit that takes longer is reported.
  static constexpr int kDefaultTimeoutMs = 30000;

  // `settleMs`: pause between the stop and the start of a restart.
  explicit SystemdServiceControl(ProgramRunner& runner, QString webServiceUnit = "orvproxy",
                                 int timeoutMs = kDefaultTimeoutMs, int settleMs = 500);

  ServiceResult SetServiceRunning(const QString& serviceName, bool start) override;
  ServiceResult SetServiceEnabled(const QString& serviceName, bool enabled) override;
  ServiceResult RestartService(const QString& serviceName) override;

 private:
  ServiceResult Systemctl(const QString& verb, const QString& unit);

  ProgramRunner& runner_;
  QString webServiceUnit_;
  int timeoutMs_;
  int settleMs_;
};

}  // namespace orv::console
