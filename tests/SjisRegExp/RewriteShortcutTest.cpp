// Writing the pattern that is already current is skipped while both passes are off. These
// tests prove that the skip never hides a change: a dictionary switch, a failed compile, an
// eviction, or a write made past TAWKStr's own override.
#include <gtest/gtest.h>

#include <string>

#include "SjisRegExp.h"

namespace SjisRegExp {
namespace {

const char kReply[] = "[Rr][Ee][ :>\\[#]+[0-9]+";

int StartOf(const TAWKStr& awk, std::string_view text) {
  int start = -1;
  int length = -1;
  return awk.Match(text, start, length);
}

// Gives the tests a synonym dictionary and the preprocessor's flags without the rewrite
// that the published switches do.
class SynonymAWKStr : public TAWKStr {
 public:
  explicit SynonymAWKStr(const Dictionary& synonyms) {
    PreProcessor().SynonymDics.push_back(&synonyms);
  }
  void SetSynonymFlagOnly(bool on) { PreProcessor().SetUseSynonymDic(on); }
};

TEST(RewriteShortcutTest, RepeatedWritesKeepTheEntryAndItsOrder) {
  TAWKStr awk;
  awk.SetRegExp("other");
  awk.SetRegExp(kReply);
  const std::size_t compiled = awk.CompileCount();
  for (int i = 0; i < 3; ++i) awk.SetRegExp(kReply);
  EXPECT_EQ(awk.CompileCount(), compiled);
  EXPECT_EQ(awk.CurrentIndex(), 1);
  EXPECT_EQ(awk.CacheText(1), kReply);
  EXPECT_EQ(awk.CacheText(2), "other");
  EXPECT_EQ(awk.RegExp(), kReply);
  EXPECT_EQ(StartOf(awk, "Fw: re>>45"), 5);
}

TEST(RewriteShortcutTest, SynonymSwitchChangesWhatTheSameTextMatches) {
  const Dictionary synonyms = {{"ab", "xy"}};
  SynonymAWKStr awk(synonyms);
  awk.SetRegExp("ab");
  EXPECT_EQ(StartOf(awk, "-xy"), 0);
  awk.SetUseSynonymDic(true);
  EXPECT_EQ(StartOf(awk, "-xy"), 2);
  awk.SetRegExp("ab");  // a pass is on: a real write, to the same expanded entry
  EXPECT_EQ(StartOf(awk, "-xy"), 2);
  awk.SetUseSynonymDic(false);
  EXPECT_EQ(StartOf(awk, "-xy"), 0);
  awk.SetRegExp("ab");
  EXPECT_EQ(StartOf(awk, "-xy"), 0);
  EXPECT_EQ(StartOf(awk, "-ab"), 2);
}

TEST(RewriteShortcutTest, FlagsAreReadAtTheWriteItself) {
  // The flag is switched without the rewrite the published switch does: the next write of
  // the same text must still run the pass.
  const Dictionary synonyms = {{"ab", "xy"}};
  SynonymAWKStr awk(synonyms);
  awk.SetRegExp("ab");
  awk.SetSynonymFlagOnly(true);
  awk.SetRegExp("ab");
  EXPECT_EQ(StartOf(awk, "-xy"), 2);
  // And back: the current entry holds the expanded text, not "ab".
  awk.SetSynonymFlagOnly(false);
  awk.SetRegExp("ab");
  EXPECT_EQ(StartOf(awk, "-xy"), 0);
  EXPECT_EQ(awk.CacheText(static_cast<std::size_t>(awk.CurrentIndex())), "ab");
}

TEST(RewriteShortcutTest, FuzzySwitchOffSelectsThePlainEntryAgain) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp("a");
  awk.SetRegExp("a");
  EXPECT_EQ(StartOf(awk, "xA"), 2);
  awk.SetUseFuzzyCharDic(false);
  EXPECT_EQ(StartOf(awk, "xA"), 0);
  awk.SetRegExp("a");
  EXPECT_EQ(StartOf(awk, "xA"), 0);
  EXPECT_EQ(StartOf(awk, "xa"), 2);
}

TEST(RewriteShortcutTest, AfterAFailedCompileTheEmptyPatternIsWrittenForReal) {
  TAWKStr awk;
  awk.SetRegExp("^a");
  ASSERT_EQ(awk.MatchMethod(), &TMatchCORE::ScanAnchored);
  EXPECT_THROW(awk.SetRegExp("a("), ERegExpParser);
  EXPECT_EQ(awk.RegExp(), "");
  EXPECT_EQ(awk.MatchMethod(), &TMatchCORE::ScanAnchored) << "a failed write keeps it";
  // The text equals RegExp now, yet this write must choose the method for the empty pattern.
  awk.SetRegExp("");
  EXPECT_EQ(awk.MatchMethod(), &TMatchCORE::ScanPlain);
  EXPECT_EQ(StartOf(awk, "xyz"), 1);
  awk.SetRegExp("^a");
  EXPECT_EQ(awk.MatchMethod(), &TMatchCORE::ScanAnchored);
  EXPECT_EQ(StartOf(awk, "b\na"), 3);
  EXPECT_EQ(StartOf(awk, "ba"), 0);
}

TEST(RewriteShortcutTest, FailedCompileOfTheSameTextTwice) {
  TAWKStr awk;
  awk.SetRegExp(kReply);
  EXPECT_THROW(awk.SetRegExp("a("), ERegExpParser);
  EXPECT_THROW(awk.SetRegExp("a("), ERegExpParser) << "a failed pattern is never cached";
  EXPECT_EQ(awk.CurrentIndex(), 0);
  awk.SetRegExp(kReply);
  EXPECT_EQ(awk.CacheText(static_cast<std::size_t>(awk.CurrentIndex())), kReply);
  EXPECT_EQ(StartOf(awk, "Re: 1"), 1);
}

TEST(RewriteShortcutTest, AnEvictedPatternIsCompiledAgain) {
  TAWKStr awk;
  awk.SetRegExp(kReply);
  for (int i = 0; i < TRegularExpression::CacheCapacity - 1; ++i) {
    awk.SetRegExp("p" + std::to_string(i));
  }
  for (std::size_t i = 0; i < awk.CacheCount(); ++i) ASSERT_NE(awk.CacheText(i), kReply);
  const std::size_t compiled = awk.CompileCount();
  awk.SetRegExp(kReply);
  awk.SetRegExp(kReply);
  EXPECT_EQ(awk.CompileCount(), compiled + 1);
  EXPECT_EQ(StartOf(awk, "Red Re:5"), 5);
}

TEST(RewriteShortcutTest, WriteMadePastTheOverrideStillChoosesTheMethod) {
  TAWKStr awk;
  awk.TRegularExpression::SetRegExp("^a");
  EXPECT_EQ(awk.MatchMethod(), &TMatchCORE::ScanPlain) << "not chosen by the base";
  awk.SetRegExp("^a");
  EXPECT_EQ(awk.MatchMethod(), &TMatchCORE::ScanAnchored);
  EXPECT_EQ(StartOf(awk, "b\na"), 3);
}

}  // namespace
}  // namespace SjisRegExp

namespace SjisRegExp {
namespace {

// Every length up to 40, equal and with one byte changed at each place, and texts of
// different lengths: the word compare agrees with a byte-by-byte one.
TEST(SameTextTest, AgreesWithComparingByteByByte) {
  for (std::size_t n = 0; n <= 40; ++n) {
    std::string a;
    for (std::size_t i = 0; i < n; ++i) a.push_back(static_cast<char>('A' + i % 26));
    const std::string b = a;
    EXPECT_TRUE(SameText(a, b)) << n;
    for (std::size_t i = 0; i < n; ++i) {
      std::string c = a;
      c[i] = static_cast<char>(c[i] ^ 0x80);
      EXPECT_FALSE(SameText(a, c)) << n << " bytes, changed at " << i;
    }
    EXPECT_FALSE(SameText(a, a + "x")) << n;
  }
}

}  // namespace
}  // namespace SjisRegExp
