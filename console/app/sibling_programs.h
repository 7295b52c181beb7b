// The installation work the settings page leaves to another program: `orvctl repair` makes the
// installation sound and has the web service apply the settings, `orvctl unload` makes the web
// service stop filtering now. orvctl is started from the console's own folder and given the
// console's data folder; the console waits for it, with a bound, keeping the window alive.
#pragma once

#include <QString>
#include <string>

namespace orv::console {

class ProgramRunner;

struct SiblingOutcome {
  bool ok = false;
  // For the administrator when !ok: which program, and what went wrong.
  QString message;
};

class SiblingPrograms {
 public:
  static constexpr int kDefaultTimeoutMs = 30000;

  // `orvctlPath`: the program to start; `dataDirectory`: the folder of OrvFilter.ini (local
  // 8-bit, as the console keeps it), handed over as --dir.
  SiblingPrograms(ProgramRunner& runner, QString orvctlPath, std::string dataDirectory,
                  int timeoutMs = kDefaultTimeoutMs);

  SiblingOutcome Repair();
  SiblingOutcome Unload();

  const QString& OrvctlPath() const { return orvctlPath_; }

 private:
  SiblingOutcome Run(const QString& command);

  ProgramRunner& runner_;
  QString orvctlPath_;
  QString dataDirectory_;
  int timeoutMs_;
};

// orvctl beside the running console.
QString OrvctlBesideConsole();

}  // namespace orv::console
