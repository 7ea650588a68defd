// The fuzzy-character pass seen from the component: patterns written in one form match text
// written in the equivalent forms, and only while the flag is on.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "SjisRegExp/Chars.h"
#include "SjisRegExp/SjisRegExp.h"

namespace SjisRegExp {
namespace {

struct Found {
  int result;
  int start;
  int length;
  bool operator==(const Found&) const = default;
};

Found MatchOf(const TAWKStr& awk, std::string_view text) {
  Found found{};
  found.result = awk.Match(text, found.start, found.length);
  return found;
}

// ｶﾞｲﾄﾞ, ガイド, か゛いど
constexpr std::string_view kHalfWidthGuide = "\xB6\xDE\xB2\xC4\xDE";
constexpr std::string_view kKatakanaGuide = "\x83\x4B\x83\x43\x83\x68";
constexpr std::string_view kSeparateMarksGuide = "\x82\xA9\x81\x4A\x82\xA2\x82\xC7";

TEST(FuzzyMatchTest, HalfWidthKanaPatternMatchesFullWidthText) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp(kHalfWidthGuide);
  EXPECT_EQ(MatchOf(awk, kKatakanaGuide), (Found{1, 1, 6}));
  EXPECT_EQ(MatchOf(awk, std::string("x") + std::string(kSeparateMarksGuide)), (Found{2, 2, 8}));
  EXPECT_EQ(MatchOf(awk, kHalfWidthGuide), (Found{1, 1, 5}));
}

TEST(FuzzyMatchTest, SwitchingTheFlagRecompilesTheCurrentPattern) {
  TAWKStr awk;
  awk.SetRegExp(kHalfWidthGuide);
  EXPECT_EQ(MatchOf(awk, kKatakanaGuide).result, 0);
  awk.SetUseFuzzyCharDic(true);
  EXPECT_EQ(awk.RegExp(), kHalfWidthGuide);
  EXPECT_EQ(MatchOf(awk, kKatakanaGuide).result, 1);
  awk.SetUseFuzzyCharDic(false);
  EXPECT_EQ(MatchOf(awk, kKatakanaGuide).result, 0);
  EXPECT_EQ(MatchOf(awk, kHalfWidthGuide).result, 1);
}

TEST(FuzzyMatchTest, LettersDigitsAndPunctuationMatchTheirFullWidthForms) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp("Re:1");
  // ＲＥ：①
  EXPECT_EQ(MatchOf(awk, "ab \x82\x71\x82\x64\x81\x46\x87\x40"), (Found{4, 4, 8}));
  EXPECT_EQ(MatchOf(awk, "rE:\x88\xEA"), (Found{1, 1, 5}));  // rE:一
  EXPECT_EQ(MatchOf(awk, "Re;1").result, 0);
}

TEST(FuzzyMatchTest, StillNeverMatchesAtATrailByte) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp("A");
  EXPECT_EQ(MatchOf(awk, "\x83\x41").result, 0);                  // ア, whose trail byte is "A"
  EXPECT_EQ(MatchOf(awk, "\x83\x41\x82\x60"), (Found{3, 3, 2}));  // アＡ
}

TEST(FuzzyMatchTest, OperatorAfterVoicedKanaStillRepeatsOnlyTheMark) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp("\xB6\xDE*");  // ｶﾞ*: ｶ, then any number of voicing marks
  EXPECT_EQ(MatchOf(awk, "xyz").result, 0);
  EXPECT_EQ(MatchOf(awk, "x\xB6\xDE\x81\x4A"), (Found{2, 2, 4}));  // ｶﾞ゛
  EXPECT_EQ(MatchOf(awk, "\x83\x4A"), (Found{1, 1, 2}));           // カ
}

TEST(FuzzyMatchTest, PreprocessorErrorKeepsThePreviousPattern) {
  TAWKStr awk;
  awk.SetUseFuzzyCharDic(true);
  awk.SetRegExp("a");
  EXPECT_THROW(awk.SetRegExp("[z-a]"), ERegExpParser);
  EXPECT_EQ(awk.RegExp(), "a");
  EXPECT_EQ(MatchOf(awk, "\x82\x60"), (Found{1, 1, 2}));  // Ａ
}

}  // namespace
}  // namespace SjisRegExp
