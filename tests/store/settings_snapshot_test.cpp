#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "store/filter_settings.h"

namespace orv::store {
namespace {

// A record whose every field is derived from one generation number, so a reader can tell a
// whole record from one mixed out of two.
FilterSettings Generation(int g) {
  const std::string tag = std::to_string(g);
  FilterSettings s;
  s.enabled = g % 2 == 0;
  s.safeCode = tag;
  s.fileTypes = "|" + tag + "|";
  s.logPath = "/logs/" + tag;
  s.keywordBlockPage = std::string(static_cast<std::size_t>(g % 50) * 20, 'k') + tag;
  s.blackUrls.assign(static_cast<std::size_t>(g % 7) + 1, tag);
  s.gbk.deny = keywords::CompiledList({"w" + tag, "x" + tag});
  s.utf8.replace = keywords::CompiledReplaceList({{"k" + tag}, {std::string(tag.size() + 1, '*')}});
  return s;
}

// Returns the generation the record belongs to, or -1 when its fields disagree.
int WholeGeneration(const FilterSettings& s) {
  const int g = std::stoi(s.safeCode);
  const std::string tag = std::to_string(g);
  const keywords::ReplaceList& replace = s.utf8.replace.list();
  const bool whole =
      s.enabled == (g % 2 == 0) && s.fileTypes == "|" + tag + "|" && s.logPath == "/logs/" + tag &&
      s.keywordBlockPage.size() == static_cast<std::size_t>(g % 50) * 20 + tag.size() &&
      s.keywordBlockPage.ends_with(tag) &&
      s.blackUrls == std::vector<std::string>(static_cast<std::size_t>(g % 7) + 1, tag) &&
      s.gbk.deny.rules() == keywords::KeywordList{"w" + tag, "x" + tag} &&
      replace.keys == keywords::KeywordList{"k" + tag} &&
      replace.values == keywords::KeywordList{std::string(tag.size() + 1, '*')};
  return whole ? g : -1;
}

// Readers take snapshots while a writer publishes a new record every iteration (as an hourly
// reload does while requests run); one reads through a pin kept from read to read, as a
// request's notifications do. Built and run under ThreadSanitizer too.
TEST(SettingsSnapshot, ReadersAlwaysSeeAWholeRecord) {
  constexpr int kGenerations = 200;
  constexpr int kReaders = 2;
  // Built beforehand, so that publishing runs as fast as the readers read.
  std::vector<FilterSettings> records;
  for (int g = 1; g <= kGenerations; ++g) records.push_back(Generation(g));
  SettingsSnapshot snapshot(Generation(0));
  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::atomic<int> wentBack{0};
  std::atomic<long> reads{0};

  std::vector<std::thread> readers;
  for (int r = 0; r < kReaders; ++r) {
    readers.emplace_back([&, pinned = r == 0] {
      int last = 0;
      SettingsPin pin;
      do {
        std::shared_ptr<const FilterSettings> held;
        const FilterSettings& current = pinned ? snapshot.Current(pin) : *(held = snapshot.Get());
        const int g = WholeGeneration(current);
        if (g < 0) ++torn;
        if (g < last) ++wentBack;  // a snapshot never goes back to an older record
        last = g;
        ++reads;
      } while (!done.load());
    });
  }
  // A record held by a reader stays valid while newer ones are published.
  const std::shared_ptr<const FilterSettings> held = snapshot.Get();
  while (reads.load() < kReaders) std::this_thread::yield();  // readers are running
  for (FilterSettings& record : records) {
    snapshot.Publish(std::move(record));
    std::this_thread::yield();
  }
  done = true;
  for (std::thread& t : readers) t.join();

  EXPECT_EQ(torn.load(), 0);
  EXPECT_EQ(wentBack.load(), 0);
  EXPECT_GE(reads.load(), kReaders);
  EXPECT_EQ(WholeGeneration(*held), 0);
  EXPECT_EQ(WholeGeneration(*snapshot.Get()), kGenerations);
}

TEST(SettingsSnapshot, APinKeepsItsRecordUntilTheNextPublication) {
  SettingsSnapshot snapshot(Generation(0));
  SettingsPin pin;
  const FilterSettings& first = snapshot.Current(pin);
  EXPECT_EQ(WholeGeneration(first), 0);
  EXPECT_EQ(&snapshot.Current(pin), &first);  // no new record: the same one, not a copy
  EXPECT_EQ(pin.record, snapshot.Get());

  snapshot.Publish(Generation(1));
  EXPECT_EQ(WholeGeneration(snapshot.Current(pin)), 1);
  EXPECT_EQ(pin.record, snapshot.Get());
  // A pin taken from another snapshot, or never taken, is not mistaken for a current one.
  SettingsSnapshot other(Generation(5));
  EXPECT_EQ(WholeGeneration(other.Current(pin)), 5);
  SettingsPin fresh;
  EXPECT_EQ(WholeGeneration(snapshot.Current(fresh)), 1);
}

}  // namespace
}  // namespace orv::store
