// A console folder for the editing pages' tests: the settings file and the keyword database
// as Windows wrote them (GBK, CR LF), and helpers to read back what a page stored.
#pragma once

#include <QFile>
#include <QString>
#include <string>

#include "console/app/console_state.h"
#include "fakes.h"
#include "platform/codepage.h"
#include "store/keyword_database.h"
#include "tests/support/temp_folder.h"

namespace orv::console::testing {

using orv::testing::TempFolder;

inline std::string Gbk(const char* utf8) {
  return codepage::Utf8ToAnsi(utf8);
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
  QFile file(QString::fromStdString(path));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
  QFile file(QString::fromStdString(path));
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

class PageFixture {
 public:
  PageFixture() : state(folder.Path()) {}

  // Writes the database and loads it into the console's copy, as start-up does.
  void WriteDatabase(const std::string& gbkText) {
    WriteBytes(state.DatabasePath(), gbkText);
    state.Database().LoadDatabase(state.DatabasePath());
  }
  std::string SectionOnDisk(store::Section section) const {
    store::KeywordDatabase database;
    database.LoadDatabase(state.DatabasePath());
    return database.GetSection(section);
  }
  bool BoxShown(const QString& text) const {
    for (const ShownBox& box : boxes.shown) {
      if (box.text.contains(text)) return true;
    }
    return false;
  }

  TempFolder folder;
  ConsoleState state;
  FakeMessageBoxes boxes;
};

}  // namespace orv::console::testing
