// The services orvctl controls, behind a small interface so that tests can stand in for the
// service manager. On Linux the web service host is a systemd unit driven through systemctl.
#pragma once

#include <string>
#include <vector>

namespace orv::tools {

// The web service host that loads the filter (the stand-in for IIS's "w3svc").
inline constexpr const char* kWebServiceUnit = "orvproxy";

struct UnitResult {
  bool ok = false;
  std::string message;  // one line for the administrator when !ok
};

class ServiceUnits {
 public:
  virtual ~ServiceUnits() = default;
  // One service manager action on one unit ("enable", "reload-or-restart", ...).
  virtual UnitResult Act(const std::string& verb, const std::string& unit) = 0;
};

// systemctl, each call bounded.
class SystemctlUnits : public ServiceUnits {
 public:
  static constexpr int kDefaultTimeoutMs = 30000;
  explicit SystemctlUnits(int timeoutMs = kDefaultTimeoutMs) : timeoutMs_(timeoutMs) {}
  UnitResult Act(const std::string& verb, const std::string& unit) override;

 private:
  int timeoutMs_;
};

}  // namespace orv::tools
