// The compiled engine against the literal reference on random lists and texts built to
// collide: few distinct tokens, so words, parts and separators keep meeting each other, and
// double-byte characters cut in half so the short-word check is exercised from both sides.
//
// ORV_DIFF_CASES=N runs N text cases instead of the default (for long stress runs).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engines.h"
#include "keywords/page_text.h"

namespace orv::keywords {
namespace {

using testing::CompiledEngine;
using testing::ReferenceEngine;

constexpr long kDefaultCases = 100000;
constexpr int kTextsPerList = 40;

long CaseCount() {
  const char* env = std::getenv("ORV_DIFF_CASES");
  if (env == nullptr || *env == '\0') return kDefaultCases;
  const long n = std::strtol(env, nullptr, 10);
  return n > 0 ? n : kDefaultCases;
}

// Tokens: ASCII letters, the rule separators, stars, GBK characters (one whose trail byte
// is an ASCII letter), their lone halves, and a UTF-8 character with its pieces.
const std::vector<std::string> kTokens = {
    "a",
    "b",
    "c",
    "A",
    "+",
    "-",
    "=",
    "*",
    "\xD6\xD0",
    "\xCE\xC4",
    "\xD6",
    "\xD0",
    "\xCE",
    "\x81"
    "a",
    "\xE4\xB8\xAD",
    "\xB8\xAD",
    "\xE4",
    " ",
};

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

  std::string Tokens(int maxTokens, int alphabet) {
    std::string out;
    const int n = Below(maxTokens + 1);
    for (int i = 0; i < n; ++i) out += kTokens[static_cast<std::size_t>(Below(alphabet))];
    return out;
  }

  std::string Rule(int alphabet) {
    const int form = Below(4);
    if (form == 0) return Tokens(3, alphabet);
    const char sep = form == 1 ? '+' : '-';
    std::string rule;
    const int parts = 1 + Below(3);
    for (int p = 0; p < parts; ++p) {
      if (p > 0) rule += sep;
      rule += Tokens(2, alphabet);
    }
    if (Below(6) == 0) rule += sep;
    return rule;
  }

  KeywordList List(int alphabet) {
    KeywordList list;
    const int n = Below(7);
    for (int i = 0; i < n; ++i) {
      if (!list.empty() && Below(6) == 0) {
        list.push_back(list[static_cast<std::size_t>(Below(static_cast<int>(list.size())))]);
      } else {
        list.push_back(Rule(alphabet));
      }
    }
    return list;
  }

  ReplaceList Replace(int alphabet) {
    ReplaceList replace;
    replace.keys = List(alphabet);
    for (const std::string& key : replace.keys) {
      // Mostly fitted values (as loaded); now and then one that does not fit.
      std::string value = Tokens(3, alphabet);
      if (Below(8) != 0) {
        value.resize(key.size(), '*');
      }
      replace.values.push_back(value);
    }
    if (Below(50) == 0 && !replace.values.empty()) replace.values.pop_back();
    return replace;
  }

  std::string Text(int alphabet) { return Tokens(24, alphabet); }

 private:
  std::mt19937_64 rng_;
};

std::string Show(std::string_view bytes) {
  std::ostringstream out;
  out << '"';
  for (unsigned char c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out << c;
    } else {
      static const char* hex = "0123456789ABCDEF";
      out << "\\x" << hex[c >> 4] << hex[c & 15];
    }
  }
  out << '"';
  return out.str();
}

std::string Show(const KeywordList& list) {
  std::string out = "{";
  for (const std::string& s : list) out += Show(s) + ", ";
  return out + "}";
}

std::string Show(const std::optional<Match>& match) {
  if (!match) return "none";
  return Show(match->words) + "#" + std::to_string(match->rule) + "@" +
         std::to_string(match->position);
}

std::string Show(const Replacements& r) {
  return std::to_string(static_cast<int>(r.outcome)) + ":" + std::to_string(r.count) + " " +
         Show(r.words) + "@" + (r.position ? std::to_string(*r.position) : "none");
}

