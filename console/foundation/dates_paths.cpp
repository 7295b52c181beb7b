#include "console/foundation/dates_paths.h"

#include <ctime>
#include <string>
#include <utility>
#include <vector>

#include "console/foundation/text_ops.h"
#include "platform/files.h"

namespace orv::console {

namespace {
// GBK "年" and "月".
constexpr std::string_view kYearGbk = "\xC4\xEA";
constexpr std::string_view kMonthGbk = "\xD4\xC2";

// Built into a new string rather than replaced in place: the in-place form makes GCC 12 at -O3
// warn of an overlapping copy that cannot happen.
void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  if (from.empty()) return;
  std::string out;
  out.reserve(text.size());
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(from, start)) != std::string::npos;
       start = at + from.size()) {
    out.append(text, start, at - start);
    out.append(to);
  }
  out.append(text, start);
  text = std::move(out);
}

// A month or day piece of exactly two bytes is kept; anything else becomes "0" + its first
// byte, which pads "1" to "01" (and, as the stored labels always did, cuts "123" to "01").
std::string TwoDigitPiece(const std::string& piece) {
  if (piece.size() == 2) {
    return piece;
  }
  std::string padded(1, '0');
  if (!piece.empty()) padded += piece.front();
  return padded;
}
}  // namespace

std::string TodayText() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return std::to_string(local.tm_year + 1900) + "-" + std::to_string(local.tm_mon + 1) + "-" +
         std::to_string(local.tm_mday);
}

std::string ModuleDirectory() {
  return files::ModuleDirectory();
}

bool PathExistsAs(const std::string& path, bool directory) {
  if (path.empty() || !files::Exists(path)) {
    return false;
  }
  return files::IsDirectory(path) == directory;
}

std::string NormalizeDateText(std::string_view input) {
  if (input.size() <= 7) {
    return {};
  }
  std::string text(input);
  ReplaceAll(text, kYearGbk, "-");
  ReplaceAll(text, kMonthGbk, "-");

  const std::size_t space = text.find(' ');
  if (space != std::string::npos) {
    if (space > 7) {
      text.resize(space);
    }
  } else if (text.size() > 10) {
    text.resize(10);
  }

  std::vector<std::string> pieces;
  SplitText(text, "-", pieces, true, 1);
  if (pieces.size() < 3) {
    return text;
  }
  return pieces[0] + "-" + TwoDigitPiece(pieces[1]) + "-" + TwoDigitPiece(pieces[2]);
}

}  // namespace orv::console
