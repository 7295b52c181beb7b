// orvbench --pages DIR --db FILE [--seconds S] [--detail 1]
// orvbench --family DIR [--seconds S]
//
// Screens 64 KiB texts made from the HTML pages of DIR with the four keyword lists of the
// database FILE, as a page screen calls them (FindFirstWord on free, MatchRules with all
// rules on record and on deny, ReplaceWords on copies of the text), once with the compiled
// lists and once with the literal algorithm, and scans the same texts with vectorscan for
// the same distinct words. Prints one line per figure, "ENCODING ENGINE MBPS", then the
// compiled lists' memory and compile time.
//
// With --family, DIR holds page sets (DIR/pages/NAME/, see scripts/make-bench-family.sh) and
// databases of different word shapes (DIR/words/SHAPE.db); every page set is screened with
// every database in both encodings, compiled screen against vectorscan only (after both
// engines are checked to agree on a few texts), one table line per pair, then the worst
// ratio of each encoding. The figures of one line are measured together, so that a change in
// the machine's load weighs on both.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bench_texts.h"
#include "keywords/matching.h"
#include "keywords/reference_matching.h"
#include "keywords/rule_form.h"
#include "store/keyword_database.h"
#include "vectorscan_scan.h"

namespace {

using Clock = std::chrono::steady_clock;
using orv::keywords::CompiledList;
using orv::keywords::CompiledReplaceList;
using orv::store::RawKeywordLists;

// The four lists of one encoding over one shared automaton, as the settings load builds them.
struct CompiledSet {
  explicit CompiledSet(const RawKeywordLists& raw)
      : CompiledSet(orv::keywords::CompileGroup(raw.deny, raw.replace, raw.record, raw.free)) {}
  explicit CompiledSet(orv::keywords::CompiledGroup group)
      : deny(std::move(group.deny)),
        replace(std::move(group.replace)),
        record(std::move(group.record)),
        free(std::move(group.free)) {}
  std::size_t MemoryBytes() const {
    return deny.MemoryBytes() + replace.MemoryBytes() + record.MemoryBytes() + free.MemoryBytes();
  }
  CompiledList deny;
  CompiledReplaceList replace;
  CompiledList record;
  CompiledList free;
};

// What one screen found, to keep the work observable and to compare the engines.
struct Outcome {
  std::optional<orv::keywords::Match> free, record, deny;
  orv::keywords::Replacements replaced;
  std::string page, search;  // after ReplaceWords
  bool operator==(const Outcome&) const = default;
};

// One scan context, as a screening thread leases one, used as the page screen uses it: the
// text pinned while the lists read it, so that they share one pass, and the pin moved to the
// copy that ReplaceWords rewrites, so that it shares the pass too.
Outcome ScreenCompiled(const std::string& text, const CompiledSet& set) {
  using orv::keywords::StopAt;
  static orv::keywords::ScanContext context;
  Outcome out;
  const orv::keywords::ScanContext::Pin unchanged(context, text);
  out.free = orv::keywords::FindFirstWord(text, set.free, context);
  out.record = orv::keywords::MatchRules(text, set.record, StopAt::kAll, context);
  out.deny = orv::keywords::MatchRules(text, set.deny, StopAt::kAll, context);
  out.page = text;
  out.search = text;
  context.MovePin(out.search);
  out.replaced = orv::keywords::ReplaceWords(out.page, out.search, set.replace, context);
  return out;
}

Outcome ScreenReference(const std::string& text, const RawKeywordLists& raw) {
  namespace ref = orv::keywords::reference;
  using orv::keywords::StopAt;
  Outcome out;
  out.free = ref::FindFirstWord(text, raw.free);
  out.record = ref::MatchRules(text, raw.record, StopAt::kAll);
  out.deny = ref::MatchRules(text, raw.deny, StopAt::kAll);
  out.page = text;
  out.search = text;
  out.replaced = ref::ReplaceWords(out.page, out.search, raw.replace.keys, raw.replace.values);
  return out;
}

// Runs `screen` over the texts, round after round, until `seconds` have passed (at least one
// text); returns MB/s (10^6 bytes per second).
double Throughput(const std::vector<std::string>& texts, double seconds,
                  const std::function<void(const std::string&)>& screen) {
  std::size_t bytes = 0;
  const auto start = Clock::now();
  double elapsed = 0;
  for (;;) {
    for (const std::string& text : texts) {
      screen(text);
      bytes += text.size();
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
      if (elapsed >= seconds) return static_cast<double>(bytes) / elapsed / 1e6;
    }
  }
}

// Like Throughput for several screens at once: they take turns text by text, so that a
// change in the machine's load while measuring weighs on all of them alike.
std::vector<double> ThroughputTogether(
    const std::vector<std::string>& texts, double seconds,
    const std::vector<std::function<void(const std::string&)>>& screens) {
  std::vector<double> spent(screens.size(), 0);
  std::size_t bytes = 0;
  const auto start = Clock::now();
  while (std::chrono::duration<double>(Clock::now() - start).count() < seconds * screens.size()) {
    for (const std::string& text : texts) {
      for (std::size_t k = 0; k < screens.size(); ++k) {
        const auto before = Clock::now();
        screens[k](text);
        spent[k] += std::chrono::duration<double>(Clock::now() - before).count();
      }
      bytes += text.size();
    }
  }
  std::vector<double> mbps;
  for (double s : spent) mbps.push_back(static_cast<double>(bytes) / s / 1e6);
  return mbps;
}

// The distinct words the four lists search for: plain entries and the parts of rules.
std::vector<std::string> DistinctWords(const RawKeywordLists& raw) {
  std::set<std::string> words;
  auto add = [&](const orv::keywords::KeywordList& list) {
    for (const std::string& entry : list) {
      const auto form = orv::keywords::FormOf(entry);
      if (form == orv::keywords::RuleForm::kPlain) {
        words.insert(entry);
      } else {
        for (auto part : orv::keywords::SplitParts(entry, orv::keywords::SeparatorOf(form))) {
          words.emplace(part);
        }
      }
    }
  };
  add(raw.deny);
  add(raw.replace.keys);
  add(raw.record);
  add(raw.free);
  words.erase(std::string());
  return {words.begin(), words.end()};
}

int Usage() {
  std::fprintf(stderr,
               "usage: orvbench --pages DIR --db FILE [--seconds S] [--detail 1]\n"
               "       orvbench --family DIR [--seconds S]\n");
  return 2;
}

constexpr std::size_t kTextBytes = 64 * 1024;

// Exits when the engines disagree on one of the first `count` texts.
void CheckAgreement(const char* what, const std::vector<std::string>& texts,
                    const CompiledSet& compiled, const RawKeywordLists& raw, std::size_t count) {
  for (std::size_t k = 0; k < texts.size() && k < count; ++k) {
    if (!(ScreenReference(texts[k], raw) == ScreenCompiled(texts[k], compiled))) {
      std::fprintf(stderr, "orvbench: engines disagree on text %zu of %s\n", k, what);
      std::exit(1);
    }
  }
}

std::vector<std::filesystem::path> Sorted(const std::filesystem::path& folder, bool folders) {
  std::vector<std::filesystem::path> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (folders ? entry.is_directory() : entry.path().extension() == ".db") {
      found.push_back(entry.path());
    }
  }
  std::sort(found.begin(), found.end());
  return found;
}

