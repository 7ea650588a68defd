// Two-byte characters as single steps, checked against POSIX regexec as well: each
// two-byte character of pattern and text is mapped to one ASCII letter that keeps the
// code order, so ranges, classes, closures and the dot mean the same on both sides.
// Two of the characters have trail bytes equal to letters of the alphabet, so a
// match that began at a trail byte would show as a difference.
#include <gtest/gtest.h>
#include <regex.h>

#include <string>
#include <vector>

#include "../support/RandomCases.h"
#include "PatternGen.h"
#include "SjisRegExp/SjisRegExp.h"

namespace SjisRegExp {
namespace {

// In code order, with the letters that stand for them.
const std::vector<std::string> kWide = {"\x82\x61", "\x82\xA0", "\x82\xA2", "\x83\x4A",
                                        "\x83\x62"};  // Ｂ(trail a) あ い カ(trail J) ャ(trail b)
const char kStandIns[] = "vwxyz";

// The text with every two-byte character replaced, and for each resulting character
// the byte offset where it starts in the original.
std::string Narrow(const std::string& s, std::vector<int>* offsets) {
  std::string out;
  for (std::size_t i = 0; i < s.size();) {
    if (offsets) offsets->push_back(static_cast<int>(i));
    if (IsLeadByte(static_cast<unsigned char>(s[i]))) {
      const std::string c = s.substr(i, 2);
      for (std::size_t k = 0; k < kWide.size(); ++k) {
        if (kWide[k] == c) out += kStandIns[k];
      }
      i += 2;
    } else {
      out += s[i];
      i += 1;
    }
  }
  if (offsets) offsets->push_back(static_cast<int>(s.size()));
  return out;
}

TEST(ShiftJisDifferentialTest, TwoByteCharactersAreSingleSteps) {
  testing::PatternGenOptions options;
  options.alphabet = "abJ";
  options.wideChars = kWide;
  options.maxDepth = 3;
  testing::PatternGen gen(8128, options);
  int cases = 0;
  int mismatches = 0;
  int wideMatches = 0;
  for (int i = 0; i < sorbit::testing::RandomCases(3000); ++i) {
    const std::string pattern = gen.Pattern();
    regex_t re;
    ASSERT_EQ(regcomp(&re, Narrow(pattern, nullptr).c_str(), REG_EXTENDED), 0) << pattern;
    TAWKStr awk;
    awk.SetRegExp(pattern);
    for (int k = 0; k < 10; ++k) {
      const std::string text = gen.Text(12, "c");
      std::vector<int> offsets;
      const std::string narrow = Narrow(text, &offsets);
      int wantStart = 0;
      int wantLength = 0;
      regmatch_t m[1];
      if (regexec(&re, narrow.c_str(), 1, m, 0) == 0) {
        wantStart = offsets[m[0].rm_so] + 1;
        wantLength = offsets[m[0].rm_eo] - offsets[m[0].rm_so];
        wideMatches += wantLength != m[0].rm_eo - m[0].rm_so;
      }
      int start = -1;
      int length = -1;
      awk.Match(text, start, length);
      ++cases;
      if (start != wantStart || length != wantLength) {
        if (++mismatches <= 20) {
          ADD_FAILURE() << "pattern " << pattern << " text " << text << ": got " << start << ","
                        << length << " want " << wantStart << "," << wantLength;
        }
      }
    }
    regfree(&re);
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(wideMatches, cases / 10) << "too few matches that cover two-byte characters";
  std::printf("[ differential ] %d Shift-JIS cases, %d matches over two-byte characters\n", cases,
              wideMatches);
}

}  // namespace
}  // namespace SjisRegExp
