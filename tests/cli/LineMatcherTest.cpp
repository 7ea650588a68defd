// sjisgrep's block search against its definition: the first line that FindLine finds is the
// first whose text Find matches. Random patterns and texts over a small alphabet that holds
// what makes the fast paths delicate: two-byte characters whose trail bytes are ASCII
// letters, digits or "|", lone lead bytes before LF, CR, zero bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

#include "../support/RandomCases.h"
#include "LineMatcher.h"

namespace {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint32_t Below(std::uint32_t n) {
    state_ = state_ * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<std::uint32_t>(state_ >> 33) % n;
  }

 private:
  std::uint64_t state_;
};

// Characters of the texts and patterns: A (also the trail of ア 0x83 0x41), 1, R, e, ":" and
// " ", ア, ソ (0x83 0x5C, trail "\"), ー (0x81 0x5B), 掲 (0x8C 0x66), a lone lead 0x83.
const char* const kTextPieces[] = {"A",  "1",        "2",        "R",        "e",        ":",
                                   " ",  "\x83\x41", "\x83\x5C", "\x81\x5B", "\x8C\x66", "\n",
                                   "\n", "\r\n",     "x",        "\x83\x7C"};
const char* const kPatternAtoms[] = {"A",
                                     "1",
                                     "R",
                                     "e",
                                     ":",
                                     " ",
                                     "\x83\x41",
                                     "\x83\x5C",
                                     "\x81\x5B",
                                     "\x8C\x66",
                                     "[0-9]",
                                     "[A-Z]",
                                     "[\x83\x40-\x83\x96]",
                                     ".",
                                     "[^A]",
                                     "x",
                                     "\x83\x7C"};

std::string RandomPattern(Random& r) {
  std::string pattern;
  if (r.Below(8) == 0) pattern += '^';
  const std::uint32_t atoms = 1 + r.Below(4);
  for (std::uint32_t k = 0; k < atoms; ++k) {
    if (r.Below(10) == 0) {
      pattern += std::string("(") + kPatternAtoms[r.Below(std::size(kPatternAtoms))] + "|" +
                 kPatternAtoms[r.Below(std::size(kPatternAtoms))] + ")";
    } else {
      pattern += kPatternAtoms[r.Below(std::size(kPatternAtoms))];
    }
    const std::uint32_t q = r.Below(8);
    if (q == 0) pattern += '+';
    if (q == 1) pattern += '*';
    if (q == 2) pattern += '?';
  }
  if (r.Below(8) == 0) pattern += '$';
  return pattern;
}

std::string RandomText(Random& r) {
  std::string text;
  const std::uint32_t pieces = r.Below(120);
  for (std::uint32_t k = 0; k < pieces; ++k) {
    if (r.Below(60) == 0) {
      text += '\0';
    } else if (r.Below(40) == 0) {
      text += '\x83';  // a lead byte, maybe before LF or at the end
    } else {
      text += kTextPieces[r.Below(std::size(kTextPieces))];
    }
  }
  return text;
}

// The definition: the text of each line in turn, searched with Find from its start.
const char* Reference(const sjisgrep::LineMatcher& matcher, const char* begin, const char* end) {
  for (const char* line = begin; line < end;) {
    const void* lf = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
    const char* lineEnd = lf != nullptr ? static_cast<const char*>(lf) : end;
    const char* textEnd = sjisgrep::LineMatcher::TextEnd(line, lineEnd, lf != nullptr);
    if (matcher.Find(line, line, textEnd).start != nullptr) return line;
    line = lineEnd + 1;
  }
  return nullptr;
}

TEST(LineMatcherTest, FindLineFindsTheFirstLineThatFindMatches) {
  Random r(20261208);
  int compared = 0;
  int found = 0;
  for (int round = 0; round < sorbit::testing::RandomCases(3000); ++round) {
    const std::string pattern = RandomPattern(r);
    std::optional<sjisgrep::LineMatcher> matcher;
    try {
      matcher.emplace(std::vector<sjisgrep::MatchPiece>{{pattern, {}, {}}}, false, false);
    } catch (const SjisRegExp::ERegExpParser&) {
      continue;
    }
    for (int t = 0; t < 5; ++t) {
      const std::string text = RandomText(r);
      // Search from every line start, as sjisgrep does after each hit.
      const char* begin = text.data();
      const char* end = begin + text.size();
      for (const char* from = begin; from <= end;) {
        const char* want = Reference(*matcher, from, end);
        const sjisgrep::LineMatch got = matcher->FindLine(from, end);
        ASSERT_EQ(got.start, want) << "pattern " << pattern << " text "
                                   << testing::PrintToString(text) << " from " << (from - begin);
        if (want != nullptr) {
          const void* lf = std::memchr(want, '\n', static_cast<std::size_t>(end - want));
          ASSERT_EQ(got.end, lf != nullptr ? static_cast<const char*>(lf) : end);
          ++found;
        }
        ++compared;
        const void* lf = std::memchr(from, '\n', static_cast<std::size_t>(end - from));
        if (lf == nullptr) break;
        from = static_cast<const char*>(lf) + 1;
      }
    }
  }
  EXPECT_GT(compared, sorbit::testing::RandomCases(10000));
  EXPECT_GT(found, sorbit::testing::RandomCases(1000));
}

}  // namespace
