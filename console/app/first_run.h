// The first-run check and set-up of a console start.
#pragma once

#include <QString>

namespace orv::console {

class ConsoleState;

// A first run: the settings file is missing (or is not a file), or its KeySoft line lacks one
// of the two marker texts of our defaults.
bool IsFirstRun(ConsoleState& state);

struct FirstRunResult {
  bool defaultsWritten = false;
  // For the administrator when the defaults could not be written.
  QString failure;
};

// Writes the default settings (in the order the settings file lists them) and creates the log
// folder. The welcome message is the caller's, and only after a successful write.
FirstRunResult WriteFirstRunDefaults(ConsoleState& state);

}  // namespace orv::console