int RunFamily(const std::filesystem::path& family, double seconds) {
  const auto pageSets = Sorted(family / "pages", true);
  const auto wordSets = Sorted(family / "words", false);
  if (pageSets.empty() || wordSets.empty()) {
    std::fprintf(stderr, "orvbench: no page sets or databases under %s\n", family.c_str());
    return 1;
  }
  std::vector<std::pair<std::string, orv::store::LoadedKeywordLists>> databases;
  for (const auto& path : wordSets) {
    databases.emplace_back(path.stem().string(), orv::store::LoadKeywordLists(path.string()));
  }
  std::map<std::string, std::pair<double, std::string>> worst;  // by encoding
  std::size_t sink = 0;
  std::printf("%-8s %-9s %-5s %10s %10s %6s\n", "pages", "words", "enc", "compiled", "vectorscan",
              "ratio");
  for (const auto& pageSet : pageSets) {
    const orv::bench::BenchTexts texts =
        orv::bench::LoadBenchTexts(pageSet.string(), kTextBytes, 64);
    const std::string pagesName = pageSet.filename().string();
    for (const auto& [wordsName, raw] : databases) {
      const CompiledSet gbk(raw.gbk);
      const CompiledSet utf8(raw.utf8);
      struct Encoding {
        const char* name;
        const std::vector<std::string>& texts;
        const CompiledSet& compiled;
        const RawKeywordLists& raw;
      };
      for (const Encoding& enc : {Encoding{"gbk", texts.gbk, gbk, raw.gbk},
                                  Encoding{"utf8", texts.utf8, utf8, raw.utf8}}) {
        if (enc.texts.empty()) continue;
        const std::string what = pagesName + "/" + wordsName + "/" + enc.name;
        CheckAgreement(what.c_str(), enc.texts, enc.compiled, enc.raw, 2);
        orv::bench::VectorscanScan vectorscan(DistinctWords(enc.raw));
        const std::vector<double> mbps =
            ThroughputTogether(enc.texts, seconds,
                               {[&](const std::string& text) {
                                  sink += ScreenCompiled(text, enc.compiled).page.size();
                                },
                                [&](const std::string& text) { sink += vectorscan.Scan(text); }});
        const double ratio = mbps[0] / mbps[1];
        std::printf("%-8s %-9s %-5s %10.1f %10.1f %5.2fx\n", pagesName.c_str(), wordsName.c_str(),
                    enc.name, mbps[0], mbps[1], ratio);
        std::fflush(stdout);
        auto [slot, fresh] = worst.try_emplace(enc.name, ratio, what);
        if (!fresh && ratio < slot->second.first) slot->second = {ratio, what};
      }
    }
  }
  for (const auto& [encoding, entry] : worst) {
    std::printf("worst %s %.2fx (%s)\n", encoding.c_str(), entry.first, entry.second.c_str());
  }
  std::fprintf(stderr, "(%zu)\n", sink);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string pages, db, family;
  double seconds = 2.0;
  bool detail = false;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--detail") {
      detail = std::string(argv[i + 1]) == "1";
    } else if (option == "--family") {
      family = argv[i + 1];
    } else if (option == "--pages") {
      pages = argv[i + 1];
    } else if (option == "--db") {
      db = argv[i + 1];
    } else if (option == "--seconds") {
      seconds = std::atof(argv[i + 1]);
    } else {
      return Usage();
    }
  }
  if (argc % 2 == 0) return Usage();
  if (!family.empty()) return RunFamily(family, seconds);
  if (pages.empty() || db.empty()) return Usage();

  const orv::bench::BenchTexts texts = orv::bench::LoadBenchTexts(pages, kTextBytes, 64);
  if (texts.gbk.empty() || texts.utf8.empty()) {
    std::fprintf(stderr, "orvbench: no 64 KiB of HTML under %s\n", pages.c_str());
    return 1;
  }
  const orv::store::LoadedKeywordLists raw = orv::store::LoadKeywordLists(db);

  const auto compileStart = Clock::now();
  const CompiledSet gbk(raw.gbk);
  const CompiledSet utf8(raw.utf8);
  const double compileSeconds = std::chrono::duration<double>(Clock::now() - compileStart).count();

  struct Encoding {
    const char* name;
    const std::vector<std::string>& texts;
    const CompiledSet& compiled;
    const RawKeywordLists& raw;
  };
  std::size_t sink = 0;
  for (const Encoding& enc :
       {Encoding{"gbk", texts.gbk, gbk, raw.gbk}, Encoding{"utf8", texts.utf8, utf8, raw.utf8}}) {
    if (detail) {
      // Each operation of the compiled screen on its own (stderr, not part of the figures).
      using orv::keywords::StopAt;
      orv::keywords::ScanContext context;
      const auto each = [&](const char* what, const std::function<void(const std::string&)>& op) {
        std::fprintf(stderr, "%s %s %.1f\n", enc.name, what, Throughput(enc.texts, seconds, op));
      };
      each("free", [&](const std::string& t) {
        sink += orv::keywords::FindFirstWord(t, enc.compiled.free, context).has_value();
      });
      each("record", [&](const std::string& t) {
        sink +=
            orv::keywords::MatchRules(t, enc.compiled.record, StopAt::kAll, context).has_value();
      });
      each("deny", [&](const std::string& t) {
        sink += orv::keywords::MatchRules(t, enc.compiled.deny, StopAt::kAll, context).has_value();
      });
      each("replace", [&](const std::string& t) {
        std::string page = t, search = t;
        sink += static_cast<std::size_t>(
            orv::keywords::ReplaceWords(page, search, enc.compiled.replace, context).count);
      });
    }
    // The two engines must agree on every text before their speeds mean anything.
    std::size_t checked = 0;
    const double reference = Throughput(enc.texts, seconds, [&](const std::string& text) {
      const Outcome want = ScreenReference(text, enc.raw);
      if (!(want == ScreenCompiled(text, enc.compiled))) {
        std::fprintf(stderr, "orvbench: engines disagree on a %s text\n", enc.name);
        std::exit(1);
      }
      sink += want.deny ? want.deny->words.size() : 0;
      ++checked;
    });
    orv::bench::VectorscanScan vectorscan(DistinctWords(enc.raw));
    const std::vector<double> fast = ThroughputTogether(
        enc.texts, seconds,
        {[&](const std::string& text) { sink += ScreenCompiled(text, enc.compiled).page.size(); },
         [&](const std::string& text) { sink += vectorscan.Scan(text); }});
    const double compiled = fast[0];
    const double anchor = fast[1];
    // The reference figure includes the compiled screen it is checked against, which is
    // negligible next to it.
    std::printf("%s compiled %.1f\n", enc.name, compiled);
    std::printf("%s reference %.1f\n", enc.name, reference);
    std::printf("%s vectorscan %.1f\n", enc.name, anchor);
    std::fprintf(stderr, "%s: %zu texts of %zu bytes, %zu checked against the reference\n",
                 enc.name, enc.texts.size(), kTextBytes, checked);
  }
  std::printf("memory compiled-lists %.1f MiB (gbk %.1f, utf8 %.1f)\n",
              static_cast<double>(gbk.MemoryBytes() + utf8.MemoryBytes()) / (1 << 20),
              static_cast<double>(gbk.MemoryBytes()) / (1 << 20),
              static_cast<double>(utf8.MemoryBytes()) / (1 << 20));
  std::printf("compile compiled-lists %.3f s\n", compileSeconds);
  std::fprintf(stderr, "(%zu)\n", sink);
  return 0;
}