TEST(Differential, CompiledAgreesWithReference) {
  const long cases = CaseCount();
  Generator gen(20121101);
  long done = 0;
  long failures = 0;
  while (done < cases && failures < 5) {
    // Small alphabets make collisions likely; the full one mixes every kind of byte.
    const int alphabet = 3 + gen.Below(static_cast<int>(kTokens.size()) - 2);
    const KeywordList list = gen.List(alphabet);
    const CompiledList compiled(list);
    const ReplaceList replace = gen.Replace(alphabet);
    const CompiledReplaceList compiledReplace(replace);
    // The same lists compiled as one group over a shared automaton, asked in a page screen's
    // order, so that passes kept for reuse are exercised too.
    const KeywordList record = gen.List(alphabet);
    const KeywordList free = gen.List(alphabet);
    const CompiledGroup group = CompileGroup(list, replace, record, free);
    for (int t = 0; t < kTextsPerList && done < cases; ++t, ++done) {
      const std::string text = gen.Text(alphabet);
      for (StopAt stop : {StopAt::kAll, StopAt::kFirst}) {
        const auto want = reference::MatchRules(text, list, stop);
        const auto got = MatchRules(text, compiled, stop);
        if (want != got) {
          ++failures;
          ADD_FAILURE() << "MatchRules stop=" << static_cast<int>(stop) << " text=" << Show(text)
                        << " list=" << Show(list) << " want " << Show(want) << " got " << Show(got);
        }
      }
      {
        const auto want = reference::FindFirstWord(text, list);
        const auto got = FindFirstWord(text, compiled);
        if (want != got) {
          ++failures;
          ADD_FAILURE() << "FindFirstWord text=" << Show(text) << " list=" << Show(list) << " want "
                        << Show(want) << " got " << Show(got);
        }
      }
      if (t % 4 == 0) {
        bool same = reference::FindFirstWord(text, free) == FindFirstWord(text, group.free);
        same = same && reference::MatchRules(text, record, StopAt::kAll) ==
                           MatchRules(text, group.record, StopAt::kAll);
        same = same && reference::MatchRules(text, list, StopAt::kFirst) ==
                           MatchRules(text, group.deny, StopAt::kFirst);
        const auto replaced = ReferenceEngine::Replace(text, text, replace);
        std::string page = text;
        std::string screened = text;
        same = same && ReplaceWords(page, screened, group.replace) == replaced.result &&
               screened == replaced.search;
        // Once more on the text the replacement left, and on the original again.
        for (const std::string* again : {&replaced.search, &text}) {
          same = same && reference::MatchRules(*again, list, StopAt::kAll) ==
                             MatchRules(*again, group.deny, StopAt::kAll);
        }
        if (!same) {
          ++failures;
          ADD_FAILURE() << "group text=" << Show(text) << " deny=" << Show(list)
                        << " record=" << Show(record) << " free=" << Show(free)
                        << " keys=" << Show(replace.keys) << " values=" << Show(replace.values);
        }
      }
      {
        // The page differs from the search text in letter case only, as the callers pass it.
        std::string page = text;
        for (char& c : page) {
          if (c >= 'a' && c <= 'z' && gen.Below(2) == 0) c = static_cast<char>(c - 32);
        }
        const auto want = ReferenceEngine::Replace(page, text, replace);
        std::string gotPage = page, gotSearch = text;
        const Replacements got = ReplaceWords(gotPage, gotSearch, compiledReplace);
        if (want.result != got || want.page != gotPage || want.search != gotSearch) {
          ++failures;
          ADD_FAILURE() << "ReplaceWords text=" << Show(text) << " keys=" << Show(replace.keys)
                        << " values=" << Show(replace.values) << " want " << Show(want.result)
                        << " " << Show(want.search) << " got " << Show(got) << " "
                        << Show(gotSearch);
        }
      }
    }
  }
  EXPECT_EQ(failures, 0);
  EXPECT_EQ(done, cases);
}

