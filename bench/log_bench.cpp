// orvlogbench [--benchmark_...]
//
// The log reader on a realistic large day: a file of 1,000,000 event lines as the filter writes
// them (GBK, CR LF; words from the jieba dictionary when python3-jieba is installed), loaded,
// paged, searched and counted as the log window does, and a folder of a year of day files
// scanned as the day list does. The load reports the file's size and the memory the loaded day
// holds (resident set growth and peak, against the file size).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "loganalyzer/day_log.h"
#include "loganalyzer/log_index.h"
#include "loganalyzer/log_stats.h"
#include "platform/codepage.h"

namespace {

namespace fs = std::filesystem;
using namespace orv::loganalyzer;

constexpr int kDayLines = 1'000'000;
constexpr int kYearDays = 365;

// Chinese words in GBK: the jieba dictionary's first column, else a few of our own.
std::vector<std::string> Words() {
  std::vector<std::string> words;
  std::ifstream dict("/usr/lib/python3/dist-packages/jieba/dict.txt");
  std::string line;
  while (std::getline(dict, line) && words.size() < 20000) {
    const std::string word = line.substr(0, line.find(' '));
    const std::string gbk = orv::codepage::Utf8ToAnsi(word);
    if (gbk.size() >= 4 && gbk.find('?') == std::string::npos) words.push_back(gbk);
  }
  if (words.empty()) {
    for (const char* utf8 : {"非法", "敏感", "信息", "网站", "过滤", "关键词", "内容", "页面"}) {
      words.push_back(orv::codepage::Utf8ToAnsi(utf8));
    }
  }
  return words;
}

struct Fixture {
  fs::path folder;
  fs::path day;
  fs::path year;
  std::uint64_t dayBytes = 0;

  Fixture() {
    folder = fs::temp_directory_path() / ("orvlogbench-" + std::to_string(::getpid()));
    fs::create_directories(folder / "year");
    day = folder / "2012-11-1.log";
    year = folder / "year";
    const std::vector<std::string> words = Words();
    const std::string kinds[] = {orv::codepage::Utf8ToAnsi("记录"),
                                 orv::codepage::Utf8ToAnsi("替换"),
                                 orv::codepage::Utf8ToAnsi("拦截")};
    std::mt19937 random(20121101);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const auto word = [&] { return words[pick(words.size())]; };
    const auto event = [&](int i, const std::string& date) {
      const int second = i * 86400 / kDayLines;
      std::string line = date + " " + std::to_string(second / 3600) + ":" +
                         std::to_string(second / 60 % 60) + ":" + std::to_string(second % 60);
      const std::size_t kind = pick(10);
      line += "\t" + kinds[kind < 5 ? 0 : kind < 8 ? 1 : 2];
      line += pick(10) == 0 ? "\tPOST\t" : "\tGET\t";
      line += word();
      if (pick(3) == 0) line += "," + word();
      line += "\t10." + std::to_string(pick(4)) + "." + std::to_string(pick(64)) + "." +
              std::to_string(pick(250) + 1);
      line += "\twww.site" + std::to_string(pick(40)) + ".com/news/" +
              std::to_string(2012 + pick(3)) + "/" + std::to_string(pick(100000)) + ".htm";
      line += "\t";
      for (std::size_t n = 4 + pick(12); n > 0; --n) line += word();
      return line + "\r\n";
    };
    {
      std::ofstream out(day, std::ios::binary);
      std::string batch;
      for (int i = 0; i < kDayLines; ++i) {
        batch += event(i, "2012-11-1");
        if (batch.size() > (1 << 20)) {
          out << batch;
          batch.clear();
        }
      }
      out << batch;
    }
    dayBytes = fs::file_size(day);
    for (int d = 0; d < kYearDays; ++d) {
      std::tm date{};
      date.tm_year = 112;
      date.tm_mday = 1 + d;
      date.tm_hour = 12;
      std::mktime(&date);
      const std::string label = std::to_string(date.tm_year + 1900) + "-" +
                                std::to_string(date.tm_mon + 1) + "-" +
                                std::to_string(date.tm_mday);
      std::ofstream out(year / (label + ".log"), std::ios::binary);
      for (int i = 0; i < 200; ++i) out << event(i * kDayLines / 200, label);
    }
  }
  ~Fixture() {
    std::error_code ec;
    fs::remove_all(folder, ec);
  }
};

Fixture& Data() {
  static Fixture fixture;
  return fixture;
}

DayLog& LoadedDay() {
  static DayLog day = [] {
    DayLog loaded;
    loaded.Load(Data().day.string());
    return loaded;
  }();
  return day;
}

// "VmRSS" or "VmHWM" of this process, in bytes.
std::uint64_t ProcessMemory(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stoull(line.substr(line.find(':') + 1)) * 1024;
  }
  return 0;
}

