// The preprocessor: the fuzzy-character pass widens plain characters into groups, byte for
// byte; both passes off leave every pattern alone; errors of the scanner come through Run.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "SjisRegExp/FuzzyCharDic.h"
#include "SjisRegExp/PreProcessor.h"

namespace SjisRegExp {
namespace {

std::string Fuzzy(std::string_view pattern) {
  TREPreProcessor preprocessor;
  preprocessor.FuzzyCharDics.push_back(&FuzzyCharDic());
  preprocessor.SetUseFuzzyCharDic(true);
  preprocessor.SetText(pattern);
  preprocessor.Run();
  return preprocessor.ProcessedText();
}

// Patterns and expected output as Shift-JIS bytes; the comment above a case shows it in UTF-8.
struct PreProcessCase {
  const char* name;
  std::string_view pattern;
  std::string_view expected;
};

class FuzzyPassTest : public testing::TestWithParam<PreProcessCase> {};

TEST_P(FuzzyPassTest, RewritesPattern) {
  EXPECT_EQ(Fuzzy(GetParam().pattern), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, FuzzyPassTest,
    testing::Values(
        // Re:  ->  (Ｒ|ｒ|R|r)(Ｅ|ｅ|E|e)(:|：)
        PreProcessCase{"ReplyPrefix",
                       "Re:", "(\x82\x71|\x82\x92|R|r)(\x82\x64|\x82\x85|E|e)(:|\x81\x46)"},
        // a*  ->  (Ａ|ａ|A|a)*
        PreProcessCase{"PostfixAppliesToGroup", "a*", "(\x82\x60|\x82\x81|A|a)*"},
        // a.b  ->  (Ａ|ａ|A|a).(Ｂ|ｂ|B|b)
        PreProcessCase{"DotIsCopied", "a.b", "(\x82\x60|\x82\x81|A|a).(\x82\x61|\x82\x82|B|b)"},
        // \.  ->  (｡|\.|。|．)
        PreProcessCase{"EscapedDot", "\\.", "(\xA1|\\.|\x81\x42|\x81\x44)"},
        // \(  ->  (\(|（)
        PreProcessCase{"EscapedParen", "\\(", "(\\(|\x81\x69)"},
        PreProcessCase{"ClassCopied", "[abc]", "[abc]"},
        PreProcessCase{"NegatedClassCopied", "[^abc]", "[^abc]"},
        PreProcessCase{"RangeCopied", "[a-z]", "[a-z]"},
        // x[a]y  ->  (Ｘ|ｘ|X|x)[a](Ｙ|ｙ|Y|y)
        PreProcessCase{"OnlyOutsideClass", "x[a]y",
                       "(\x82\x77|\x82\x98|X|x)[a](\x82\x78|\x82\x99|Y|y)"},
        // ｶﾞｲﾄﾞ  ->  (が|ガ|ｶﾞ|か゛|カ゛)(い|イ|ｲ|ぃ|ィ|ｨ)(ど|ド|ﾄﾞ|と゛|ト゛)
        PreProcessCase{"VoicedHalfWidthKana", "\xB6\xDE\xB2\xC4\xDE",
                       "(\x82\xAA|\x83\x4B|\xB6\xDE|\x82\xA9\x81\x4A|\x83\x4A\x81\x4A)(\x82\xA2|"
                       "\x83\x43|\xB2|\x82\xA1|\x83\x42|\xA8)(\x82\xC7|\x83\x68|\xC4\xDE|"
                       "\x82\xC6\x81\x4A|\x83\x67\x81\x4A)"},
        // ー  ->  (ー|～|ｰ)
        PreProcessCase{"LongVowelMarkTakesFirstGroup", "\x81\x5B", "(\x81\x5B|\x81\x60|\xB0)"},
        // -  ->  (-|ー|－|～|ｰ)
        PreProcessCase{"HyphenHasItsOwnGroup", "-", "(-|\x81\x5B|\x81\x7C|\x81\x60|\xB0)"},
        // 1  ->  (1|１|一|①|Ⅰ|壱)
        PreProcessCase{"Digit", "1", "(1|\x82\x50|\x88\xEA|\x87\x40|\x87\x54|\x88\xEB)"},
        // 漢  ->  漢
        PreProcessCase{"CharacterInNoGroup", "\x8A\xBF", "\x8A\xBF"},
        // \x41  ->  (Ａ|ａ|A|a)
        PreProcessCase{"HexEscape", "\\x41", "(\x82\x60|\x82\x81|A|a)"},
        // \x0041  ->  (Ａ|ａ|A|a)
        PreProcessCase{"FourDigitHexEscape", "\\x0041", "(\x82\x60|\x82\x81|A|a)"},
        // \x82A0  ->  (あ|ア|ｱ|ぁ|ァ|ｧ)
        PreProcessCase{"HexEscapeOfTwoByteCharacter", "\\x82A0",
                       "(\x82\xA0|\x83\x41|\xB1|\x82\x9F|\x83\x40|\xA7)"},
        // \101  ->  (Ａ|ａ|A|a)
        PreProcessCase{"OctalEscape", "\\101", "(\x82\x60|\x82\x81|A|a)"},
        // \q\z  ->  (Ｑ|ｑ|Q|q)(Ｚ|ｚ|Z|z)
        PreProcessCase{"UnknownEscapeKeptAsWritten", "\\q\\z",
                       "(\x82\x70|\x82\x91|Q|q)(\x82\x79|\x82\x9A|Z|z)"},
        PreProcessCase{"EscapedCodeInNoGroupKeptAsWritten", "\\x8ABF", "\\x8ABF"},
        // \\  ->  (\\|￥)
        PreProcessCase{"BackslashIsQuotedInGroup", "\\\\", "(\\\\|\x81\x8F)"},
        //    ->  (　| )
        PreProcessCase{"SpaceGroup", " ", "(\x81\x40| )"},
        // ,  ->  (,|､|、|，)
        PreProcessCase{"CommaGroup", ",", "(,|\xA4|\x81\x41|\x81\x43)"},
        // "  ->  ("|”)
        PreProcessCase{"DoubleQuoteGroup", "\"", "(\"|\x81\x68)"},
        // \[  ->  (\[|［|〔)
        PreProcessCase{"BracketGroupQuotesBracket", "\\[", "(\\[|\x81\x6D|\x81\x6B)"},
        // ｳﾞｧ  ->  (ば|バ|ﾊﾞ|は゛|ハ゛|ヴァ|う゛ぁ|ウ゛ァ|ｳﾞｧ)
        PreProcessCase{
            "ThreeCharacterWord", "\xB3\xDE\xA7",
            "(\x82\xCE|\x83\x6F|\xCA\xDE|\x82\xCD\x81\x4A|\x83\x6E\x81\x4A|\x83\x94\x83\x40|"
            "\x82\xA4\x81\x4A\x82\x9F|\x83\x45\x81\x4A\x83\x40|\xB3\xDE\xA7)"},
        // ヴ  ->  (ぶ|ブ|ﾌﾞ|ふ゛|フ゛|ヴ|ウ゛|う゛|ｳﾞ)
        PreProcessCase{"VuIsInBuGroup", "\x83\x94",
                       "(\x82\xD4|\x83\x75|\xCC\xDE|\x82\xD3\x81\x4A|\x83\x74\x81\x4A|\x83\x94|"
                       "\x83\x45\x81\x4A|\x82\xA4\x81\x4A|\xB3\xDE)"},
        // ヴァ  ->  (ば|バ|ﾊﾞ|は゛|ハ゛|ヴァ|う゛ぁ|ウ゛ァ|ｳﾞｧ)
        PreProcessCase{
            "VuAIsInBaGroup", "\x83\x94\x83\x40",
            "(\x82\xCE|\x83\x6F|\xCA\xDE|\x82\xCD\x81\x4A|\x83\x6E\x81\x4A|\x83\x94\x83\x40|"
            "\x82\xA4\x81\x4A\x82\x9F|\x83\x45\x81\x4A\x83\x40|\xB3\xDE\xA7)"},
        // うぁ  ->  (う|ウ|ｳ|ぅ|ゥ|ｩ)(あ|ア|ｱ|ぁ|ァ|ｧ)
        PreProcessCase{"UaTakesTheEarlierGroupsOfItsCharacters", "\x82\xA4\x82\x9F",
                       "(\x82\xA4|\x83\x45|\xB3|\x82\xA3|\x83\x44|\xA9)(\x82\xA0|\x83\x41|\xB1|"
                       "\x82\x9F|\x83\x40|\xA7)"},
        // ズ  ->  (ず|ズ|ｽﾞ|ス゛|ス゛|づ|ヅ|ﾂﾞ|つ゛|ツ゛)
        PreProcessCase{"RowEightyKeepsDoubledWord", "\x83\x59",
                       "(\x82\xB8|\x83\x59|\xBD\xDE|\x83\x58\x81\x4A|\x83\x58\x81\x4A|\x82\xC3|"
                       "\x83\x64|\xC2\xDE|\x82\xC2\x81\x4A|\x83\x63\x81\x4A)"},
        // ゛  ->  (ﾞ|゛)
        PreProcessCase{"SeparateVoicingMark", "\x81\x4A", "(\xDE|\x81\x4A)"},
        // ソ表  ->  (そ|ソ|ｿ)表
        PreProcessCase{"TrailByte5CIsOneCharacter", "\x83\x5C\x95\x5C",
                       "(\x82\xBB|\x83\x5C|\xBF)\x95\x5C"},
        // (ab|c)+  ->  ((Ａ|ａ|A|a)(Ｂ|ｂ|B|b)|(Ｃ|ｃ|C|c))+
        PreProcessCase{"AlternationAndGroups", "(ab|c)+",
                       "((\x82\x60|\x82\x81|A|a)(\x82\x61|\x82\x82|B|b)|(\x82\x62|\x82\x83|C|c))+"},
        // ^a$  ->  ^(Ａ|ａ|A|a)$
        PreProcessCase{"AnchorsCopied", "^a$", "^(\x82\x60|\x82\x81|A|a)$"},
        // ｶ*ﾞ  ->  (か|カ|ｶ)*(ﾞ|゛)
        PreProcessCase{"RunBrokenByOperator", "\xB6*\xDE",
                       "(\x82\xA9|\x83\x4A|\xB6)*(\xDE|\x81\x4A)"},
        // ｶﾞ*  ->  (か|カ|ｶ)(ﾞ|゛)*
        PreProcessCase{"MultiCharacterWordNotSplitFromItsOperator", "\xB6\xDE*",
                       "(\x82\xA9|\x83\x4A|\xB6)(\xDE|\x81\x4A)*"},
        // ｶﾞ+x  ->  (か|カ|ｶ)(ﾞ|゛)+(Ｘ|ｘ|X|x)
        PreProcessCase{"MultiCharacterWordBeforePlus", "\xB6\xDE+x",
                       "(\x82\xA9|\x83\x4A|\xB6)(\xDE|\x81\x4A)+(\x82\x77|\x82\x98|X|x)"},
        // ｶﾞ|ｶﾞ.  ->  (が|ガ|ｶﾞ|か゛|カ゛)|(が|ガ|ｶﾞ|か゛|カ゛).
        PreProcessCase{"MultiCharacterWordBeforeOtherOperator", "\xB6\xDE|\xB6\xDE.",
                       "(\x82\xAA|\x83\x4B|\xB6\xDE|\x82\xA9\x81\x4A|\x83\x4A\x81\x4A)|(\x82\xAA|"
                       "\x83\x4B|\xB6\xDE|\x82\xA9\x81\x4A|\x83\x4A\x81\x4A)."},
        // [ｶﾞ]ｶﾞ  ->  [ｶﾞ](が|ガ|ｶﾞ|か゛|カ゛)
        PreProcessCase{"ClassAfterGroupClosed", "[\xB6\xDE]\xB6\xDE",
                       "[\xB6\xDE](\x82\xAA|\x83\x4B|\xB6\xDE|\x82\xA9\x81\x4A|\x83\x4A\x81\x4A)"},
        PreProcessCase{"ClassSpecialsInsideClass", "[(.*)]", "[(.*)]"},
        // ]a  ->  ](Ａ|ａ|A|a)
        PreProcessCase{"UnmatchedRBracketOutsideClass", "]a", "](\x82\x60|\x82\x81|A|a)"},
        PreProcessCase{"EmptyPattern", "", ""}),
    [](const testing::TestParamInfo<PreProcessCase>& param) {
      return std::string(param.param.name);
    });

TEST(PreProcessorTest, BothPassesOffLeaveEveryPatternUnchanged) {
  const std::string_view patterns[] = {
      "Re:", "[Rr][Ee][ :>\\[#]+[0-9]+", "\xB6\xDE\xB2\xC4\xDE", "a*", "",
      // Malformed: the parser reports these later; the preprocessor does not even scan them.
      "[", "\\", "[z-a]", "\\xg", "\x82", "a("};
  for (std::string_view pattern : patterns) {
    TREPreProcessor preprocessor;
    preprocessor.FuzzyCharDics.push_back(&FuzzyCharDic());
    preprocessor.SetText(pattern);
    EXPECT_NO_THROW(preprocessor.Run()) << pattern;
    EXPECT_EQ(preprocessor.ProcessedText(), pattern);
  }
}

TEST(PreProcessorTest, FlagsAreOffAtCreation) {
  TREPreProcessor preprocessor;
  EXPECT_FALSE(preprocessor.UseFuzzyCharDic());
  EXPECT_FALSE(preprocessor.UseSynonymDic());
  EXPECT_TRUE(preprocessor.FuzzyCharDics.empty());
  EXPECT_TRUE(preprocessor.SynonymDics.empty());
}

TEST(PreProcessorTest, SynonymPassWithoutDictionariesCopiesButScans) {
  TREPreProcessor preprocessor;
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("[Rr]e:\\x41(a|b)*");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "[Rr]e:\\x41(a|b)*");

  preprocessor.SetText("[z-a]");
  try {
    preprocessor.Run();
    FAIL() << "no error";
  } catch (const ERegExpParser& error) {
    EXPECT_STREQ(error.what(), "不正なキャラクタ範囲です");
    EXPECT_EQ(error.ErrorPos(), 5);
  }
}

TEST(PreProcessorTest, FuzzyPassRaisesScannerErrors) {
  struct {
    std::string_view pattern;
    const char* message;
    int position;
  } const cases[] = {
      {"[", "右ブラケット\"]\"が必要です", 2},        {"ab\\", "\"\\\"の次には文字が必要です。", 4},
      {"a[bc", "右ブラケット\"]\"が必要です", 5},     {"\\xg", "不正な１６進数コード表記です。", 4},
      {"a\x82", "不正な２バイト文字コードです。", 2},
  };
  for (const auto& c : cases) {
    try {
      Fuzzy(c.pattern);
      ADD_FAILURE() << "no error for " << c.pattern;
    } catch (const ERegExpParser& error) {
      EXPECT_STREQ(error.what(), c.message) << c.pattern;
      EXPECT_EQ(error.ErrorPos(), c.position) << c.pattern;
    }
  }
}

TEST(PreProcessorTest, FuzzyPassWithoutDictionariesCopiesText) {
  TREPreProcessor preprocessor;
  preprocessor.SetUseFuzzyCharDic(true);
  preprocessor.SetText("Re:\\x41");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "Re:\\x41");
}

TEST(PreProcessorTest, RunningTwiceGivesTheSameText) {
  TREPreProcessor preprocessor;
  preprocessor.FuzzyCharDics.push_back(&FuzzyCharDic());
  preprocessor.SetUseFuzzyCharDic(true);
  preprocessor.SetText("a");
  preprocessor.Run();
  const std::string first = preprocessor.ProcessedText();
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), first);
  EXPECT_EQ(first, "(\x82\x60|\x82\x81|A|a)");
}

