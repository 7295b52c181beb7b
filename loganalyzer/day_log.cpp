#include "loganalyzer/day_log.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <system_error>

#include "platform/ascii.h"
#include "platform/codepage.h"

namespace orv::loganalyzer {

namespace {
// GBK "拦截", "替换", "记录".
constexpr std::string_view kDenyGbk = "\xC0\xB9\xBD\xD8";
constexpr std::string_view kReplaceGbk = "\xCC\xE6\xBB\xBB";
constexpr std::string_view kRecordGbk = "\xBC\xC7\xC2\xBC";

constexpr std::uint32_t kMaxLines = std::numeric_limits<std::uint32_t>::max();

bool HasAsciiLetter(std::string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (codepage::IsLeadByte(c)) {
      ++i;
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      return true;
    }
  }
  return false;
}

// Whether `word` occurs in `text` starting on a character: candidates come from the plain byte
// search, and only those are checked against the character starts counted from the front.
bool ContainsOnBoundary(std::string_view text, std::string_view word) {
  std::size_t boundary = 0;
  for (std::size_t at = text.find(word); at != std::string_view::npos;
       at = text.find(word, at + 1)) {
    while (boundary < at) {
      boundary += codepage::IsLeadByte(static_cast<unsigned char>(text[boundary])) ? 2 : 1;
    }
    if (boundary == at) {
      return true;
    }
  }
  return false;
}

// Whether the line, lower-cased as LowerGbk does, holds `word` (already lower-cased so) at
// `at`, a character start of the line.
bool FoldedMatchAt(std::string_view line, std::size_t at, std::string_view word) {
  std::size_t i = at;
  const std::size_t end = at + word.size();
  while (i < end) {
    if (codepage::IsLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) {
      if (line[i] != word[i - at] || (i + 1 < end && line[i + 1] != word[i + 1 - at])) {
        return false;
      }
      i += 2;
    } else {
      if (ascii::LowerChar(line[i]) != word[i - at]) {
        return false;
      }
      ++i;
    }
  }
  return true;
}

// The search with ASCII case folded. Lower-casing every byte (trail bytes too) is a plain
// loop the compiler vectorises; it finds every real match and a few false ones, which the
// character-aware check then drops. `everyByte` is `word` with every byte lower-cased.
bool ContainsFolded(std::string_view line, std::string_view word, std::string_view everyByte,
                    std::string& scratch) {
  scratch.resize(line.size());
  for (std::size_t i = 0; i < line.size(); ++i) {
    scratch[i] = ascii::LowerChar(line[i]);
  }
  const std::string_view folded = scratch;
  std::size_t boundary = 0;
  for (std::size_t at = folded.find(everyByte); at != std::string_view::npos;
       at = folded.find(everyByte, at + 1)) {
    while (boundary < at) {
      boundary += codepage::IsLeadByte(static_cast<unsigned char>(line[boundary])) ? 2 : 1;
    }
    if (boundary == at && FoldedMatchAt(line, at, word)) {
      return true;
    }
  }
  return false;
}

// Calls `piece` for each piece between tabs of at least `minimum` bytes until it returns false.
template <typename Piece>
void ForEachField(std::string_view line, std::size_t minimum, Piece piece) {
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t tab = line.find('\t', start);
    if (tab == std::string_view::npos) {
      tab = line.size();
    }
    if (tab - start >= minimum && !piece(line.substr(start, tab - start))) {
      return;
    }
    start = tab + 1;
  }
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
}  // namespace

struct DayLog::Reader {
  std::unique_ptr<std::FILE, FileCloser> file;
};

int ClassifyLine(std::string_view line) {
  int fields = 0;
  std::string_view kind;
  ForEachField(line, 1, [&](std::string_view piece) {
    if (++fields == 2) {
      kind = piece;
    }
    return fields < 4;
  });
  if (fields < 4) {
    return kKindAll;
  }
  if (kind.find(kDenyGbk) != std::string_view::npos) {
    return kKindDeny;
  }
  if (kind.find(kReplaceGbk) != std::string_view::npos) {
    return kKindReplace;
  }
  if (kind.find(kRecordGbk) != std::string_view::npos) {
    return kKindRecord;
  }
  return kKindOther;
}

