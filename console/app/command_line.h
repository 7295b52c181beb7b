// The modes that run without a window: "/unload" (or "-unload") stops the background service,
// "/iisreset" (or "-iisreset") restarts the web service.
#pragma once

#include <QString>
#include <QStringList>
#include <string_view>

namespace orv::console {

class ServiceControl;

enum class CommandLineMode { Normal, Unload, IisReset };

// Lower-cases the text and looks for the switches as substrings, unload first.
CommandLineMode ModeFromCommandLine(std::string_view commandLine);

// The command line searched for the switches: the arguments after the program path, joined
// by spaces, without our own options and their values (--dir DIR, --screenshot FILE,
// --page NAME). The
// program path is left out because "/" separates folders here: an install folder named
// "unload" would otherwise stop the service at every start.
std::string SwitchTextFromArguments(const QStringList& argumentsWithProgram);

// Carries out a windowless mode. True when the service action succeeded; `failure` then
// stays empty, else it tells the administrator what went wrong.
bool RunCommandLineMode(CommandLineMode mode, ServiceControl& services, QString& failure);

}  // namespace orv::console
