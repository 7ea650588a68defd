#include <gtest/gtest.h>

#include <string>

#include "SjisRegExp/FuzzyCharDic.h"
#include "SjisRegExp/MatchCore.h"
#include "SjisRegExp/SjisRegExp.h"

namespace SjisRegExp {
namespace {

const char kReply[] = "[Rr][Ee][ :>\\[#]+[0-9]+";

struct MatchRow {
  std::string pattern;
  std::string text;
  int start;  // 1-based, 0 = no match
  int length;
  TMatchCORE_LineSeparator separator = mcls_CRLF;
};

void ExpectMatches(const MatchRow* rows, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    const MatchRow& r = rows[i];
    TAWKStr awk;
    awk.SetLineSeparator(r.separator);
    awk.SetRegExp(r.pattern);
    int start = -1;
    int length = -1;
    const int result = awk.Match(r.text, start, length);
    EXPECT_EQ(result, r.start) << "pattern " << r.pattern << " text " << r.text;
    EXPECT_EQ(start, r.start) << "pattern " << r.pattern << " text " << r.text;
    EXPECT_EQ(length, r.length) << "pattern " << r.pattern << " text " << r.text;
  }
}

TEST(AWKStrTest, ReplyPatternOnTitles) {
  const MatchRow rows[] = {
      {kReply, "Re: 123 thanks", 1, 7},
      {kReply, "Fw: re>>45", 5, 6},
      {kReply, "Red Re:5", 5, 4},
      {kReply, "no reply", 0, 0},
      {kReply, "RE[#12]", 1, 6},
      {kReply, "re:", 0, 0},
      {kReply, "", 0, 0},
      // "ﾘ" would be fine, but 0x82 0x52 is a two-byte character whose trail byte is R.
      {kReply,
       "\x82"
       "Re: 1",
       0, 0},
      {kReply, "\x82\xA0Re: 1", 3, 5},
      {kReply,
       "Re: 1\x82\xA0"
       "2",
       1, 5},
  };
  ExpectMatches(rows, std::size(rows));
}

TEST(AWKStrTest, EmptyPatternAndAnchorsAtTextBounds) {
  const MatchRow rows[] = {
      {"", "abc", 1, 0},
      {"", "", 1, 0},
      {"$", "", 1, 0},
      {"$", "abc", 4, 0},
      {"^", "", 1, 0},
      {"^", "abc", 1, 0},
      {"a*", "bbb", 1, 0},
      {"ab|a", "ab", 1, 2},
      {"a|ab", "ab", 1, 2},
      {"c$", "abc\r\n", 3, 1},
      {"c$", "abc\r\n", 0, 0, mcls_LF},
      {"c$", "abc\n", 3, 1, mcls_LF},
      {"c$", "abc", 3, 1},
      {"^b", "a\nb", 3, 1},
      {"^b", "a\nb", 3, 1, mcls_LF},
      {"^b", "ab", 0, 0},
      {"^b", "b", 1, 1},
      {"^a|b", "xb", 2, 1},
      {"a$|b", "ab", 2, 1},  // a is not at a line end
      {"a$|b", "a\r\n", 1, 1},
      {"a^b", "a^b", 1, 3},
      {"a$b", "a$b", 1, 3},
      {"x*$", "ab\r\ncd", 3, 0},
      {"^$", "a\n\nb", 0, 0},  // LF ends no line for the tail under CR LF
      {"^$", "a\n\nb", 3, 0, mcls_LF},
      {"^$", "a\n\r\nb", 3, 0},
      {"(^a|^b)c", "x\nbc", 3, 2},
  };
  ExpectMatches(rows, std::size(rows));
}

TEST(AWKStrTest, ShiftJisCharactersAreSingleSteps) {
  const std::string a = "\x82\xA0";   // あ
  const std::string i = "\x82\xA2";   // い
  const std::string ka = "\x83\x4A";  // カ, trail byte 'J'
  const MatchRow rows[] = {
      {a + "*", a + a + "x", 1, 4},
      {"[" + a + "-" + i + "]+", "x" + a + i + "y", 2, 4},
      {"[^" + a + "]", a + i, 3, 2},
      {".", a, 1, 2},
      {"..", a + "x", 1, 3},
      {"J", ka + "J", 3, 1},
      {"J", ka, 0, 0},
      {"[I-K]", ka, 0, 0},
      {"\\x834A", "J" + ka, 2, 2},
      {"(" + a + "|" + i + ")+", i + a + "b", 1, 4},
      {"[\\x80-\\x90]", a, 0, 0},
  };
  ExpectMatches(rows, std::size(rows));
}

TEST(AWKStrTest, TextEndsAtItsFirstZeroByte) {
  TAWKStr awk;
  awk.SetRegExp("b");
  int start = 0;
  int length = 0;
  EXPECT_EQ(awk.Match(std::string("a\0b", 3), start, length), 0);
  awk.SetRegExp("$");
  EXPECT_EQ(awk.Match(std::string("a\0b", 3), start, length), 2);
  EXPECT_EQ(length, 0);
  awk.SetRegExp("a");
  EXPECT_EQ(awk.Match(std::string("\0a", 2), start, length), 0);
  awk.SetRegExp("^a|x");
  EXPECT_EQ(awk.Match(std::string("b\0\na", 4), start, length), 0);
  awk.SetRegExp("");
  EXPECT_EQ(awk.Match(std::string("\0a", 2), start, length), 1);
  EXPECT_EQ(length, 0);
  awk.SetRegExp("\\x82.");
  EXPECT_EQ(awk.Match(std::string("\x82\0a", 3), start, length), 0)
      << "a lead byte before the zero byte is a character of its own";
  awk.SetRegExp("\\x82");
  EXPECT_EQ(awk.Match(std::string("\x82\0a", 3), start, length), 1);
  EXPECT_EQ(length, 1);
}

TEST(AWKStrTest, LongPatternOfDistinctCharacters) {
  // Thousands of distinct two-byte characters: one leaf each, already disjoint.
  std::string pattern;
  for (unsigned lead = 0x88; lead <= 0x9F && pattern.size() < 10000; ++lead) {
    for (unsigned trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      pattern += static_cast<char>(lead);
      pattern += static_cast<char>(trail);
    }
  }
  TAWKStr awk;
  awk.SetRegExp(pattern);
  int start = 0;
  int length = 0;
  EXPECT_EQ(awk.Match("x" + pattern + "y", start, length), 2);
  EXPECT_EQ(length, static_cast<int>(pattern.size()));
  EXPECT_EQ(awk.Match(pattern.substr(0, pattern.size() - 2), start, length), 0);
}

TEST(AWKStrTest, PatternEndsAtItsFirstZeroByte) {
  // The scanner reads a zero byte as the end of the text, like Match does for texts.
  TAWKStr awk;
  awk.SetRegExp(std::string("a\0b", 3));
  int start = 0;
  int length = 0;
  EXPECT_EQ(awk.Match("xab", start, length), 2);
  EXPECT_EQ(length, 1);
  EXPECT_EQ(awk.RegExp(), std::string("a\0b", 3)) << "the text is kept as written";
}

TEST(AWKStrTest, LoneLeadByteAtTheEndOfTheText) {
  // A final lead byte with nothing after it is one character of its own.
  const MatchRow rows[] = {
      {"a.", "a\x82", 1, 2},
      {"a$", "a\x82", 0, 0},
      {"\\x82", "xy\x82", 3, 1},
      {"\\x82$", "\x82", 1, 1},
  };
  ExpectMatches(rows, std::size(rows));
}

TEST(AWKStrTest, CodeZeroIsNeverConsumed) {
  const MatchRow rows[] = {
      {"a\\0", "a", 0, 0},   {"a\\0*", "ab", 1, 1}, {"[\\0-b]+", "ab", 1, 2}, {"\\0", "", 0, 0},
      {"^a\\0*", "a", 1, 1}, {"\\0*$", "ab", 3, 0}, {"a\\0*$", "xa", 2, 1},
  };
  ExpectMatches(rows, std::size(rows));
}

TEST(AWKStrTest, NegatedClassThatLeavesNothingNeverMatches) {
  const MatchRow rows[] = {
      {"[^\\x01-\\xFCFC]", "abc", 0, 0},   {"a[^\\x01-\\xFCFC]*b", "ab", 1, 2},
      {"a[^\\x01-\\xFCFC]+b", "ab", 0, 0}, {"x|[^\\x01-\\xFCFC]", "ax", 2, 1},
      {"[^\\x01-\\xFCFC]?", "a", 1, 0},
  };
  ExpectMatches(rows, std::size(rows));
}

TEST(AWKStrTest, DotAndNegatedClassesSkipLineBreaks) {
  const MatchRow rows[] = {
      {"a.b", "a\nb a\rb axb", 9, 3},
      {"a[^x]b", "a\nb a\rb axb ayb", 13, 3},
      {"[^\\n]+", "\r\nab", 3, 2},
  };
  ExpectMatches(rows, std::size(rows));
}

TEST(AWKStrTest, FailedPatternLeavesTheEmptyPatternCurrent) {
  TMatchCORE awk;
  awk.SetRegExp("abc");
  try {
    awk.SetRegExp("a(");
    FAIL() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_STREQ(e.what(), "右(閉じ)括弧が必要です");
    EXPECT_EQ(e.ErrorPos(), 3);
  }
  EXPECT_EQ(awk.RegExp(), "");
  EXPECT_EQ(awk.CurrentIndex(), 0);
  int start = -1;
  int length = -1;
  EXPECT_EQ(awk.Match("xyz", start, length), 1);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(awk.CacheCount(), 2u) << "the failed entry is dropped, abc stays cached";
}

TEST(AWKStrTest, CacheHitsAndEviction) {
  TMatchCORE awk;
  EXPECT_EQ(awk.CacheCount(), 1u);
  EXPECT_EQ(awk.CompileCount(), 1u);
  awk.SetRegExp(kReply);
  awk.SetRegExp(kReply);
  EXPECT_EQ(awk.CompileCount(), 2u) << "the second write is a hit";
  EXPECT_EQ(awk.CurrentIndex(), 1);
  for (int i = 1; i < 29; ++i) awk.SetRegExp("p" + std::to_string(i));
  EXPECT_EQ(awk.CacheCount(), 30u);
  EXPECT_EQ(awk.CacheText(29), kReply) << "the first pattern is now last";
  EXPECT_EQ(awk.CacheText(1), "p28");
  awk.SetRegExp("p5");  // a hit does not move its entry
  EXPECT_EQ(awk.CurrentIndex(), 24);
  EXPECT_EQ(awk.CacheText(1), "p28");
  awk.SetRegExp("new");
  EXPECT_EQ(awk.CacheCount(), 30u);
  EXPECT_EQ(awk.CacheText(1), "new");
  EXPECT_EQ(awk.CacheText(29), "p1") << kReply << " was evicted";
  EXPECT_EQ(awk.CacheText(0), "");
  const std::size_t compiled = awk.CompileCount();
  awk.SetRegExp(kReply);
  EXPECT_EQ(awk.CompileCount(), compiled + 1) << "evicted patterns compile again";
  awk.SetRegExp("");
  EXPECT_EQ(awk.CurrentIndex(), 0);
}

TEST(AWKStrTest, DictionarySwitchesRewriteTheCurrentPattern) {
  TAWKStr awk;
  awk.SetRegExp("ab");
  EXPECT_FALSE(awk.UseFuzzyCharDic());
  EXPECT_FALSE(awk.UseSynonymDic());
  awk.SetUseFuzzyCharDic(true);
  EXPECT_TRUE(awk.UseFuzzyCharDic());
  EXPECT_EQ(awk.RegExp(), "ab");
  awk.SetUseSynonymDic(true);
  EXPECT_TRUE(awk.UseSynonymDic());
  EXPECT_EQ(awk.RegExp(), "ab");
  int start = 0;
  int length = 0;
  EXPECT_EQ(awk.Match("xab", start, length), 2);
  awk.SetUseFuzzyCharDic(false);
  awk.SetUseSynonymDic(false);
  EXPECT_EQ(awk.Match("xab", start, length), 2);
}

TEST(AWKStrTest, SwitchThatLeavesThePatternAloneDoesNotRecompile) {
  // No synonym dictionaries exist, so the synonym pass gives the same text: a hit.
  TMatchCORE awk;
  awk.SetRegExp("[Rr]e");
  const std::size_t compiled = awk.CompileCount();
  awk.SetUseSynonymDic(true);
  awk.SetUseSynonymDic(false);
  EXPECT_EQ(awk.CompileCount(), compiled);
  EXPECT_EQ(awk.CurrentIndex(), 1);
  EXPECT_EQ(awk.RegExp(), "[Rr]e");
}

TEST(AWKStrTest, LineSeparatorTakesEffectWithoutRecompiling) {
  TMatchCORE awk;
  awk.SetRegExp("c$");
  const std::size_t compiled = awk.CompileCount();
  int start = 0;
  int length = 0;
  EXPECT_EQ(awk.Match("abc\r\n", start, length), 3);
  awk.SetLineSeparator(mcls_LF);
  EXPECT_EQ(awk.LineSeparator(), mcls_LF);
  EXPECT_EQ(awk.Match("abc\r\n", start, length), 0);
  EXPECT_EQ(awk.CompileCount(), compiled);
}

}  // namespace
}  // namespace SjisRegExp

namespace SjisRegExp {
namespace {

// After the fuzzy pass is switched off, the same text selects its plain entry again.
TEST(AWKStrTest, RewritingThePatternFollowsTheSwitches) {
  TMatchCORE awk;
  awk.AddFuzzyCharDic(FuzzyCharDic());
  int start = 0;
  int length = 0;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp("a");
  EXPECT_EQ(awk.Match("xA", start, length), 2);
  awk.SetUseFuzzyCharDic(false);
  awk.SetRegExp("a");
  EXPECT_EQ(awk.Match("xA", start, length), 0);
  EXPECT_EQ(awk.Match("xa", start, length), 2);
  awk.SetRegExp("a");
  EXPECT_EQ(awk.CacheText(static_cast<std::size_t>(awk.CurrentIndex())), "a");
  const std::size_t compiled = awk.CompileCount();
  awk.SetRegExp("a");
  EXPECT_EQ(awk.CompileCount(), compiled);
}

}  // namespace
}  // namespace SjisRegExp