bool BuildRow(std::string_view line, DisplayRow& row) {
  int pieces = 0;
  ForEachField(line, 2, [&](std::string_view piece) {
    row[static_cast<std::size_t>(++pieces)].assign(piece);
    return pieces < kRowColumns - 1;
  });
  if (pieces < 6) {
    return false;
  }
  if (pieces == 6) {
    row[7].clear();
    row[7].push_back('-');
  }
  row[0].clear();
  return true;
}

std::string LowerGbk(std::string_view text) {
  return codepage::LowerSingleBytes(text);
}

void DayLog::Clear() {
  reader_.reset();
  bytes_.clear();
  bytes_.shrink_to_fit();
  all_.clear();
  all_.shrink_to_fit();
  for (auto& list : kinds_) {
    list.clear();
    list.shrink_to_fit();
  }
  scanned_ = 0;
  bytesRead_ = 0;
  bytesTotal_ = 0;
  currentPage_ = 1;
  pageCount_ = 0;
}

DayLog::LoadResult DayLog::Load(const std::string& path, const ProgressFunction& progress) {
  if (!BeginLoad(path)) {
    return lastResult_;
  }
  while (LoadStep()) {
    if (progress && !progress(bytesRead_, bytesTotal_)) {
      CancelLoad();
      return lastResult_;
    }
  }
  if (progress) {
    progress(bytesRead_, bytesTotal_);
  }
  return lastResult_;
}

bool DayLog::BeginLoad(const std::string& path) {
  Clear();
  std::error_code error;
  if (std::filesystem::is_directory(path, error)) {
    lastResult_ = LoadResult::kCannotOpen;
    return false;
  }
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    lastResult_ = LoadResult::kCannotOpen;
    return false;
  }
  const auto size = std::filesystem::file_size(path, error);
  bytesTotal_ = error ? 0 : static_cast<std::uint64_t>(size);
  // Room for the whole file, and a little for lines the filter appends while we read.
  bytes_.reserve(static_cast<std::size_t>(bytesTotal_ + bytesTotal_ / 256 + 4096));
  reader_ = std::make_shared<Reader>();
  reader_->file = std::move(file);
  lastResult_ = LoadResult::kLoaded;
  return true;
}

bool DayLog::LoadStep(std::size_t maxBytes) {
  if (!reader_) {
    return false;
  }
  if (maxBytes == 0) {
    maxBytes = kDefaultStepBytes;
  }
  const std::size_t before = bytes_.size();
  // Read into the room reserved for the file; only a file that grew since loading began needs
  // more, and then a little more at a time, never a doubling of the whole day.
  if (bytes_.capacity() == before) {
    bytes_.reserve(before + std::max<std::size_t>(maxBytes, before / 64));
  }
  const std::size_t room = std::min(maxBytes, bytes_.capacity() - before);
  bytes_.resize(before + room);
  const std::size_t got = std::fread(bytes_.data() + before, 1, room, reader_->file.get());
  bytes_.resize(before + got);
  bytesRead_ += got;
  const bool failed = std::ferror(reader_->file.get()) != 0;
  const bool atEnd = failed || got < room;
  const std::size_t linesBefore = all_.size();
  IndexLines(atEnd);
  Classify(linesBefore);
  if (atEnd || all_.size() >= kMaxLines) {
    reader_.reset();
    lastResult_ = failed ? LoadResult::kReadError : LoadResult::kLoaded;
    return false;
  }
  return true;
}

void DayLog::CancelLoad() {
  Clear();
  lastResult_ = LoadResult::kCancelled;
}

bool DayLog::Loading() const {
  return reader_ != nullptr;
}

void DayLog::LoadBytes(std::string content) {
  Clear();
  bytes_.assign(content.begin(), content.end());
  bytesRead_ = bytesTotal_ = bytes_.size();
  IndexLines(true);
  Classify(0);
  lastResult_ = LoadResult::kLoaded;
}

