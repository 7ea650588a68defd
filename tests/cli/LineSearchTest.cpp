// LineSearch::FindInLines against its definition: the same match as searching each line of
// the block in turn with the component's own search. Random patterns and texts over a small
// alphabet that holds what makes the fast paths delicate: two-byte characters whose trail
// bytes are ASCII letters, digits or "|", lone lead bytes before LF, CR, zero bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "AWKStr.h"
#include "LineSearch.h"
#include "PrefixFinder.h"

namespace {

using SjisRegExp::MatchSpan;
using SjisRegExp::TAWKStr;

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

// The definition: each line [begin, LF) in turn, searched with the component's own search.
MatchSpan Reference(const TAWKStr& matcher, const char* begin, const char* end) {
  const char* line = begin;
  while (line < end) {
    const void* lf = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
    const char* lineEnd = lf != nullptr ? static_cast<const char*>(lf) : end;
    const MatchSpan m = (matcher.*matcher.MatchMethod())(line, lineEnd);
    if (m.start != nullptr) return m;
    line = lineEnd + 1;
  }
  return {};
}

TEST(LineSearchTest, FindsWhatTheLineByLineSearchFinds) {
  Random r(20261208);
  int compared = 0;
  for (int round = 0; round < 3000; ++round) {
    const std::string pattern = RandomPattern(r);
    TAWKStr matcher;
    matcher.SetLineSeparator(SjisRegExp::mcls_CRLF);
    try {
      matcher.SetRegExp(pattern);
    } catch (const SjisRegExp::ERegExpParser&) {
      continue;
    }
    // The prefix as sjisgrep takes it: a leading "^" ends no match earlier.
    const std::string_view unanchored =
        pattern[0] == '^' ? std::string_view(pattern).substr(1) : std::string_view(pattern);
    const sjisgrep::LineSearch search(matcher, sjisgrep::BytePrefix(unanchored));
    for (int t = 0; t < 5; ++t) {
      const std::string text = RandomText(r);
      // Search from every line start, as sjisgrep does after each hit.
      const char* begin = text.data();
      const char* end = begin + text.size();
      for (const char* from = begin; from <= end;) {
        const MatchSpan want = Reference(matcher, from, end);
        const MatchSpan got = search.FindInLines(from, end);
        ASSERT_EQ(got.start, want.start)
            << "pattern " << pattern << " text " << testing::PrintToString(text) << " from "
            << (from - begin);
        ASSERT_EQ(got.end, want.end) << "pattern " << pattern;
        ++compared;
        const void* lf = std::memchr(from, '\n', static_cast<std::size_t>(end - from));
        if (lf == nullptr) break;
        from = static_cast<const char*>(lf) + 1;
      }
    }
  }
  EXPECT_GT(compared, 10000);
}

TEST(LineSearchTest, BytePrefixReadsLiteralsAndClasses) {
  struct Case {
    const char* pattern;
    std::vector<std::string> classes;  // each class as the bytes it holds
  };
  const Case cases[] = {
      {"Re: [0-9]+", {"R", "e", ":", " ", "0123456789"}},
      {"[A-C][0-2]+x", {"ABC", "012"}},
      {"ab*", {"a"}},
      {"ab?c", {"a"}},
      {"\x83\x4C[\x83\x40-\x83\x42]+", {"\x83", "\x4C", "\x83", "\x40\x41\x42"}},
      {"a|b", {}},
      {"\x81\x7C"
       "a|b",
       {}},  // "|" as a trail byte is no alternative, the later one is
      {"\x81\x7C"
       "a",
       {"\x81", "\x7C", "a"}},
      {"^ab", {}},
      {"[^a]b", {}},
      {"(ab)", {}},
      {"a.b", {"a"}},
      {"[]a]", {}},
      {"[a-]x", {"-a", "x"}},
      {"\\.a", {}},
  };
  for (const Case& c : cases) {
    const std::vector<sjisgrep::ByteClass> prefix = sjisgrep::BytePrefix(c.pattern);
    ASSERT_EQ(prefix.size(), c.classes.size()) << c.pattern;
    for (std::size_t k = 0; k < prefix.size(); ++k) {
      std::string held;
      for (unsigned b = 0; b < 256; ++b) {
        if (prefix[k].Has(static_cast<unsigned char>(b))) held += static_cast<char>(b);
      }
      EXPECT_EQ(held, c.classes[k]) << c.pattern << " class " << k;
    }
  }
}

TEST(LineSearchTest, PrefixFinderFindsTheFirstPlaceOfItsClasses) {
  // Against a plain scan, on texts long enough for the sixteen-wide and memchr paths.
  Random r(7);
  const std::vector<std::string> patterns = {"\x8C\x66\x8E\xA6", "Re: [0-9]", "[A-Z][0-9]", "x",
                                             "\x83[\x40-\x96]",  ":"};
  for (const std::string& pattern : patterns) {
    const std::vector<sjisgrep::ByteClass> prefix = sjisgrep::BytePrefix(pattern);
    ASSERT_FALSE(prefix.empty()) << pattern;
    for (int t = 0; t < 200; ++t) {
      const sjisgrep::PrefixFinder finder(prefix);
      std::string text;
      const std::uint32_t pieces = r.Below(400);
      for (std::uint32_t k = 0; k < pieces; ++k) {
        text += r.Below(30) == 0
                    ? pattern.substr(0, 1 + r.Below(static_cast<std::uint32_t>(pattern.size())))
                    : std::string(kTextPieces[r.Below(std::size(kTextPieces))]);
      }
      const char* begin = text.data();
      const char* end = begin + text.size();
      for (const char* from = begin; from <= end; from += 1 + r.Below(64)) {
        const char* want = nullptr;
        for (const char* p = from; p + prefix.size() <= end && want == nullptr; ++p) {
          bool holds = true;
          for (std::size_t i = 0; i < prefix.size() && holds; ++i) {
            holds = prefix[i].Has(static_cast<unsigned char>(p[i]));
          }
          if (holds) want = p;
        }
        ASSERT_EQ(finder.Find(from, end), want) << pattern << " at " << (from - begin);
      }
    }
  }
}

}  // namespace
