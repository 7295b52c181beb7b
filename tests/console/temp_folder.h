// A fresh folder per test, removed afterwards.
#pragma once

#include <QTemporaryDir>
#include <string>

namespace orv::console::testing {

class TempFolder {
 public:
  TempFolder() { dir_.setAutoRemove(true); }
  // With a trailing separator.
  std::string Path() const { return dir_.path().toStdString() + "/"; }
  std::string File(const std::string& name) const { return Path() + name; }

 private:
  QTemporaryDir dir_;
};

}  // namespace orv::console::testing
