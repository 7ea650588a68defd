// The plain scan searches for stop bytes and settles character starts by counting
// lead bytes backwards. It must try exactly the starts that stepping character by
// character would try: checked here against that simple scan on texts full of
// lead-byte values, trail bytes equal to pattern letters, zero bytes and lone leads.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "AWKStr.h"
#include "PatternGen.h"

namespace SjisRegExp {
namespace {

std::size_t Step(const char* p, const char* end) {
  return (IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end && p[1] != 0) ? 2 : 1;
}

// Character by character, walking the sorted transition lists (no tables).
MatchSpan ReferenceScan(const TRE_DFA& dfa, const char* begin, const char* end) {
  if (begin >= end || *begin == 0) {
    if (dfa.Accepting(0)) return {begin, begin};
    return {};
  }
  for (const char* p = begin; p < end && *p != 0; p += Step(p, end)) {
    MatchSpan found;
    std::int32_t state = 0;
    const char* cursor = p;
    for (;;) {
      if (dfa.Accepting(state)) found = {p, cursor};
      if (cursor >= end || *cursor == 0) break;
      const std::size_t n = Step(cursor, end);
      const auto b0 = static_cast<unsigned char>(cursor[0]);
      const CharCode code =
          n == 2 ? static_cast<CharCode>(b0 << 8 | static_cast<unsigned char>(cursor[1])) : b0;
      cursor += n;
      state = dfa.NextStateByWalk(state, code);
      if (state == kNoState) break;
    }
    if (found.start != nullptr) return found;
  }
  return {};
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
          ReferenceScan(awk.CurrentDFA(), text.data(), text.data() + text.size());
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
