// With both dictionary switches off the preprocessor hands the pattern on exactly,
// without scanning it: a malformed pattern passes and fails later, in the parser.
#include <gtest/gtest.h>

#include <string>

#include "SjisRegExp/FuzzyCharDic.h"
#include "SjisRegExp/PreProcessor.h"
#include "SjisRegExp/SjisRegExp.h"

namespace SjisRegExp {
namespace {

TEST(PreProcessorFlagsOffTest, TextPassesByteForByte) {
  TREPreProcessor pre;
  EXPECT_FALSE(pre.UseFuzzyCharDic());
  EXPECT_FALSE(pre.UseSynonymDic());
  for (const std::string& text :
       {std::string("Re:"), std::string("[Rr][Ee][ :>\\[#]+[0-9]+"), std::string("a("),
        std::string("\\"), std::string("\x82"), std::string(), std::string("x\0y", 3)}) {
    pre.SetText(text);
    EXPECT_NO_THROW(pre.Run()) << text;
    EXPECT_EQ(pre.ProcessedText(), text);
  }
}

TEST(PreProcessorFlagsOffTest, ComponentHasTheFuzzyDictionaryWithItsSwitchOff) {
  // A TAWKStr has the shared fuzzy dictionary at hand; its switch starts off.
  TAWKStr awk;
  EXPECT_FALSE(awk.UseFuzzyCharDic());
  awk.SetRegExp("a");
  int start = 0;
  int length = 0;
  EXPECT_EQ(awk.Match("\x82\x60", start, length), 0) << "Ａ, the full-width form of a";
  awk.SetUseFuzzyCharDic(true);
  EXPECT_EQ(awk.Match("\x82\x60", start, length), 1);
  EXPECT_EQ(length, 2);
  TREPreProcessor pre;
  EXPECT_TRUE(pre.FuzzyCharDics.empty());
  EXPECT_TRUE(pre.SynonymDics.empty());
}

}  // namespace
}  // namespace SjisRegExp
