// One day of the event log in memory: its lines sorted into the four kinds of event, counted,
// and served page by page, optionally filtered by a search text.
//
// The file's bytes are held once; lines are ranges into them, so a day of a million lines
// costs little more than its file. Loading can run in steps (BeginLoad / LoadStep) so a window
// can show progress and stay responsive, or at once with a progress callback that may cancel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orv::loganalyzer {

// The kind selection; also the index of the window's kind tab. Any other value selects kOther.
enum LogKind : int {
  kKindAll = 0,
  kKindDeny = 1,     // kind field contains "拦截"
  kKindReplace = 2,  // kind field contains "替换" (and not "拦截")
  kKindRecord = 3,   // kind field contains "记录" (and neither of the above)
  kKindOther = 4,    // at least four fields and none of the three words
};
inline constexpr int kKindCount = 5;

// Rows per page.
inline constexpr int kPageRows = 50;

// Columns of a shown row: 0 row number, 1 time, 2 kind, 3 method, 4 key, 5 ip, 6 url,
// 7 refer ("-" when the line has only six usable fields).
inline constexpr int kRowColumns = 8;
using DisplayRow = std::array<std::string, kRowColumns>;

// One page and the numbers the window shows with it.
struct LogPage {
  int currentPage = 1;
  int pageCount = 0;       // list size / 50 rounded up; independent of the search
  long long firstRow = 1;  // currentPage * 50 - 49
  long long lastRow = 0;   // currentPage * 50 - 50 + rows.size()
  std::size_t allCount = 0;
  std::vector<DisplayRow> rows;
};

// Which list a line belongs to, from the kind field of a raw line (fields split at tabs, empty
// pieces dropped): kKindAll when it has fewer than four fields (it counts in "all" only).
int ClassifyLine(std::string_view line);

// Splits a line into the columns of a row (pieces between tabs shorter than 2 bytes are
// dropped, so later fields move left). False when fewer than six pieces remain: such a line
// is never shown. Column 0 is left empty for the caller's row number.
bool BuildRow(std::string_view line, DisplayRow& row);

// Lower-cases the ASCII letters of a GBK text, leaving double-byte characters (their trail
// bytes included) unchanged.
std::string LowerGbk(std::string_view text);

class DayLog {
 public:
  enum class LoadResult {
    kLoaded,      // read to the end
    kCannotOpen,  // lists empty
    kReadError,   // reading stopped; the lines read so far are kept
    kCancelled,   // the progress callback said stop; lists empty
  };
  // Called between steps with the bytes read so far and the file's size when loading began
  // (the file may grow meanwhile). Return false to cancel.
  using ProgressFunction = std::function<bool(std::uint64_t bytesRead, std::uint64_t bytesTotal)>;

  // Reads and classifies the day in `path`: every non-empty line (LF ends a line, a CR before
  // it is dropped) goes to the all list in file order, and lines with at least four fields
  // also to their kind's list. Resets the page to 1; kind and search are kept.
  LoadResult Load(const std::string& path, const ProgressFunction& progress = {});

  // Stepwise loading: BeginLoad empties the lists and opens the file (false, lists empty,
  // when it cannot be opened); each LoadStep reads and classifies up to `maxBytes` more and
  // returns true while there is more to read. CancelLoad stops and empties the lists.
  // The day is usable after the last step; LastLoadResult tells how it ended.
  bool BeginLoad(const std::string& path);
  bool LoadStep(std::size_t maxBytes = kDefaultStepBytes);
  void CancelLoad();
  bool Loading() const;
  std::uint64_t BytesRead() const { return bytesRead_; }
  std::uint64_t BytesTotal() const { return bytesTotal_; }
  LoadResult LastLoadResult() const { return lastResult_; }

  // The same classification over bytes already in memory (a whole file's content).
  void LoadBytes(std::string content);

  // Lines in a list; Count(kKindAll) is the number of non-empty lines.
  std::size_t Count(int kind) const;
  // One raw line of a list (without its line break), valid until the next load.
  std::string_view Line(int kind, std::size_t index) const;

  void SetKind(int kind) { kind_ = kind; }
  int Kind() const { return kind_; }
  // Stored lower-cased (ASCII letters only).
  void SetSearch(std::string_view text);
  const std::string& Search() const { return search_; }

  // Page n of the selected list: rows from position (n - 1) * 50 of the unfiltered list, at
  // most 50, skipping lines that do not contain the search text (case-insensitive for ASCII
  // letters, matched on character boundaries) and lines with fewer than six usable fields.
  // Skipped lines use up positions but not row numbers. n below 1 means page 1.
  LogPage Page(int n);
  int CurrentPage() const { return currentPage_; }
  int PageCount() const { return pageCount_; }

  static constexpr std::size_t kDefaultStepBytes = std::size_t{8} << 20;

 private:
  struct LineRef {
    std::uint64_t offset;
    std::uint32_t length;
  };
  void Clear();
  void IndexLines(bool atEnd);
  void Classify(std::size_t fromLine);
  std::string_view Text(const LineRef& ref) const;

  std::string bytes_;         // the file as read
  std::vector<LineRef> all_;  // non-empty lines, in file order
  std::array<std::vector<std::uint32_t>, 4>
      kinds_;                // deny, replace, record, other: indexes into all_
  std::size_t scanned_ = 0;  // bytes of bytes_ already split into lines
  std::uint64_t bytesRead_ = 0;
  std::uint64_t bytesTotal_ = 0;
  LoadResult lastResult_ = LoadResult::kLoaded;
  struct Reader;
  std::shared_ptr<Reader> reader_;  // the open file while loading in steps
  int kind_ = kKindAll;
  std::string search_;
  int currentPage_ = 1;
  int pageCount_ = 0;
};

}  // namespace orv::loganalyzer
