// With both dictionary switches off the preprocessor hands the pattern on exactly,
// without scanning it: a malformed pattern passes and fails later, in the parser.
#include <gtest/gtest.h>

#include <string>

#include "AWKStr.h"
#include "FuzzyCharDic.h"
#include "PreProcessor.h"

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

TEST(PreProcessorFlagsOffTest, ComponentListsTheFuzzyDictionary) {
  // A TAWKStr lists the one shared fuzzy dictionary; its switch stays off.
  TAWKStr first;
  TAWKStr second;
  EXPECT_FALSE(first.UseFuzzyCharDic());
  ASSERT_EQ(first.FuzzyCharDics().size(), 1u);
  EXPECT_EQ(first.FuzzyCharDics()[0], &FuzzyCharDic());
  EXPECT_EQ(second.FuzzyCharDics()[0], first.FuzzyCharDics()[0]);
  TREPreProcessor pre;
  EXPECT_TRUE(pre.FuzzyCharDics.empty());
  EXPECT_TRUE(pre.SynonymDics.empty());
}

}  // namespace
}  // namespace SjisRegExp