void ResetPeakMemory() {
  std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_LoadDay(benchmark::State& state) {
  const std::string path = Data().day.string();
  double growth = 0;
  double peak = 0;
  std::size_t steps = 0;
  for (auto _ : state) {
    state.PauseTiming();
    const std::uint64_t before = ProcessMemory("VmRSS");
    ResetPeakMemory();
    state.ResumeTiming();
    DayLog day;
    steps = 0;
    day.Load(path, [&](std::uint64_t, std::uint64_t) { return ++steps > 0; });
    benchmark::DoNotOptimize(day.Count(kKindAll));
    state.PauseTiming();
    growth = static_cast<double>(ProcessMemory("VmRSS") - before);
    peak = static_cast<double>(ProcessMemory("VmHWM") - before);
    state.ResumeTiming();
  }
  const double file = static_cast<double>(Data().dayBytes);
  state.counters["file_MB"] = file / 1e6;
  state.counters["rss_MB"] = growth / 1e6;
  state.counters["peak_MB"] = peak / 1e6;
  state.counters["peak_per_file"] = peak / file;
  state.counters["progress_calls"] = static_cast<double>(steps);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Data().dayBytes));
}
BENCHMARK(BM_LoadDay)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Page(benchmark::State& state) {
  DayLog& day = LoadedDay();
  day.SetKind(static_cast<int>(state.range(1)));
  day.SetSearch("");
  const int pages = day.Page(1).pageCount;
  const int n = state.range(0) == 0 ? 1 : state.range(0) == 1 ? pages / 2 : pages;
  for (auto _ : state) benchmark::DoNotOptimize(day.Page(n).rows.size());
  state.SetLabel("page " + std::to_string(n) + " of " + std::to_string(pages));
}
// First, middle and last page of the all list and of the deny list.
BENCHMARK(BM_Page)->ArgsProduct({{0, 1, 2}, {kKindAll, kKindDeny}})->Unit(benchmark::kMicrosecond);

void BM_Search(benchmark::State& state) {
  DayLog& day = LoadedDay();
  day.SetKind(kKindAll);
  // 0: a text on no line (the walk reaches the end of the day); 1: the same with ASCII letters,
  // which folds the case of every line; 2: a client address on some lines.
  const char* const searches[] = {"\xC3\xBB\xD3\xD0\xD5\xE2\xB8\xF6", "WWW.NOSUCHSITE.COM",
                                  "10.3.63.250"};
  day.SetSearch(searches[state.range(0)]);
  std::size_t rows = 0;
  for (auto _ : state) rows = day.Page(1).rows.size();
  state.counters["rows"] = static_cast<double>(rows);
  day.SetSearch("");
}
BENCHMARK(BM_Search)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

void BM_DayStats(benchmark::State& state) {
  const DayLog& day = LoadedDay();
  for (auto _ : state) benchmark::DoNotOptimize(ComputeDayStats(day).totals[kKindAll]);
}
BENCHMARK(BM_DayStats)->Unit(benchmark::kMillisecond);

void BM_ScanYear(benchmark::State& state) {
  PreselectedDay none;
  LogIndex index(none);
  for (auto _ : state) benchmark::DoNotOptimize(index.Scan(Data().year.string(), "2012-12-31"));
  state.counters["days"] = static_cast<double>(index.Days().size());
}
BENCHMARK(BM_ScanYear)->Unit(benchmark::kMillisecond);

void BM_CountYear(benchmark::State& state) {
  PreselectedDay none;
  LogIndex index(none);
  index.Scan(Data().year.string(), "2012-12-31");
  for (auto _ : state) benchmark::DoNotOptimize(CountDays(index).size());
}
BENCHMARK(BM_CountYear)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Data();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