// Long runs of one byte under patterns nested in one another make walking the trie from
// every offset too dear, and the search hands the rest of the text to one pass: what both
// parts found must add up to the reference's answer, short words and rules included. The
// one-byte word "\xD0" first occurs as the trail byte of a character, where it does not
// count, and on a character boundary only after the hand-over, inside the two-byte word.
TEST(Differential, RunsThatOutgrowTheWalksAgreeWithReference) {
  std::mt19937 rng(77);
  for (int round = 0; round < 12; ++round) {
    KeywordList list;
    for (int k = 40; k >= 1; k -= 1 + static_cast<int>(rng() % 3))
      list.push_back(std::string(k, 'a'));
    list.push_back("\xD6");
    list.push_back("\xD0");
    list.push_back("\xD6\xD0");
    list.push_back("a\xD6\xD0");
    list.push_back("aaa+\xD6\xD0");
    list.push_back("aaaa-b");
    std::shuffle(list.begin(), list.end(), rng);
    std::string text = "\xD6\xD0";
    while (text.size() < 9000) {
      text.append(1 + rng() % 3000, 'a');
      text += rng() % 2 == 0 ? "\xD6\xD0" : "b";
    }
    text += "\x81\xD6\xD0";
    const CompiledList compiled(list);
    for (StopAt stop : {StopAt::kAll, StopAt::kFirst}) {
      EXPECT_EQ(Show(reference::MatchRules(text, list, stop)),
                Show(MatchRules(text, compiled, stop)))
          << round;
    }
    EXPECT_EQ(Show(reference::FindFirstWord(text, list)), Show(FindFirstWord(text, compiled)))
        << round;
  }
}

}  // namespace
}  // namespace orv::keywords