TEST(PreProcessorTest, TokenListKeepsSourcePositions) {
  TREPreProcessor preprocessor;
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("a\\x41[b-c]\x82\xA0*");
  preprocessor.Run();
  const auto& tokens = preprocessor.TokenList();
  ASSERT_EQ(tokens.size(), 8u);
  struct {
    TokenKind kind;
    CharCode code;
    int start, end;
  } const expected[] = {{tk_Char, 'a', 1, 2},   {tk_Char, 0x41, 2, 6},
                        {tk_LBra, '[', 6, 7},   {tk_CharRange, 'b', 7, 10},
                        {tk_RBra, ']', 10, 11}, {tk_Char, 0x82A0, 11, 13},
                        {tk_Star, '*', 13, 14}};
  for (std::size_t k = 0; k < 7; ++k) {
    EXPECT_EQ(tokens[k].Kind, expected[k].kind) << k;
    EXPECT_EQ(tokens[k].Code, expected[k].code) << k;
    EXPECT_EQ(tokens[k].StartPos, expected[k].start) << k;
    EXPECT_EQ(tokens[k].EndPos, expected[k].end) << k;
  }
  EXPECT_EQ(tokens[3].CodeEnd, 'c');
  EXPECT_EQ(tokens[7].Kind, tk_End);
}

