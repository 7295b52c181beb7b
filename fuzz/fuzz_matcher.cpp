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

  namespace kw = orv::keywords;
  namespace ref = orv::keywords::reference;
  const kw::CompiledList compiled(list);
  for (kw::StopAt stop : {kw::StopAt::kAll, kw::StopAt::kFirst}) {
    Check(ref::MatchRules(text, list, stop) == kw::MatchRules(text, compiled, stop));
  }
  Check(ref::FindFirstWord(text, list) == kw::FindFirstWord(text, compiled));
  {
    std::string wantPage = text, wantSearch = text, gotPage = text, gotSearch = text;
    for (std::size_t i = 0; i < wantPage.size(); i += 3) wantPage[i] = gotPage[i] = 'Q';
    const kw::Replacements want =
        ref::ReplaceWords(wantPage, wantSearch, replace.keys, replace.values);
    const kw::Replacements got =
        kw::ReplaceWords(gotPage, gotSearch, kw::CompiledReplaceList(replace));
    Check(want == got && wantPage == gotPage && wantSearch == gotSearch);
  }
  {
    // The same list as deny, record and free over one shared automaton, asked in a page
    // screen's order so that a kept pass is reused and then dropped by a replacement.
    const auto group = kw::CompileGroup(list, replace, list, list);
    Check(ref::FindFirstWord(text, list) == kw::FindFirstWord(text, group.free));
    Check(ref::MatchRules(text, list, kw::StopAt::kAll) ==
          kw::MatchRules(text, group.record, kw::StopAt::kAll));
    std::string wantSearch = text, gotSearch = text, wantPage = text, gotPage = text;
    Check(ref::ReplaceWords(wantPage, wantSearch, replace.keys, replace.values) ==
          kw::ReplaceWords(gotPage, gotSearch, group.replace));
    Check(wantSearch == gotSearch);
    for (const std::string* again : {static_cast<const std::string*>(&wantSearch), &text}) {
      Check(ref::MatchRules(*again, list, kw::StopAt::kFirst) ==
            kw::MatchRules(*again, group.deny, kw::StopAt::kFirst));
    }
  }
  return 0;
}
