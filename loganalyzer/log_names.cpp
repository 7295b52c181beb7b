#include "loganalyzer/log_names.h"

#include <filesystem>
#include <system_error>

#include "platform/ascii.h"
#include "platform/codepage.h"

namespace orv::loganalyzer {

namespace {
// GBK "年" and "月".
constexpr std::string_view kYearGbk = "\xC4\xEA";
constexpr std::string_view kMonthGbk = "\xD4\xC2";

std::string ReplaceAll(const std::string& text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  std::size_t done = 0;
  std::size_t at;
  while ((at = codepage::FindCharAware(text, from, done)) != std::string::npos) {
    out.append(text, done, at - done).append(to);
    done = at + from.size();
  }
  out.append(text, done, std::string::npos);
  return out;
}

void RemoveAll(std::string& text, std::string_view part) {
  std::size_t at;
  while ((at = text.find(part)) != std::string::npos) {
    text.erase(at, part.size());
  }
}

// A month or day piece of exactly two bytes is kept; anything else becomes "0" + its first
// byte, which pads "1" to "01" (and, as the stored labels always did, cuts "123" to "01").
std::string TwoDigitPiece(std::string_view piece) {
  if (piece.size() == 2) {
    return std::string(piece);
  }
  std::string padded(1, '0');
  padded.append(piece.substr(0, 1));
  return padded;
}

std::string SortKey(std::string name, bool lowerFirst) {
  if (lowerFirst) {
    ascii::LowerInPlace(name);
  }
  RemoveAll(name, "orv");
  RemoveAll(name, ".log");
  return DateLabel(name);
}

bool EndsWithLogExtension(std::string_view name) {
  if (name.size() < 4) {
    return false;
  }
  return ascii::Lower(name.substr(name.size() - 4)) == ".log";
}

bool AllDigits(std::string_view text) {
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
  }
  return !text.empty();
}

int ToInt(std::string_view digits) {
  int value = 0;
  for (const char c : digits) {
    value = value * 10 + (c - '0');
  }
  return value;
}

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}
}  // namespace

std::vector<std::string> ListLogFolder(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  if (folder.empty() || !std::filesystem::is_directory(folder, error)) {
    return names;
  }
  std::filesystem::directory_iterator it(folder, error);
  for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
    std::string name = it->path().filename().string();
    if (!EndsWithLogExtension(name) || name == "debug.log" || name == "system.log") {
      continue;
    }
    std::error_code kindError;
    if (name.front() == '.' && it->is_directory(kindError)) {
      continue;
    }
    names.push_back(std::move(name));
  }
  return names;
}

std::string DateLabel(std::string_view input) {
  if (input.size() <= 7) {
    return {};
  }
  std::string text(input);
  text = ReplaceAll(ReplaceAll(text, kYearGbk, "-"), kMonthGbk, "-");

  const std::size_t space = text.find(' ');
  if (space != std::string::npos) {
    if (space > 7) {
      text.resize(space);
    }
  } else if (text.size() > 10) {
    text.resize(10);
  }

  // "-" is never the trail byte of a double-byte character, so a plain split is exact.
  std::vector<std::string_view> pieces;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t dash = rest.find('-');
    const std::string_view piece = rest.substr(0, dash);
    if (!piece.empty()) {
      pieces.push_back(piece);
    }
    if (dash == std::string_view::npos) {
      break;
    }
    rest.remove_prefix(dash + 1);
  }
  if (pieces.size() < 3) {
    return text;
  }
  std::string label(pieces[0]);
  label.append("-").append(TwoDigitPiece(pieces[1])).append("-").append(TwoDigitPiece(pieces[2]));
  return label;
}

std::vector<std::string> OrderByDate(const std::vector<std::string>& names) {
  // Placed names keep their key next to them; as the stored order always did, a placed name's
  // key is taken as the name stands (not lower-cased).
  struct Placed {
    const std::string* name;
    std::string key;
  };
  std::vector<Placed> ordered;
  ordered.reserve(names.size());
  for (const std::string& name : names) {
    const std::string key = SortKey(name, true);
    if (key.size() < 4) {
      continue;
    }
    std::size_t position = ordered.size();
    for (std::size_t i = 0; i < ordered.size(); ++i) {
      if (ordered[i].key.size() > 4 && ordered[i].key > key) {
        position = i;
        break;
      }
    }
    if (position != ordered.size()) {
      ordered.insert(ordered.begin() + static_cast<std::ptrdiff_t>(position),
                     Placed{&name, SortKey(name, false)});
    } else if (name.size() > 4) {
      ordered.push_back(Placed{&name, SortKey(name, false)});
    }
  }
  std::vector<std::string> result;
  result.reserve(ordered.size());
  for (const Placed& placed : ordered) {
    result.push_back(*placed.name);
  }
  return result;
}

bool ParseDateLabel(std::string_view label, CivilDate& date) {
  if (label.size() != 10 || label[4] != '-' || label[7] != '-') {
    return false;
  }
  const std::string_view year = label.substr(0, 4);
  const std::string_view month = label.substr(5, 2);
  const std::string_view day = label.substr(8, 2);
  if (!AllDigits(year) || !AllDigits(month) || !AllDigits(day)) {
    return false;
  }
  CivilDate parsed{ToInt(year), ToInt(month), ToInt(day)};
  static constexpr int kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (parsed.month < 1 || parsed.month > 12) {
    return false;
  }
  const int monthDays =
      kMonthDays[parsed.month - 1] + (parsed.month == 2 && IsLeapYear(parsed.year) ? 1 : 0);
  if (parsed.day < 1 || parsed.day > monthDays) {
    return false;
  }
  date = parsed;
  return true;
}

long long DaysSinceEpoch(const CivilDate& date) {
  // Howard Hinnant's days_from_civil.
  const long long y = date.month <= 2 ? date.year - 1 : date.year;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long m = date.month;
  const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + date.day - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

}  // namespace orv::loganalyzer