namespace orv::keywords {
namespace {

// A page screen skips ReplaceWords on a decoded page when ReplaceMayApply says no key can act:
// it must never say so when one would. Pages mix the tokens with escapes that decode into
// them ("%61" is "a", "%2b" a "+", "%e4%b8%ad" the UTF-8 character), broken escapes and "+".
TEST(Differential, ReplaceMayApplyNeverHidesAReplacement) {
  const std::vector<std::string> escapes = {"%",   "%6",     "%61", "%41",    "%2b", "%2B",
                                            "%e4", "%b8%ad", "%25", "%d6%d0", "+",   "1"};
  Generator gen(20261208);
  const long cases = std::max(CaseCount() / 5, 1000L);
  long skipped = 0;
  for (long i = 0; i < cases; ++i) {
    const int alphabet = 3 + gen.Below(static_cast<int>(kTokens.size()) - 2);
    const CompiledGroup group =
        CompileGroup(gen.List(alphabet), gen.Replace(alphabet), gen.List(alphabet), {});
    std::string page;
    for (int n = gen.Below(12); n > 0; --n) {
      page += gen.Below(3) == 0
                  ? escapes[static_cast<std::size_t>(gen.Below(static_cast<int>(escapes.size())))]
                  : gen.Tokens(3, alphabet);
    }
    const std::string lowered = LowerAsciiCopy(page);
    std::string decoded = UrlDecode(page);
    LowerAsciiBytes(decoded);
    ScanContext context;
    if (gen.Below(2) == 0 && !decoded.empty()) {  // as a page screen leaves the pass behind
      MatchRules(decoded, group.deny, StopAt::kAll, context);
    }
    if (ReplaceMayApply(page, decoded, group.replace, context)) continue;
    ++skipped;
    std::string rewritten = page;
    std::string search = lowered;
    ASSERT_EQ(ReplaceWords(rewritten, search, group.replace).count, 0) << "page " << Show(page);
    ASSERT_EQ(rewritten, page);
  }
  EXPECT_GT(skipped, cases / 50);  // the shortcut is taken, not always refused
}

// Dictionaries and pages as a site has them, shrunk: hundreds of rules of one to four
// characters drawn from a vocabulary small enough that the words overlap one another all
// over a text of some kilobytes. Hundreds of rules then hold (a long matched list), and the
// replace list overwrites hundreds of words, each breaking the first occurrences of others
// that later keys ask about. Once with double-byte characters, once with UTF-8 ones, each
// with a few ASCII words and markup among them; the four lists of a page screen as one group.
TEST(Differential, LargeListsOnDenseTextsAgreeWithReference) {
  const std::vector<std::vector<std::string>> scripts = {
      {"\xD6\xD0", "\xCE\xC4", "\xB9\xFA", "\xC8\xCB", "\xC3\xF1", "\xBA\xCD", "\xD2\xBB",
       "\xB5\xC4", "\xB4\xF3", "\xB3\xF6", "\xA1\xA3", "\xC9\xCF"},
      {"\xE4\xB8\xAD", "\xE6\x96\x87", "\xE5\x9B\xBD", "\xE4\xBA\xBA", "\xE6\xB0\x91",
       "\xE5\x92\x8C", "\xE4\xB8\x80", "\xE7\x9A\x84", "\xE5\xA4\xA7", "\xE5\x87\xBA"}};
  const std::vector<std::string> ascii = {"div", "class", "the", "a", "href", "<p>", " "};
  std::mt19937_64 rng(77);
  const auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  for (int round = 0; round < 12; ++round) {
    const auto& chars = scripts[static_cast<std::size_t>(round % 2)];
    const auto word = [&] {
      if (below(8) == 0) return ascii[below(ascii.size())];
      std::string w;
      for (std::size_t n = 1 + below(4); n > 0; --n) w += chars[below(chars.size())];
      return w;
    };
    const auto rules = [&](std::size_t count) {
      KeywordList list;
      for (std::size_t i = 0; i < count; ++i) {
        const std::size_t form = below(10);
        if (form == 0) {
          list.push_back(word() + "+" + word());
        } else if (form == 1) {
          list.push_back(word() + "-" + word());
        } else {
          list.push_back(word());
        }
      }
      return list;
    };
    const KeywordList deny = rules(1500), record = rules(150), free = rules(50);
    ReplaceList replace;
    replace.keys = rules(300);
    for (const std::string& key : replace.keys) {
      std::string value = below(2) == 0 ? word() : std::string();
      value.resize(key.size(), '*');
      replace.values.push_back(value);
    }
    const CompiledGroup group = CompileGroup(deny, replace, record, free);
    std::string text;
    while (text.size() < 3000 + 1000 * static_cast<std::size_t>(round)) {
      text += below(6) == 0 ? ascii[below(ascii.size())] : chars[below(chars.size())];
    }
    EXPECT_EQ(Show(reference::FindFirstWord(text, free)), Show(FindFirstWord(text, group.free)));
    std::optional<Match> want;
    for (const auto* lists : {&record, &deny}) {
      const CompiledList& compiled = lists == &deny ? group.deny : group.record;
      want = reference::MatchRules(text, *lists, StopAt::kAll);
      EXPECT_EQ(Show(want), Show(MatchRules(text, compiled, StopAt::kAll))) << "round " << round;
    }
    ASSERT_TRUE(want);
    EXPECT_GT(want->words.size(), 1024u) << "the matched list is long enough to be indexed";
    const auto wantReplaced = ReferenceEngine::Replace(text, text, replace);
    testing::ReplaceRun gotReplaced;
    gotReplaced.page = gotReplaced.search = text;
    gotReplaced.result = ReplaceWords(gotReplaced.page, gotReplaced.search, group.replace);
    EXPECT_GT(wantReplaced.result.count, 100) << "round " << round;
    EXPECT_TRUE(wantReplaced == gotReplaced) << "round " << round;
  }
}

// Short words (a character or half of one) met only after long runs of ASCII, of two-byte
// characters, of both and of bytes that start no character (0x80, 0xFF), so that whether an
// occurrence starts on a character boundary is told at the end of a long walk, which passes
// whole runs at once. The characters include trail bytes at and above 0x81 and below 0x80,
// and the words straddle two characters as well as fill one.
TEST(Differential, ShortWordsAfterLongRunsAgreeWithReference) {
  const std::vector<std::string> characters = {"\xD6\xD0",
                                               "\xD0\xD6",
                                               "\x81"
                                               "a",
                                               "\xB5\xC4",
                                               "\xFE\xFE",
                                               "\x81\x81"};
  const std::vector<std::string> odd = {"\x80", "\xFF", "\xD6"};
  const KeywordList list = {"\xD0\xD6", "\xD6\xD0", "a",     "\xD6",    "\xD0",
                            "\x81",     "\xFE",     "a\xD6", "\x81\x81"};
  const CompiledList compiled(list);
  std::mt19937_64 rng(4242);
  const auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (std::size_t run = below(6); run > 0; --run) {
      switch (below(4)) {
        case 0:
          text.append(below(40), below(2) == 0 ? 'b' : '<');
          break;
        case 1:
          for (std::size_t n = below(30); n > 0; --n) text += characters[below(3) + 3];
          break;
        case 2:
          for (std::size_t n = below(30); n > 0; --n) {
            text += below(3) == 0 ? std::string("x") : characters[below(characters.size())];
          }
          break;
        default:
          text += odd[below(odd.size())];
      }
    }
    // The word whose boundary is in question comes last, after everything above.
    text += below(2) == 0 ? characters[below(characters.size())] : odd[below(odd.size())];
    if (below(2) == 0) text += "a";
    for (StopAt stop : {StopAt::kAll, StopAt::kFirst}) {
      ASSERT_EQ(Show(reference::MatchRules(text, list, stop)),
                Show(MatchRules(text, compiled, stop)))
          << Show(text);
    }
    ASSERT_EQ(Show(reference::FindFirstWord(text, list)), Show(FindFirstWord(text, compiled)))
        << Show(text);
  }
}

// Words of a three-letter alphabet, each occurring hundreds of times: AND keys star every
// occurrence of their parts one after the other, while plain keys before and between them
// write values that make new occurrences, some of them before the offsets already walked and
// some of them over occurrences the pass found. Each part's next occurrence must be found
// after every change, whether the pass or a change made it.
TEST(Differential, OccurrencesWalkedOneByOneAgreeWithReference) {
  std::mt19937_64 rng(909);
  const auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const auto word = [&](std::size_t length) {
    std::string w;
    for (std::size_t n = 0; n < length; ++n) w += static_cast<char>('a' + below(3));
    return w;
  };
  for (int round = 0; round < 40; ++round) {
    ReplaceList replace;
    for (std::size_t k = 0; k < 6 + below(10); ++k) {
      if (below(3) == 0) {
        replace.keys.push_back(word(1 + below(2)) + "+" + word(1 + below(3)));
        replace.values.push_back(std::string(replace.keys.back().size(), '*'));
      } else {
        replace.keys.push_back(word(2 + below(2)));
        std::string value = word(replace.keys.back().size());
        if (below(4) == 0) value[below(value.size())] = '*';
        replace.values.push_back(value);
      }
    }
    const CompiledGroup group = CompileGroup({}, replace, {}, {});
    const std::string text = word(500 + 100 * static_cast<std::size_t>(round));
    const auto want = ReferenceEngine::Replace(text, text, replace);
    testing::ReplaceRun got;
    got.page = got.search = text;
    ScanContext context;
    const ScanContext::Pin pin(context, got.search);
    got.result = ReplaceWords(got.page, got.search, group.replace, context);
    EXPECT_TRUE(want == got) << "round " << round << " keys " << Show(replace.keys) << " got "
                             << Show(got.result) << " want " << Show(want.result);
  }
}

}  // namespace
}  // namespace orv::keywords

