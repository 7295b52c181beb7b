// Everything the console controls outside its files, answered by test doubles: the services,
// orvctl (through a scripted program runner), the process list, the shell and the folder
// browser.
#pragma once

#include "console/app/settings_page.h"
#include "console/app/sibling_programs.h"
#include "fakes.h"

namespace orv::console::testing {

struct FakeSystem {
  explicit FakeSystem(std::string dataDirectory = "/srv/orvane/")
      : siblings(runner, QStringLiteral("/opt/orvane/orvctl"), std::move(dataDirectory)) {}

  FakeServiceControl services;
  FakeProgramRunner runner;
  SiblingPrograms siblings;
  FakeProcessList processes;
  FakeShell shell;
  FakeFolderChooser folders;
  SystemControl control{services, siblings, processes, shell, folders};
};

}  // namespace orv::console::testing