TEST(PreProcessorTest, TokenListEndsWithEndRecord) {
  TREPreProcessor preprocessor;
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("ab");
  preprocessor.Run();
  const auto& tokens = preprocessor.TokenList();
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens.back().Kind, tk_End);
  EXPECT_EQ(tokens.back().Code, 0);
  EXPECT_EQ(tokens.back().StartPos, 0);
  EXPECT_EQ(tokens.back().EndPos, 0);
}

TEST(PreProcessorTest, SynonymPassReplacesWordsAndFuzzyPassReadsItsOutput) {
  const Dictionary synonyms = {{"re", "fw"}};
  TREPreProcessor preprocessor;
  preprocessor.SynonymDics.push_back(&synonyms);
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("re:r");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "(re|fw):r");

  preprocessor.FuzzyCharDics.push_back(&FuzzyCharDic());
  preprocessor.SetUseFuzzyCharDic(true);
  preprocessor.SetText("re");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(),
            "((\x82\x71|\x82\x92|R|r)(\x82\x64|\x82\x85|E|e)|"
            "(\x82\x65|\x82\x86|F|f)(\x82\x76|\x82\x97|W|w))");
}

TEST(PreProcessorTest, FirstMatchingWordWinsNotTheLongest) {
  const Dictionary dictionary = {{"a", "x"}, {"ab", "y"}};
  TREPreProcessor preprocessor;
  preprocessor.SynonymDics.push_back(&dictionary);
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("ab");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "(a|x)b");
}

