// The one-pass search against the restart scan it replaces: random patterns with anchors
// and two-byte characters, texts with both line separators, the families whose restart
// scan is quadratic, successive matches, FindInLines against its per-line definition,
// and the empty text.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <random>
#include <string>
#include <vector>

#include "../support/RandomCases.h"
#include "PatternGen.h"
#include "RestartScan.h"
#include "SjisRegExp/LinearScan.h"
#include "SjisRegExp/MatchCore.h"

namespace SjisRegExp {
namespace {

using testing::RestartFindInLines;
using testing::RestartMatch;
using testing::RestartScanAnchored;
using testing::RestartScanFrom;
using testing::RulesOf;

// Ｂ (trail byte "a"), あ, カ (trail "J"), ャ (trail "b"), and a character with trail LF.
const std::vector<std::string> kWide = {"\x82\x61", "\x82\xA0", "\x83\x4A", "\x83\x62", "\x82\n"};

std::pair<int, int> Span(const MatchSpan& m, const char* begin) {
  if (m.start == nullptr) return {0, 0};
  return {static_cast<int>(m.start - begin) + 1, static_cast<int>(m.end - m.start)};
}

ScanRules PlainRules() {
  ScanRules rules;
  rules.lineTailRule = false;
  return rules;
}

// Every way in: Match, ScanFrom, FindInLines and LinearScan called directly (the scans
// only hand over to it on long texts), each against the restart scan.
int CompareAll(TMatchCORE& awk, const std::string& pattern, const std::string& text) {
  int mismatches = 0;
  const char* b = text.data();
  const char* e = b + text.size();
  const TRE_DFA& dfa = awk.CurrentDFA();
  const bool anchored = dfa.LineHeadMark() || dfa.LineTailMark();
  const auto check = [&](const char* what, MatchSpan got, MatchSpan want) {
    if (Span(got, b) != Span(want, b)) {
      if (++mismatches <= 3) {
        ADD_FAILURE() << what << " pattern \"" << pattern << "\" text \"" << text << "\" separator "
                      << int(awk.LineSeparator()) << ": got " << Span(got, b).first << ","
                      << Span(got, b).second << " want " << Span(want, b).first << ","
                      << Span(want, b).second;
      }
    }
  };
  const auto rules = RulesOf(awk);
  int start = 0;
  int length = 0;
  awk.Match(text, start, length);
  const MatchSpan want = RestartMatch(dfa, b, e, rules);
  if (std::make_pair(start, length) != Span(want, b)) {
    check("Match", {start ? b + start - 1 : nullptr, b + start - 1 + length}, want);
  }
  check("ScanFrom", awk.ScanFrom(b, e), RestartScanFrom(dfa, b, e, rules));
  check("FindInLines", awk.FindInLines(b, e), RestartFindInLines(dfa, b, e));
  LinearScanScratch scratch;
  check("LinearScan from", LinearScan<true>(dfa, scratch, b, e, false, awk.Rules()),
        RestartScanFrom(dfa, b, e, rules));
  if (anchored) {
    check("LinearScan anchored", LinearScan<true>(dfa, scratch, b, e, true, awk.Rules()),
          RestartScanAnchored(dfa, b, e, rules));
  } else {
    check("LinearScan plain", LinearScan<true>(dfa, scratch, b, e, false, PlainRules()),
          testing::ReferenceScan(dfa, b, e));
  }
  return mismatches;
}

TEST(LinearSearchTest, AgreesWithTheRestartScanOnRandomPatterns) {
  testing::PatternGenOptions options;
  options.alphabet = "ab\n\r^$";
  options.anchors = true;
  options.wideChars = kWide;
  options.maxDepth = 3;
  testing::PatternGen gen(1208, options);
  int cases = 0;
  int mismatches = 0;
  int matched = 0;
  for (int i = 0; i < sorbit::testing::RandomCases(2500); ++i) {
    std::string pattern = gen.Pattern();
    if (gen.Pick(3) == 0) pattern = "^" + pattern;
    if (gen.Pick(3) == 0) pattern += "$";
    if (gen.Pick(6) == 0) pattern += "|";  // an empty branch beside the rest
    TMatchCORE awk;
    try {
      awk.SetRegExp(pattern);
    } catch (const ERegExpParser&) {
      continue;  // a class such as [^...] can come out empty
    }
    TPatternOptions crlf;
    TPatternOptions lf;
    lf.LineSeparator = mcls_LF;
    const TCompiledRegExp compiled[] = {TCompiledRegExp(pattern, crlf),
                                        TCompiledRegExp(pattern, lf)};
    for (int k = 0; k < 6; ++k) {
      std::string text = gen.Text(30, "c\n\r");
      if (gen.Pick(8) == 0) text.insert(gen.Pick(static_cast<int>(text.size()) + 1), 1, '\0');
      for (auto separator : {mcls_CRLF, mcls_LF}) {
        awk.SetLineSeparator(separator);
        mismatches += CompareAll(awk, pattern, text);
        // The public LongestAt, which reads zero bytes as characters, from the text's start.
        const auto at = compiled[separator == mcls_LF].LongestAt(text, 0);
        const char* longest = testing::RestartLongestAtLineHead(
            awk.CurrentDFA(), text.data(), text.data() + text.size(),
            {separator == mcls_CRLF ? CharCode{'\r'} : CharCode{'\n'}, false});
        EXPECT_EQ(at ? text.data() + *at : nullptr, longest) << pattern << " on " << text;
        int start = 0;
        int length = 0;
        matched += awk.Match(text, start, length) > 0;
        ++cases;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(matched, cases / 4);
  std::printf("[ linear ] %d cases, %d with a match\n", cases, matched);
}

// Patterns whose restart scan is quadratic, and others, on texts long enough that the
// scans hand over to the one-pass search part way.
TEST(LinearSearchTest, TheFamiliesAgreeOnLongTexts) {
  const char* patterns[] = {"a+b",        "(a|aa)*b",          "(x+x+)+y",  "a*a*a*a*a*b",
                            "(ab|a)*c",   "[a-z]+[0-9]",       "^a+b",      "a+$",
                            "a+b|a",      "(a|b)*a(a|b)(a|b)", "^(a|b)*c$", "a*",
                            "\x82\xA0+b", "a+\r|a+b$"};
  // The restart scan reads about 30,000 bytes for a run of 250: far past the budget at
  // which the scans hand over, and still quick for the restart scan itself.
  const std::string runs[] = {std::string(250, 'a'), std::string(250, 'q'), std::string(250, 'x'),
                              std::string(150, 'a') + "\n",
                              std::string(120, 'a') + "\r\n" + std::string(120, 'a')};
  int mismatches = 0;
  for (const char* pattern : patterns) {
    TMatchCORE awk;
    awk.SetRegExp(pattern);
    for (const std::string& run : runs) {
      for (const std::string& tail :
           {std::string(), std::string("b"), std::string("1y"), std::string("\xA0\x82\xA0")}) {
        for (auto separator : {mcls_CRLF, mcls_LF}) {
          awk.SetLineSeparator(separator);
          mismatches += CompareAll(awk, pattern, run + tail);
          mismatches += CompareAll(awk, pattern, run + tail + run);
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// Processor time of this thread, which other work on the machine does not inflate.
double ThreadSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Long runs cost time in proportion to their length: eight times the run, at most a
// little over eight times the time (the restart scan took sixty-four times, and minutes
// for 400 kB), whatever the build's speed.
TEST(LinearSearchTest, QuadraticFamiliesRunInLinearTime) {
  const struct {
    const char* pattern;
    char fill;
  } cases[] = {{"a+b", 'a'},      {"(a|aa)*b", 'a'},    {"(x+x+)+y", 'x'}, {"a*a*a*a*a*b", 'a'},
               {"(ab|a)*c", 'a'}, {"[a-z]+[0-9]", 'q'}, {"^a+$", 'a'}};
  for (const auto& c : cases) {
    TMatchCORE awk;
    awk.SetRegExp(c.pattern);
    const auto timed = [&](std::size_t size) {
      const std::string text(size, c.fill);
      double fastest = 1e9;
      for (int round = 0; round < 3; ++round) {
        const double t0 = ThreadSeconds();
        int start = 0;
        int length = 0;
        const int result = awk.Match(text, start, length);
        fastest = std::min(fastest, ThreadSeconds() - t0);
        if (std::string(c.pattern) == "^a+$") {
          EXPECT_EQ(result, 1);
          EXPECT_EQ(static_cast<std::size_t>(length), size);
        } else {
          EXPECT_EQ(result, 0) << c.pattern;
        }
      }
      return fastest;
    };
    const double small = timed(25'000);
    const double large = timed(200'000);
    EXPECT_LT(large, 24 * small + 0.005) << c.pattern << ": " << small << " s, then " << large;
    EXPECT_LT(large, 10.0) << c.pattern;
  }
}

TEST(LinearSearchTest, SuccessiveMatchesAgree) {
  const char* patterns[] = {"a+b", "a|b+", "^a*", "b*$", "(ab|a)*", "x?", "\x82\xA0|a\r"};
  testing::PatternGenOptions options;
  options.alphabet = "ab";
  options.wideChars = kWide;
  testing::PatternGen gen(77, options);
  for (const char* pattern : patterns) {
    TMatchCORE awk;
    awk.SetRegExp(pattern);
    for (int k = 0; k < 40; ++k) {
      const std::string text = gen.Text(200, "\n\r");
      const char* end = text.data() + text.size();
      std::vector<std::pair<int, int>> got;
      std::vector<std::pair<int, int>> want;
      for (const char* p = text.data(); p < end;) {
        int start = 0;
        int length = 0;
        if (awk.Match(std::string_view(p, static_cast<std::size_t>(end - p)), start, length) == 0)
          break;
        got.emplace_back(static_cast<int>(p - text.data()) + start, length);
        p += start - 1 + (length > 0 ? length : 1);
      }
      for (const char* p = text.data(); p < end;) {
        const MatchSpan m = RestartMatch(awk.CurrentDFA(), p, end, RulesOf(awk));
        if (m.start == nullptr) break;
        want.emplace_back(static_cast<int>(m.start - text.data()) + 1,
                          static_cast<int>(m.end - m.start));
        p = m.end > m.start ? m.end : m.start + 1;
      }
      EXPECT_EQ(got, want) << pattern << " on " << text;
    }
  }
}

// An anchored pattern that matches the empty string matches the empty text (it found
// nothing when only the line-head reading was tried there).
TEST(LinearSearchTest, EmptyTextMatchesAnchoredPatternsThatMatchEmpty) {
  const struct {
    const char* pattern;
    int result;
  } cases[] = {{"^a$|b?", 1}, {"^.b$|(b?)", 1}, {"^x|y*", 1}, {"^$", 1}, {"$", 1},
               {"^", 1},      {"^a", 0},        {"a$", 0},    {"", 1},   {"b?", 1}};
  for (const auto& c : cases) {
    TMatchCORE awk;
    awk.SetRegExp(c.pattern);
    for (const std::string& text : {std::string(), std::string(1, '\0'), std::string("\0ab", 3)}) {
      int start = -1;
      int length = -1;
      EXPECT_EQ(awk.Match(text, start, length), c.result) << c.pattern;
      EXPECT_EQ(start, c.result) << c.pattern;
      EXPECT_EQ(length, 0) << c.pattern;
    }
  }
}

// sjisgrep counts the lines "abc", "", "xyz", "" under "^x|y*": all four match.
TEST(LinearSearchTest, FindInLinesFindsEveryLineOfAnEmptyMatch) {
  TMatchCORE awk;
  awk.SetRegExp("^x|y*");
  awk.SetLineSeparator(mcls_LF);
  const std::string text = "abc\n\nxyz\n\n";
  int lines = 0;
  const char* end = text.data() + text.size();
  for (const char* p = text.data(); p < end;) {
    const MatchSpan m = awk.FindInLines(p, end);
    if (m.start == nullptr) break;
    ++lines;
    const void* lf = std::memchr(m.start, '\n', static_cast<std::size_t>(end - m.start));
    p = lf != nullptr ? static_cast<const char*>(lf) + 1 : end;
  }
  EXPECT_EQ(lines, 4);
}

struct LinesCase {
  const char* pattern;
  std::string text;
  int start;  // 1-based, 0 for none
  int length;
};

TEST(LinearSearchTest, FindInLinesTable) {
  using namespace std::string_literals;
  const LinesCase crlf[] = {
      {"c$", "abc\r\nxc\n", 3, 1},  // before the CR of a CR LF line
      {"^b", "a\nb", 3, 1},         // a line head after the LF
      {"^b", "ab\nab", 0, 0},       //
      {"a\nb", "a\nb", 0, 0},       // a match never crosses a line
      {"x", "ab\0x\nyx"s, 4, 1},    // a zero byte is a character like any other
      {"^x", "\0x\nx"s, 4, 1},      // no line head after it
      {"a$", "a\0\nxa"s, 5, 1},     // nor a line end before it
      {"^$", "a\n\nb", 3, 0},       // an empty line
      {"b+",
       "\x82"
       "b\nbb",
       4, 2},                      // the trail byte b is not a start
      {"y*", "", 0, 0},            // no line in an empty range
      {"y*", "\n", 1, 0},          //
      {"q", "\n\n\nq\r\n", 4, 1},  //
      {"$", "ab\r\n", 3, 0},       //
  };
  for (const auto& c : crlf) {
    TMatchCORE awk;
    awk.SetRegExp(c.pattern);
    const char* b = c.text.data();
    const MatchSpan m = awk.FindInLines(b, b + c.text.size());
    EXPECT_EQ(Span(m, b), std::make_pair(c.start, c.length)) << c.pattern << " on " << c.text;
    EXPECT_EQ(Span(m, b), Span(RestartFindInLines(awk.CurrentDFA(), b, b + c.text.size()), b))
        << c.pattern;
  }
  // A line's text ends before the CR of its CR LF whatever the separator; a CR elsewhere is
  // an ordinary character.
  for (auto separator : {mcls_CRLF, mcls_LF}) {
    TMatchCORE awk;
    awk.SetLineSeparator(separator);
    awk.SetRegExp("c$");
    for (const auto& [text, start] : {std::pair{"abc\r\nxc\n"s, 3}, std::pair{"c\rx\nc\r"s, 0}}) {
      EXPECT_EQ(Span(awk.FindInLines(text.data(), text.data() + text.size()), text.data()),
                std::make_pair(start, start == 0 ? 0 : 1))
          << ::testing::PrintToString(text);
    }
  }
}

// Lines of random text with CR LF, NUL bytes and empty lines: FindInLines equals its
// definition, whether the pattern is plain (lines passed over by stop byte) or anchored.
TEST(LinearSearchTest, FindInLinesAgreesWithThePerLineSearch) {
  testing::PatternGenOptions options;
  options.alphabet = "abc";
  options.anchors = true;
  options.wideChars = kWide;
  testing::PatternGen gen(4242, options);
  int mismatches = 0;
  for (int i = 0; i < sorbit::testing::RandomCases(1500); ++i) {
    std::string pattern = gen.Pattern();
    if (gen.Pick(4) == 0) pattern = "^" + pattern;
    if (gen.Pick(4) == 0) pattern += "$";
    TMatchCORE awk;
    try {
      awk.SetRegExp(pattern);
    } catch (const ERegExpParser&) {
      continue;
    }
    for (int k = 0; k < 4; ++k) {
      std::string text;
      for (std::size_t lines = gen.Pick(6); lines-- > 0;) {
        text += gen.Text(10, "d");
        if (gen.Pick(6) == 0) text += '\0';
        text += gen.Pick(3) == 0 ? "\r\n" : "\n";
      }
      if (gen.Pick(2) == 0) text += gen.Text(6, "d");
      for (auto separator : {mcls_CRLF, mcls_LF}) {
        awk.SetLineSeparator(separator);
        const char* b = text.data();
        const char* e = b + text.size();
        const auto got = Span(awk.FindInLines(b, e), b);
        const auto want = Span(RestartFindInLines(awk.CurrentDFA(), b, e), b);
        if (got != want && ++mismatches <= 5) {
          ADD_FAILURE() << pattern << " on \"" << text << "\": got " << got.first << ","
                        << got.second << " want " << want.first << "," << want.second;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
}

// A cache of a few states: every search builds its states on demand and clears the cache
// over and over, refilling it from the threads it holds, or (where that is allowed) goes
// on without caching once the cache thrashes; either way it gives the results of the
// whole automaton built at compile time.
void CompareTinyCache(bool uncached) {
  DFALimits tiny;
  tiny.eagerStates = 1;
  tiny.cacheBytes = 600;
  tiny.thrashBytesPerState = uncached ? 10 : 0;
  testing::PatternGenOptions options;
  options.alphabet = "ab\n\r";
  options.anchors = true;
  options.wideChars = kWide;
  testing::PatternGen gen(31337, options);
  int mismatches = 0;
  std::size_t resets = 0;
  for (int i = 0; i < sorbit::testing::RandomCases(600); ++i) {
    std::string pattern = gen.Pattern();
    if (gen.Pick(3) == 0) pattern = "^" + pattern;
    if (gen.Pick(3) == 0) pattern += "$";
    if (gen.Pick(4) == 0) pattern = "(a|b)*a(a|b)(a|b)(a|b)" + pattern;
    TMatchCORE eager;
    TMatchCORE lazy;
    lazy.SetDFALimits(tiny);
    try {
      eager.SetRegExp(pattern);
    } catch (const ERegExpParser&) {
      continue;
    }
    lazy.SetRegExp(pattern);
    ASSERT_TRUE(lazy.CurrentProgram().Lazy());
    for (int k = 0; k < 6; ++k) {
      const std::string text = gen.Text(60, "c\n\r");
      for (auto separator : {mcls_CRLF, mcls_LF}) {
        eager.SetLineSeparator(separator);
        lazy.SetLineSeparator(separator);
        const char* b = text.data();
        const char* e = b + text.size();
        const auto rules = RulesOf(eager);
        const std::pair<std::pair<int, int>, std::pair<int, int>> pairs[] = {
            {Span(lazy.FindInLines(b, e), b),
             Span(RestartFindInLines(eager.CurrentDFA(), b, e), b)},
            {Span(lazy.ScanFrom(b, e), b),
             Span(RestartScanFrom(eager.CurrentDFA(), b, e, rules), b)},
            {Span(lazy.ScanAnchored(b, e), b),
             Span(RestartScanAnchored(eager.CurrentDFA(), b, e, rules), b)},
            {Span(lazy.ScanPlain(b, e), b),
             Span(testing::ReferenceScan(eager.CurrentDFA(), b, e), b)},
        };
        int start = 0;
        int length = 0;
        lazy.Match(text, start, length);
        const auto want = Span(RestartMatch(eager.CurrentDFA(), b, e, rules), b);
        if (std::make_pair(start, length) != want && ++mismatches <= 3) {
          ADD_FAILURE() << "Match " << pattern << " on " << text;
        }
        for (const auto& [got, wanted] : pairs) {
          if (got != wanted && ++mismatches <= 3) {
            ADD_FAILURE() << pattern << " on \"" << text << "\": got " << got.first << ","
                          << got.second << " want " << wanted.first << "," << wanted.second;
          }
        }
      }
    }
    const auto stats = lazy.CurrentProgram().Stats();
    resets += uncached ? stats.uncachedSearches : stats.resets;
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(resets, static_cast<std::size_t>(sorbit::testing::RandomCases(1000)))
      << "the cache was hardly ever cleared, or never given up";
  std::printf("[ linear ] tiny cache: %zu %s\n", resets,
              uncached ? "searches without caching" : "clearings");
}

TEST(LinearSearchTest, ATinyStateCacheClearedAgainAndAgainGivesTheEagerResults) {
  CompareTinyCache(false);
}

TEST(LinearSearchTest, ATinyStateCacheGivenUpGivesTheEagerResults) { CompareTinyCache(true); }

// "(a|b)*a" and k times "(a|b)": 2^(k+1) states in all, none refused, each search linear
// with the states it meets built on demand.
TEST(LinearSearchTest, ChainsOfAOrBAreAnsweredOnDemand) {
  std::mt19937 rng(5);
  std::string text(50'000, 'a');
  for (char& c : text) c = (rng() & 1) != 0 ? 'a' : 'b';
  for (int k : {15, 19, 23}) {
    std::string pattern = "(a|b)*a";
    for (int i = 0; i < k; ++i) pattern += "(a|b)";
    TMatchCORE awk;
    awk.SetRegExp(pattern);
    EXPECT_TRUE(awk.CurrentProgram().Lazy()) << k;
    int start = 0;
    int length = 0;
    // Leftmost start 1; the longest end is the last one with an "a" k + 1 letters before.
    std::size_t lastA = text.size() - static_cast<std::size_t>(k) - 1;
    while (text[lastA] != 'a') --lastA;
    EXPECT_EQ(awk.Match(text, start, length), 1) << k;
    EXPECT_EQ(static_cast<std::size_t>(length), lastA + static_cast<std::size_t>(k) + 1) << k;
    EXPECT_LE(awk.CurrentProgram().Stats().largestBytes, kMaxDFACacheBytes + (1u << 20)) << k;
  }
}

// Only the current pattern keeps its search caches: writing another pattern drops those of a
// lazy pattern, and a search builds its states again when its pattern is current again.
TEST(LinearSearchTest, ALazyAutomatonGivesItsCacheBackWhenItsPatternIsNoLongerCurrent) {
  std::string chain = "(a|b)*a";
  for (int i = 0; i < 16; ++i) chain += "(a|b)";
  std::string text(20'000, 'a');
  std::mt19937 rng(3);
  for (char& c : text) c = (rng() & 1) != 0 ? 'a' : 'b';
  TMatchCORE awk;
  awk.SetRegExp(chain);
  const std::size_t empty = awk.CurrentProgram().Stats().largestBytes;
  int start = 0;
  int length = 0;
  EXPECT_EQ(awk.Match(text, start, length), 1);
  const std::size_t filled = awk.CurrentProgram().Stats().largestBytes;
  EXPECT_GT(filled, empty + 100'000);
  awk.SetRegExp("abc");
  awk.SetRegExp(chain);  // a cache hit: the same program
  EXPECT_EQ(awk.CompileCount(), 3u);
  EXPECT_EQ(awk.CurrentProgram().Stats().caches, 0u);
  int again = 0;
  EXPECT_EQ(awk.Match(text, again, length), 1);
  EXPECT_EQ(awk.CurrentProgram().Stats().largestBytes, filled);
}

TEST(LinearSearchTest, LiteralPrefixes) {
  const struct {
    const char* pattern;
    const char* prefix;
  } cases[] = {
      {"\x82\xA0\x82\xE8\x82\xAA", "\x82\xA0\x82\xE8\x82\xAA"},  // ありが
      {"Re: [0-9]+", "Re: "},
      {"ab(c|d)", "ab"},
      {"[Rr]e", ""},
      {"ab*", ""},   // one byte only: the stop bytes do as well
      {"ab|a", ""},  // after "a" the state accepts
      {"abc|abd", "ab"},
      {"^ab", ""},  // the line-head transition is no character
  };
  for (const auto& c : cases) {
    TMatchCORE awk;
    awk.SetRegExp(c.pattern);
    EXPECT_EQ(awk.CurrentDFA().Accel().LiteralPrefix(), c.prefix) << c.pattern;
  }
}

// The literal is looked for by its rarest byte; a place where it stands but does not
// begin a character (its first byte the trail byte of the character before), or that
// lies past a zero byte, is never reported.
TEST(LinearSearchTest, TheLiteralSearchReportsOnlyCharacterStarts) {
  const std::string pieces[] = {"\x82\x61", "a", "\x82", "b\x82", "\x82\x82", "ab", "\n", "\r\n"};
  const char* patterns[] = {
      "\x82"
      "ab",
      "ab\x82"
      "a",
      "a\x82\x82", "b\x82+",
      "\x82\x82"
      "ab?"};
  std::mt19937 rng(99);
  int mismatches = 0;
  int found = 0;
  for (const char* pattern : patterns) {
    TMatchCORE awk;
    awk.SetRegExp(pattern);
    ASSERT_FALSE(awk.CurrentDFA().Accel().LiteralPrefix().empty()) << pattern;
    for (int k = 0; k < 400; ++k) {
      std::string text;
      for (int n = static_cast<int>(rng() % 40); n-- > 0;)
        text += pieces[rng() % std::size(pieces)];
      if (rng() % 5 == 0) text.insert(rng() % (text.size() + 1), 1, '\0');
      const char* b = text.data();
      const char* e = b + text.size();
      const auto got = Span(awk.ScanPlain(b, e), b);
      const auto want = Span(testing::ReferenceScan(awk.CurrentDFA(), b, e), b);
      const auto gotLines = Span(awk.FindInLines(b, e), b);
      const auto wantLines = Span(RestartFindInLines(awk.CurrentDFA(), b, e), b);
      found += want.first > 0;
      if ((got != want || gotLines != wantLines) && ++mismatches <= 5) {
        ADD_FAILURE() << pattern << " on " << ::testing::PrintToString(text) << ": got "
                      << got.first << " want " << want.first;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(found, 200);
}

}  // namespace
}  // namespace SjisRegExp
