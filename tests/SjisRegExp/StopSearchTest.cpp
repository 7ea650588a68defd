// The plain scan looks for its stop bytes sixteen bytes at a time when there are few of them,
// with a last block that overlaps the one before and a byte loop for short texts. Checked
// here, through the public Match, against a scan that steps character by character: texts
// of every length around the block size, lone lead bytes, zero bytes, texts that end in a
// lead byte, and stop bytes that are trail bytes.
#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ReferenceScan.h"
#include "SjisRegExp/MatchCore.h"

namespace SjisRegExp {
namespace {

// The reference scan's answer as Match gives it: the 1-based start and the length.
std::pair<int, int> Reference(const TRE_DFA& dfa, const std::string& text) {
  const char* begin = text.data();
  const MatchSpan m = testing::ReferenceScan(dfa, begin, begin + text.size());
  if (m.start == nullptr) return {0, 0};
  return {static_cast<int>(m.start - begin) + 1, static_cast<int>(m.end - m.start)};
}

struct PatternCase {
  const char* pattern;
  bool fewStops;  // whether the vector search is the one in use
};

// Patterns with one to three stop bytes besides the zero byte, and some with more.
const PatternCase kPatterns[] = {
    {"[Rr][Ee][ :>\\[#]+[0-9]+", true},
    {"R", true},
    {"Re", true},
    {"[Rr]e*", true},
    {"[Rre]:", true},
    {"\\x82", true},  // a lone lead byte matched as its own character
    {"\\x82\\x52", true},
    {"R|\\x82\\xA0", true},
    {"[a-z]+1", false},
    {"[Rr][Ee]|[0-9]", false},
    {"[^x]y", false},
};

TEST(StopSearchTest, PatternsUseTheVectorSearchWhenTheyHaveFewStopBytes) {
  for (const PatternCase& c : kPatterns) {
    TMatchCORE awk;
    awk.SetRegExp(c.pattern);
    EXPECT_EQ(awk.CurrentDFA().Accel().SearchesStopBytesByBlock(), c.fewStops) << c.pattern;
  }
}

TEST(StopSearchTest, AgreesWithTheCharacterScan) {
  // Pieces: pattern letters, separators, digits, lead bytes (some with trail bytes equal
  // to "R", "e" or "r"), single-byte katakana and zero bytes.
  const std::string palette[] = {"R",    "r",    "e",    "E",        ":",    " ",
                                 "1",    "x",    "\x82", "\x82\x52", "\x83", "\x83\x72",
                                 "\x81", "\xA0", "\xE0", "\xFC",     "\x65", std::string(1, '\0')};
  std::mt19937 rng(20261208);
  int cases = 0;
  int matched = 0;
  for (const PatternCase& c : kPatterns) {
    TMatchCORE awk;
    awk.SetRegExp(c.pattern);
    for (int k = 0; k < 4000; ++k) {
      std::string text;
      // Lengths around one, two and three blocks, and short ones.
      const std::size_t n = rng() % 50;
      while (text.size() < n) {
        // Mostly filler, so that stop bytes land anywhere in a block, or not at all.
        text += rng() % 4 == 0 ? palette[rng() % std::size(palette)] : std::string(1, 'x');
      }
      if (rng() % 8 == 0 && !text.empty()) text.back() = '\x82';  // ends in a lead byte
      // The text is copied into a buffer of exactly its size: a read past its end is an
      // error under the address sanitizer.
      auto exact = std::make_unique<char[]>(text.size());
      std::copy(text.begin(), text.end(), exact.get());
      int start = -1;
      int length = -1;
      awk.Match(std::string_view(exact.get(), text.size()), start, length);
      const auto [wantStart, wantLength] = Reference(awk.CurrentDFA(), text);
      ++cases;
      matched += wantStart > 0;
      ASSERT_EQ(start, wantStart) << "pattern " << c.pattern << " case " << cases;
      ASSERT_EQ(length, wantLength) << "pattern " << c.pattern << " case " << cases;
    }
  }
  EXPECT_GT(matched, cases / 10);
  EXPECT_LT(matched, cases - cases / 10);
}

TEST(StopSearchTest, StopByteInEveryPositionOfTheLastBlock) {
  // A single "R" at every offset of texts of every length up to 40 bytes, after plain
  // filler and after two-byte characters whose trail bytes are "R".
  TMatchCORE awk;
  awk.SetRegExp("R");
  for (std::size_t n = 1; n <= 40; ++n) {
    for (std::size_t at = 0; at < n; ++at) {
      std::string plain(n, 'x');
      plain[at] = 'R';
      int start = -1;
      int length = -1;
      EXPECT_EQ(awk.Match(plain, start, length), static_cast<int>(at) + 1) << n << " " << at;
      // "\x82R" pairs from the beginning: an R at an odd offset is a trail byte.
      std::string paired;
      while (paired.size() < n) paired += "\x82R";
      paired.resize(n);
      const auto [wantStart, wantLength] = Reference(awk.CurrentDFA(), paired);
      EXPECT_EQ(awk.Match(paired, start, length), wantStart) << n;
      EXPECT_EQ(length, wantLength) << n;
    }
  }
}

TEST(StopSearchTest, ZeroByteEndsTheTextInsideABlock) {
  TMatchCORE awk;
  awk.SetRegExp("R");
  int start = -1;
  int length = -1;
  for (std::size_t zero = 0; zero < 39; ++zero) {
    std::string text(40, 'x');
    text[zero] = '\0';
    text[39] = 'R';
    EXPECT_EQ(awk.Match(text, start, length), 0) << zero;
    EXPECT_EQ(start, 0);
  }
}

}  // namespace
}  // namespace SjisRegExp
