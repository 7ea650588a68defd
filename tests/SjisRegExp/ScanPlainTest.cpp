// The plain scan searches for stop bytes and settles character starts by counting
// lead bytes backwards. It must try exactly the starts that stepping character by
// character would try: checked here against that simple scan on texts full of
// lead-byte values, trail bytes equal to pattern letters, zero bytes and lone leads.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>

#include "../support/RandomCases.h"
#include "PatternGen.h"
#include "ReferenceScan.h"
#include "SjisRegExp/MatchCore.h"

namespace SjisRegExp {
namespace {

// A match as Match reports it: the 1-based start (0: none) and the length.
using Reported = std::pair<int, int>;

Reported Ours(const TMatchCORE& awk, const std::string& text) {
  int start = -1;
  int length = -1;
  awk.Match(text, start, length);
  return {start, length};
}

// The character-by-character scan's answer, reported the same way.
Reported Reference(const TMatchCORE& awk, const std::string& text) {
  const MatchSpan m =
      testing::ReferenceScan(awk.CurrentDFA(), text.data(), text.data() + text.size());
  if (m.start == nullptr) return {0, 0};
  return {static_cast<int>(m.start - text.data()) + 1, static_cast<int>(m.end - m.start)};
}

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
  for (int i = 0; i < sorbit::testing::RandomCases(1500); ++i) {
    std::string pattern = gen.Pattern();
    if (i % 50 == 0) pattern = "\\x82";  // a lone lead byte read as its own character
    TMatchCORE awk;
    awk.SetRegExp(pattern);
    ASSERT_FALSE(awk.CurrentDFA().LineHeadMark() || awk.CurrentDFA().LineTailMark());
    for (int k = 0; k < 20; ++k) {
      std::string text;
      const std::size_t n = rng() % 24;
      for (std::size_t j = 0; j < n; ++j) text += palette[rng() % std::size(palette)];
      if (rng() % 10 == 0) text.insert(rng() % (text.size() + 1), 1, '\0');
      const Reported want = Reference(awk, text);
      ++cases;
      matched += want.first > 0;
      ASSERT_EQ(Ours(awk, text), want) << "pattern " << pattern << " case " << cases;
    }
  }
  EXPECT_GT(matched, cases / 5);
}

// The scan cuts every walk a few bytes after its start and finishes the long ones apart,
// where it also counts them; near the end of the text the cut falls at the end. Walks of
// every length around the cut, from starts at every distance from the end, single- and
// two-byte bodies, ending in a match, a dead state, a zero byte, a lone lead byte or the
// end; and runs of such walks long enough to pass the work budget.
TEST(ScanPlainTest, WalksOfEveryLengthAroundTheirCut) {
  struct Body {
    const char* pattern;
    std::string unit;  // one character of the pattern's loop
  };
  const Body bodies[] = {{"R[ex]*y", "e"},
                         {"R(\x82\xA0)*y", "\x82\xA0"},
                         {"Re*y|Re*", "e"},
                         {"[Rr]e*:", "e"},
                         {"R\x82\xA0*y", "\x82\xA0"}};
  const std::string endings[] = {"y", "", "z", std::string(1, '\0'), "\x82", ":"};
  int cases = 0;
  int matched = 0;
  for (const Body& body : bodies) {
    TMatchCORE awk;
    awk.SetRegExp(body.pattern);
    for (std::size_t before = 0; before < 6; ++before) {
      for (std::size_t units = 0; units < 22; ++units) {
        for (const std::string& ending : endings) {
          for (std::size_t after = 0; after < 20; after += 3) {
            // Filler before (two-byte characters whose trail is "R" among it), the walk,
            // then filler that cannot continue it.
            std::string text;
            for (std::size_t i = 0; i < before; ++i) text += i % 2 == 0 ? "\x82R" : "q";
            text += "R";
            for (std::size_t i = 0; i < units; ++i) text += body.unit;
            text += ending;
            text += std::string(after, 'q');
            const Reported want = Reference(awk, text);
            ++cases;
            matched += want.first > 0;
            ASSERT_EQ(Ours(awk, text), want) << body.pattern << " case " << cases;
          }
        }
      }
    }
    // Many long walks that never match: past the budget the scan goes on in one pass.
    for (const std::size_t units : {15, 16, 17, 40, 200}) {
      std::string run = "R";
      for (std::size_t k = 0; k < units; ++k) run += body.unit;
      run += "q";
      std::string text;
      for (int i = 0; i < 300; ++i) text += run;
      for (const std::string tail : {"", "Ry"}) {
        const std::string t = text + tail;
        EXPECT_EQ(Ours(awk, t), Reference(awk, t)) << body.pattern << " units " << units;
      }
    }
  }
  EXPECT_GT(matched, cases / 4);
  EXPECT_LT(matched, cases - cases / 4);
}

}  // namespace
}  // namespace SjisRegExp
