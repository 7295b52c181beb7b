// The compiled keyword engine against the literal algorithm on lists and texts taken from
// the input; any difference aborts. Input: entries separated by "\n" up to a "\x01" byte,
// the text after it. Replace entries are the same list with "=" cutting key from value.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "keywords/matching.h"
#include "keywords/reference_matching.h"

namespace {

using orv::keywords::KeywordList;
using orv::keywords::ReplaceList;

void Check(bool same) {
  if (!same) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const std::size_t cut = input.find('\x01');
  const std::string_view listText = input.substr(0, cut);
  const std::string text(cut == std::string_view::npos ? std::string_view{}
                                                       : input.substr(cut + 1));

  KeywordList list;
  ReplaceList replace;
  for (std::size_t start = 0; start <= listText.size() && list.size() < 64;) {
    std::size_t end = listText.find('\n', start);
    if (end == std::string_view::npos) end = listText.size();
    const std::string entry(listText.substr(start, end - start));
    list.push_back(entry);
    const std::size_t eq = entry.find('=');
    replace.keys.push_back(entry.substr(0, eq));
    replace.values.push_back(eq == std::string::npos ? std::string() : entry.substr(eq + 1));
    start = end + 1;
  }

  const orv::keywords::CompiledList compiled(list);
  for (bool stop : {false, true}) {
    std::string want, got;
    long wantAt = -1, gotAt = -1;
    Check(orv::keywords::reference::MatchRules(text, list, want, wantAt, stop) ==
          orv::keywords::MatchRules(text, compiled, got, gotAt, stop));
    Check(want == got && wantAt == gotAt);
  }
  {
    std::string want, got;
    long wantAt = 9, gotAt = 9;
    Check(orv::keywords::reference::FindFirstWord(text, list, want, wantAt) ==
          orv::keywords::FindFirstWord(text, compiled, got, gotAt));
    Check(want == got && wantAt == gotAt);
  }
  {
    std::string wantPage = text, wantSearch = text, gotPage = text, gotSearch = text;
    for (std::size_t i = 0; i < wantPage.size(); i += 3) wantPage[i] = gotPage[i] = 'Q';
    std::string want, got;
    long wantAt = -1, gotAt = -1;
    const int wantCount = orv::keywords::reference::ReplaceWords(wantPage, wantSearch, replace.keys,
                                                                 replace.values, want, wantAt);
    const int gotCount = orv::keywords::ReplaceWords(
        gotPage, gotSearch, orv::keywords::CompiledReplaceList(replace), got, gotAt);
    Check(wantCount == gotCount && wantPage == gotPage && wantSearch == gotSearch && want == got &&
          wantAt == gotAt);
  }
  {
    // The same list as deny, record and free over one shared automaton, asked in a page
    // screen's order so that a kept pass is reused and then dropped by a replacement.
    const auto group = orv::keywords::CompileGroup(list, replace, list, list);
    std::string want, got;
    long wantAt = -1, gotAt = -1;
    Check(orv::keywords::reference::FindFirstWord(text, list, want, wantAt) ==
          orv::keywords::FindFirstWord(text, group.free, got, gotAt));
    Check(want == got && wantAt == gotAt);
    Check(orv::keywords::reference::MatchRules(text, list, want, wantAt, false) ==
          orv::keywords::MatchRules(text, group.record, got, gotAt, false));
    Check(want == got && wantAt == gotAt);
    std::string wantSearch = text, gotSearch = text, wantPage = text, gotPage = text;
    wantAt = gotAt = -1;
    Check(orv::keywords::reference::ReplaceWords(wantPage, wantSearch, replace.keys, replace.values,
                                                 want, wantAt) ==
          orv::keywords::ReplaceWords(gotPage, gotSearch, group.replace, got, gotAt));
    Check(want == got && wantAt == gotAt && wantSearch == gotSearch);
    for (const std::string* again : {static_cast<const std::string*>(&wantSearch), &text}) {
      wantAt = gotAt = -1;
      Check(orv::keywords::reference::MatchRules(*again, list, want, wantAt, true) ==
            orv::keywords::MatchRules(*again, group.deny, got, gotAt, true));
      Check(want == got && wantAt == gotAt);
    }
  }
  return 0;
}