TEST(PreProcessorTest, DictionariesAreTriedInListOrder) {
  const Dictionary first = {{"b", "c"}};
  const Dictionary second = {{"a", "b"}};
  TREPreProcessor preprocessor;
  preprocessor.SynonymDics = {&first, &second};
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("ab");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "(a|b)(b|c)");
}

TEST(PreProcessorTest, ReplacedStretchIsNotMatchedAgain) {
  const Dictionary dictionary = {{"a", "aa"}};
  TREPreProcessor preprocessor;
  preprocessor.SynonymDics.push_back(&dictionary);
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("aa");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "(a|aa)(a|aa)");
}

TEST(PreProcessorTest, EmptyWordNeverMatchesAndOneWordGroupIsStillParenthesized) {
  const Dictionary dictionary = {{""}, {"b"}};
  TREPreProcessor preprocessor;
  preprocessor.SynonymDics.push_back(&dictionary);
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("ab");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "a(b)");
}

TEST(PreProcessorTest, WordLongerThanRunDoesNotMatch) {
  const Dictionary dictionary = {{"abc", "x"}};
  TREPreProcessor preprocessor;
  preprocessor.SynonymDics.push_back(&dictionary);
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("ab*c");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "ab*c");
  preprocessor.SetText("abc");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "(abc|x)");
}

