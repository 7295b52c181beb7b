#include "console/foundation/text_files.h"

#include <dirent.h>

#include <QFile>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "console/foundation/dates_paths.h"
#include "platform/ascii.h"

namespace orv::console {

namespace {
struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Reads every line of `file` into `onLine`; true when the end was reached without a read
// error. The last line counts even without a line feed behind it.
template <typename OnLine>
bool ForEachLine(std::FILE* file, OnLine onLine) {
  std::string line;
  int c;
  while ((c = std::fgetc(file)) != EOF) {
    if (c == '\n') {
      if (!line.empty() && line.back() == '\r') {
        line.pop_back();
      }
      onLine(line);
      line.clear();
    } else {
      line.push_back(static_cast<char>(c));
    }
  }
  if (!line.empty()) {
    if (line.back() == '\r') {
      line.pop_back();
    }
    onLine(line);
  }
  return std::ferror(file) == 0;
}

QString LocalPath(const std::string& path) {
  return QString::fromLocal8Bit(path);
}

bool MatchesExtension(const std::string& name, const std::string& extension) {
  if (extension.empty() || extension == "*") {
    return true;
  }
  const std::string suffix = "." + extension;
  if (name.size() < suffix.size()) {
    return false;
  }
  return ascii::EqualsNoCase(std::string_view(name).substr(name.size() - suffix.size()), suffix);
}
}  // namespace

bool ReadTextFile(const std::string& path, std::string& text, bool lineBreaks) {
  text.clear();
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    return false;
  }
  return ForEachLine(file.get(), [&](const std::string& line) {
    text += line;
    if (lineBreaks) {
      text += '\n';
    }
  });
}

bool ReadNonEmptyLines(const std::string& path, std::vector<std::string>& lines) {
  lines.clear();
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    return false;
  }
  return ForEachLine(file.get(), [&](const std::string& line) {
    if (!line.empty()) {
      lines.push_back(line);
    }
  });
}

std::size_t CountNonEmptyLines(const std::string& path) {
  FilePtr file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    return 0;
  }
  std::size_t count = 0;
  ForEachLine(file.get(), [&](const std::string& line) {
    if (!line.empty()) {
      ++count;
    }
  });
  return count;
}

bool WriteTextFile(const std::string& path, const std::string& text, bool lineBreak, bool append) {
  if (path.empty()) {
    return false;
  }
  FilePtr file(std::fopen(path.c_str(), append ? "ab" : "wb"));
  if (!file) {
    return false;
  }
  // Text mode of the stored files: a bare line feed is written as CR LF.
  std::string out;
  out.reserve(text.size() + 2);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) {
      out += '\r';
    }
    out += text[i];
  }
  if (lineBreak) {
    out += "\r\n";
  }
  const bool ok = std::fwrite(out.data(), 1, out.size(), file.get()) == out.size();
  // A write that the close cannot flush did not happen either.
  return std::fclose(file.release()) == 0 && ok;
}

std::size_t ListFilesByExtension(std::vector<std::string>& names, const std::string& folder,
                                 const std::string& extension) {
  names.clear();
  if (!PathExistsAs(folder, true)) {
    return 0;
  }
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) {
    return 0;
  }
  const std::string base = (folder.back() == '/' || folder.back() == '\\') ? folder : folder + "/";
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    const bool isFolder = PathExistsAs(base + name, true);
    if (isFolder && name.front() == '.') {
      continue;
    }
    if (name == "debug.log" || name == "system.log") {
      continue;
    }
    if (MatchesExtension(name, extension)) {
      names.push_back(name);
    }
  }
  return names.size();
}

bool DeletePath(const std::string& path) {
  if (path.empty() || !PathExistsAs(path, false)) {
    return false;
  }
  QFile file(LocalPath(path));
  return file.moveToTrash();
}

}  // namespace orv::console
