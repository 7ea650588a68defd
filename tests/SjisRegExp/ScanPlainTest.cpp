// The plain scan searches for stop bytes and settles character starts by counting
// lead bytes backwards. It must try exactly the starts that stepping character by
// character would try: checked here against that simple scan on texts full of
// lead-byte values, trail bytes equal to pattern letters, zero bytes and lone leads.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "AWKStr.h"
#include "PatternGen.h"
#include "ReferenceScan.h"

namespace SjisRegExp {
namespace {

TEST(ScanPlainTest, TriesExactlyTheCharacterStarts) {
  testing::PatternGenOptions options;
  options.alphabet = "Re:1";
  options.wideChars = {"\x82\x82", "\x82\x52", "\x83\x65", "\xE0\x40", "\x81\x81", "\x82\xA0"};
  testing::PatternGen gen(31337, options);
  const std::string palette[] = {"R",    "e",    ":",    " ",    "1",    "\x82", "\x83",
                                 "\x81", "\xA0", "\x40", "\x52", "\xE0", "\xFC", "\x65"};
  std::mt19937 rng(5);
  int cases = 0;
  int matched = 0;
  for (int i = 0; i < 1500; ++i) {
    std::string pattern = gen.Pattern();
    if (i % 50 == 0) pattern = "\\x82";  // a lone lead byte read as its own character
    TAWKStr awk;
    awk.SetRegExp(pattern);
    ASSERT_EQ(awk.MatchMethod(), &TMatchCORE::ScanPlain);
    for (int k = 0; k < 20; ++k) {
      std::string text;
      const std::size_t n = rng() % 24;
      for (std::size_t j = 0; j < n; ++j) text += palette[rng() % std::size(palette)];
      if (rng() % 10 == 0) text.insert(rng() % (text.size() + 1), 1, '\0');
      const MatchSpan want =
          testing::ReferenceScan(awk.CurrentDFA(), text.data(), text.data() + text.size());
      int start = -1;
      int length = -1;
      awk.Match(text, start, length);
      const int wantStart = want.start ? static_cast<int>(want.start - text.data()) + 1 : 0;
      const int wantLength = want.start ? static_cast<int>(want.end - want.start) : 0;
      ++cases;
      matched += wantStart > 0;
      ASSERT_EQ(start, wantStart) << "pattern " << pattern << " case " << cases;
      ASSERT_EQ(length, wantLength) << "pattern " << pattern << " case " << cases;
    }
  }
  EXPECT_GT(matched, cases / 5);
}

}  // namespace
}  // namespace SjisRegExp