void DayLog::IndexLines(bool atEnd) {
  const char* const data = bytes_.data();
  const std::size_t size = bytes_.size();
  std::size_t start = scanned_;
  while (start < size && all_.size() < kMaxLines) {
    const void* found = std::memchr(data + start, '\n', size - start);
    std::size_t end;
    std::size_t next;
    if (found != nullptr) {
      end = static_cast<std::size_t>(static_cast<const char*>(found) - data);
      next = end + 1;
    } else if (atEnd) {
      end = size;
      next = size;
    } else {
      break;  // the rest of the line comes with the next step
    }
    std::size_t length = end - start;
    if (found != nullptr && length > 0 && data[end - 1] == '\r') {
      --length;
    }
    if (length > 0) {
      const std::size_t kept =
          std::min<std::size_t>(length, std::numeric_limits<std::uint32_t>::max());
      all_.push_back(LineRef{start, static_cast<std::uint32_t>(kept)});
    }
    start = next;
  }
  scanned_ = start;
}

void DayLog::Classify(std::size_t fromLine) {
  for (std::size_t i = fromLine; i < all_.size(); ++i) {
    const int kind = ClassifyLine(Text(all_[i]));
    if (kind != kKindAll) {
      kinds_[static_cast<std::size_t>(kind - 1)].push_back(static_cast<std::uint32_t>(i));
    }
  }
}

std::string_view DayLog::Text(const LineRef& ref) const {
  return std::string_view(bytes_.data() + ref.offset, ref.length);
}

std::size_t DayLog::Count(int kind) const {
  if (kind == kKindAll) {
    return all_.size();
  }
  if (kind < kKindDeny || kind > kKindOther) {
    kind = kKindOther;
  }
  return kinds_[static_cast<std::size_t>(kind - 1)].size();
}

std::string_view DayLog::Line(int kind, std::size_t index) const {
  if (kind == kKindAll) {
    return index < all_.size() ? Text(all_[index]) : std::string_view();
  }
  if (kind < kKindDeny || kind > kKindOther) {
    kind = kKindOther;
  }
  const auto& list = kinds_[static_cast<std::size_t>(kind - 1)];
  return index < list.size() ? Text(all_[list[index]]) : std::string_view();
}

void DayLog::SetSearch(std::string_view text) {
  search_ = LowerGbk(text);
}

LogPage DayLog::Page(int n) {
  const std::size_t size = Count(kind_);
  const std::size_t pages = (size + kPageRows - 1) / kPageRows;
  pageCount_ = pages > static_cast<std::size_t>(std::numeric_limits<int>::max())
                   ? std::numeric_limits<int>::max()
                   : static_cast<int>(pages);
  currentPage_ = n <= 1 ? 1 : n;

  LogPage page;
  page.currentPage = currentPage_;
  page.pageCount = pageCount_;
  page.allCount = all_.size();
  const long long base = static_cast<long long>(currentPage_) * kPageRows;
  page.firstRow = base - (kPageRows - 1);

  const bool foldCase = HasAsciiLetter(search_);
  const std::string everyByte = ascii::Lower(search_);
  std::string scratch;
  DisplayRow row;
  for (std::size_t position = static_cast<std::size_t>(base - kPageRows);
       position < size && page.rows.size() < static_cast<std::size_t>(kPageRows); ++position) {
    const std::string_view line = Line(kind_, position);
    if (!search_.empty() && !(foldCase ? ContainsFolded(line, search_, everyByte, scratch)
                                       : ContainsOnBoundary(line, search_))) {
      continue;
    }
    if (!BuildRow(line, row)) {
      continue;
    }
    row[0] = std::to_string(page.firstRow + static_cast<long long>(page.rows.size()));
    page.rows.push_back(row);
  }
  page.lastRow = base - kPageRows + static_cast<long long>(page.rows.size());
  return page;
}

}  // namespace orv::loganalyzer