TEST(PreProcessorTest, EscapedCharactersMatchWordsAndGroupWordsAreQuoted) {
  const Dictionary dictionary = {{"a.b", "a*"}};
  TREPreProcessor preprocessor;
  preprocessor.SynonymDics.push_back(&dictionary);
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetText("a\\.b");
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "(a\\.b|a\\*)");
  preprocessor.SetText("a.b");  // the dot is an operator here, not the word's dot
  preprocessor.Run();
  EXPECT_EQ(preprocessor.ProcessedText(), "a.b");
}

TEST(PreProcessorTest, ErrorOfSynonymPassStopsRunBeforeFuzzyPass) {
  const Dictionary synonyms = {{"ab", "abcd"}};
  TREPreProcessor preprocessor;
  preprocessor.SynonymDics.push_back(&synonyms);
  preprocessor.FuzzyCharDics.push_back(&FuzzyCharDic());
  preprocessor.SetUseSynonymDic(true);
  preprocessor.SetUseFuzzyCharDic(true);
  preprocessor.SetText("ab[");
  try {
    preprocessor.Run();
    FAIL() << "no error";
  } catch (const ERegExpParser& error) {
    EXPECT_EQ(error.ErrorPos(), 4);
    EXPECT_STREQ(error.what(), "右ブラケット\"]\"が必要です");
  }
}

}  // namespace
}  // namespace SjisRegExp
