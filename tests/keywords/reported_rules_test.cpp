// The indexed matched list against ReportRule itself, on lists long enough to be indexed:
// texts drawn from a few tokens (so that a text is often found inside the list, across the
// "," between entries, at its very start and its very end), of every length from 1 to 12
// bytes, with entries appended directly in between as ReplaceWords does for plain keys.
#include "keywords/reported_rules.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "keywords/rule_form.h"

namespace orv::keywords {
namespace {

TEST(ReportedRules, AgreesWithReportRuleOnLongLists) {
  const std::vector<std::string> tokens = {
      "a", "b", ",", "\xD6\xD0", "\xCE\xC4", "\xE4\xB8\xAD", "\xD0", "xyz"};
  std::mt19937 rng(31);
  for (int round = 0; round < 40; ++round) {
    std::string want, got;
    if (round % 4 == 1) got = want = "a,b";  // a caller's list that is not empty
    ReportedRules reports(got);
    for (int step = 0; step < 3000; ++step) {
      std::string text;
      const int pieces = 1 + static_cast<int>(rng() % (round % 3 == 0 ? 3 : 6));
      for (int k = 0; k < pieces; ++k) text += tokens[rng() % tokens.size()];
      if (rng() % 10 == 0) {
        want += ',' + text;
        got += ',' + text;
      } else {
        ReportRule(want, text);
        reports.Add(text);
      }
      ASSERT_EQ(got, want) << "round " << round << " step " << step << " text " << text;
    }
  }
}

TEST(ReportedRules, FindsTextsThatOnlyTheListsEndHolds) {
  // The last bytes of a list are too few for a gram of their own: a text that starts there
  // is still found, and one that runs past the end is not.
  std::string matched(2000, 'q');
  matched += ",\xD6\xD0z";
  ReportedRules reports(matched);
  reports.Add("\xD0z");
  reports.Add("z");
  reports.Add("qq,\xD6\xD0z");
  EXPECT_EQ(matched, std::string(2000, 'q') + ",\xD6\xD0z");
  reports.Add("\xD0zq");
  reports.Add("z,");  // across the comma the last call wrote
  reports.Add("q!");
  EXPECT_EQ(matched, std::string(2000, 'q') + ",\xD6\xD0z,\xD0zq,q!");
}

}  // namespace
}  // namespace orv::keywords