namespace orv::keywords {
namespace {

// Many words that begin with the same few bytes (an English word or a common character
// followed by one of many characters, words of one stem in several lengths), so that one
// gram leads to a long group of words to confirm. Texts end on a group's word cut short or
// whole, so a confirmation may reach the last byte; both encodings.
TEST(Differential, LargeGroupsOfOneStartAgreeWithReference) {
  const std::vector<std::vector<std::string>> scripts = {
      {"\xD6\xD0", "\xCE\xC4", "\xB9\xFA", "\xC8\xCB", "\xC3\xF1", "\xBA\xCD", "\xD2\xBB",
       "\xB5\xC4", "\xB4\xF3", "\xB3\xF6", "\xA1\xA3", "\xC9\xCF", "\xD6\xD1", "\xD6\xCF"},
      {"\xE4\xB8\xAD", "\xE6\x96\x87", "\xE5\x9B\xBD", "\xE4\xBA\xBA", "\xE6\xB0\x91",
       "\xE5\x92\x8C", "\xE4\xB8\x80", "\xE7\x9A\x84", "\xE5\xA4\xA7", "\xE5\x87\xBA",
       "\xE4\xB8\xAE", "\xE4\xB8\xAC"}};
  const std::vector<std::string> stems = {"the", "them", "class", "a"};
  std::mt19937_64 rng(2026);
  const auto below = [&](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  for (int round = 0; round < 16; ++round) {
    const auto& chars = scripts[static_cast<std::size_t>(round % 2)];
    std::vector<std::string> words;
    for (const std::string& stem : stems) {
      words.push_back(stem);
      words.push_back(stem + "ory");
      words.push_back(stem + "atre");
      for (const std::string& c : chars) {
        words.push_back(stem + c);
        if (below(2) == 0) words.push_back(stem + c + chars[below(chars.size())]);
      }
    }
    for (const std::string& c : chars) {
      for (const std::string& d : chars) {
        if (below(3) == 0) words.push_back(c + d);
        if (below(4) == 0) words.push_back(c + d + chars[below(chars.size())]);
      }
    }
    std::sort(words.begin(), words.end());
    words.erase(std::unique(words.begin(), words.end()), words.end());
    std::shuffle(words.begin(), words.end(), rng);
    KeywordList deny, record, free;
    ReplaceList replace;
    for (const std::string& w : words) {
      const std::size_t pick = below(10);
      if (pick < 5) {
        deny.push_back(w);
      } else if (pick == 5) {
        deny.push_back(w + "+" + words[below(words.size())]);
      } else if (pick == 6) {
        deny.push_back(w + "-" + words[below(words.size())]);
      } else if (pick == 7) {
        record.push_back(w);
      } else if (pick == 8) {
        replace.keys.push_back(w);
        replace.values.push_back(std::string(w.size(), '*'));
      } else {
        free.push_back(w);
      }
    }
    const CompiledGroup group = CompileGroup(deny, replace, record, free);
    std::string text;
    while (text.size() < 200 + 300 * static_cast<std::size_t>(round)) {
      const std::size_t pick = below(4);
      if (pick == 0) {
        text += words[below(words.size())];
      } else if (pick == 1) {
        text += stems[below(stems.size())];
      } else {
        text += chars[below(chars.size())];
      }
      if (below(5) == 0) text += ' ';
    }
    const std::string& last = words[below(words.size())];
    text += last.substr(0, below(last.size() + 1));
    SCOPED_TRACE(round);
    ScanContext context;
    EXPECT_EQ(Show(reference::FindFirstWord(text, free)),
              Show(FindFirstWord(text, group.free, context)));
    EXPECT_EQ(Show(reference::MatchRules(text, record, StopAt::kAll)),
              Show(MatchRules(text, group.record, StopAt::kAll, context)));
    EXPECT_EQ(Show(reference::MatchRules(text, deny, StopAt::kAll)),
              Show(MatchRules(text, group.deny, StopAt::kAll, context)));
    EXPECT_EQ(Show(reference::MatchRules(text, deny, StopAt::kFirst)),
              Show(MatchRules(text, CompiledList(deny), StopAt::kFirst)));
    const auto want = ReferenceEngine::Replace(text, text, replace);
    std::string page = text, search = text;
    const Replacements got = ReplaceWords(page, search, group.replace, context);
    EXPECT_EQ(Show(want.result), Show(got));
    EXPECT_EQ(want.search, search);
  }
}

}  // namespace
}  // namespace orv::keywords
