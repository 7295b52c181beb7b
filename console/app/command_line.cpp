#include "console/app/command_line.h"

#include "console/foundation/service_control.h"
#include "platform/ascii.h"

namespace orv::console {

CommandLineMode ModeFromCommandLine(std::string_view commandLine) {
  const std::string lower = ascii::Lower(commandLine);
  if (lower.find("-unload") != std::string::npos || lower.find("/unload") != std::string::npos) {
    return CommandLineMode::Unload;
  }
  if (lower.find("-iisreset") != std::string::npos ||
      lower.find("/iisreset") != std::string::npos) {
    return CommandLineMode::IisReset;
  }
  return CommandLineMode::Normal;
}

std::string SwitchTextFromArguments(const QStringList& argumentsWithProgram) {
  std::string text;
  for (qsizetype i = 1; i < argumentsWithProgram.size(); ++i) {
    const QString& argument = argumentsWithProgram.at(i);
    if (argument == QStringLiteral("--dir") || argument == QStringLiteral("--screenshot") ||
        argument == QStringLiteral("--page")) {
      ++i;  // and its value
      continue;
    }
    if (!text.empty()) {
      text += ' ';
    }
    text += argument.toLocal8Bit().toStdString();
  }
  return text;
}

bool RunCommandLineMode(CommandLineMode mode, ServiceControl& services, QString& failure) {
  ServiceResult result;
  switch (mode) {
    case CommandLineMode::Normal:
      return true;
    case CommandLineMode::Unload:
      result = services.SetServiceRunning(QStringLiteral("OrvFilter"), false);
      break;
    case CommandLineMode::IisReset:
      result = services.RestartService(QStringLiteral("w3svc"));
      break;
  }
  failure = result.ok ? QString() : result.message;
  return result.ok;
}

}  // namespace orv::console
