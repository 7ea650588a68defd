// Leftmost-longest results checked against an independent engine: the C library's
// POSIX regexec (extended syntax, C locale), whose overall match is leftmost-longest.
// Patterns use only the syntax both share (no anchors, braces or escapes) and texts
// hold no CR or LF, which the two engines treat differently on purpose.
#include <gtest/gtest.h>
#include <regex.h>

#include <string>

#include "../support/RandomCases.h"
#include "PatternGen.h"
#include "SjisRegExp/SjisRegExp.h"

namespace SjisRegExp {
namespace {

class PosixRegex {
 public:
  explicit PosixRegex(const std::string& pattern, int flags = REG_EXTENDED) {
    ok_ = regcomp(&re_, pattern.c_str(), flags) == 0;
  }
  ~PosixRegex() {
    if (ok_) regfree(&re_);
  }
  PosixRegex(const PosixRegex&) = delete;
  PosixRegex& operator=(const PosixRegex&) = delete;
  bool ok() const { return ok_; }
  // 1-based start and length as Match gives them; 0, 0 when nothing matches.
  std::pair<int, int> Find(const std::string& text) const {
    regmatch_t m[1];
    if (regexec(&re_, text.c_str(), 1, m, 0) != 0) return {0, 0};
    return {static_cast<int>(m[0].rm_so) + 1, static_cast<int>(m[0].rm_eo - m[0].rm_so)};
  }

 private:
  regex_t re_{};
  bool ok_ = false;
};

struct Run {
  const char* alphabet;
  int maxDepth;
  int patterns;
  std::size_t maxText;
  unsigned seed;
};

void Compare(const Run& run) {
  testing::PatternGenOptions options;
  options.alphabet = run.alphabet;
  options.maxDepth = run.maxDepth;
  testing::PatternGen gen(run.seed, options);
  int cases = 0;
  int matched = 0;
  int mismatches = 0;
  const int patterns = sorbit::testing::RandomCases(run.patterns);
  for (int i = 0; i < patterns; ++i) {
    const std::string pattern = gen.Pattern();
    PosixRegex posix(pattern);
    ASSERT_TRUE(posix.ok()) << pattern;
    TAWKStr awk;
    awk.SetRegExp(pattern);
    for (int k = 0; k < 10; ++k) {
      const std::string text = gen.Text(run.maxText);
      const auto [wantStart, wantLength] = posix.Find(text);
      int start = -1;
      int length = -1;
      const int result = awk.Match(text, start, length);
      ++cases;
      matched += wantStart > 0;
      if (result != wantStart || start != wantStart || length != wantLength) {
        if (++mismatches <= 20) {
          ADD_FAILURE() << "pattern " << pattern << " text \"" << text << "\": got " << start << ","
                        << length << " regexec " << wantStart << "," << wantLength;
        }
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_EQ(cases, patterns * 10);
  // A comparison where nearly nothing matches would prove little.
  EXPECT_GT(matched, cases / 4);
  std::printf("[ differential ] %d cases, %d with a match, %d mismatches\n", cases, matched,
              mismatches);
}

TEST(PosixDifferentialTest, ThreeLettersShallowNesting) { Compare({"abc", 3, 4000, 12, 20261208}); }

TEST(PosixDifferentialTest, TwoLettersDeepNestingLongerTexts) {
  Compare({"ab", 5, 3000, 24, 4711});
}

// Anchors against regexec under REG_NEWLINE, where ^ matches after every newline and $
// before one, as ours do with the LF separator: alternatives of groups with a leading ^
// and a trailing $ or not, over texts of several lines (empty ones and the empty text
// among them) and long enough that the scans hand over to the one-pass search.
TEST(PosixDifferentialTest, AnchorsUnderNewlineSeparatedLines) {
  testing::PatternGenOptions options;
  options.alphabet = "ab";
  options.maxDepth = 3;
  testing::PatternGen gen(2026, options);
  int cases = 0;
  int matched = 0;
  int mismatches = 0;
  for (int i = 0; i < sorbit::testing::RandomCases(2500); ++i) {
    std::string pattern;
    for (std::size_t terms = 1 + gen.Pick(2); terms-- > 0;) {
      if (!pattern.empty()) pattern += "|";
      pattern += (gen.Pick(2) == 0 ? "^(" : "(") + gen.Pattern() + (gen.Pick(2) == 0 ? ")$" : ")");
    }
    PosixRegex posix(pattern, REG_EXTENDED | REG_NEWLINE);
    ASSERT_TRUE(posix.ok()) << pattern;
    TAWKStr awk;
    awk.SetLineSeparator(mcls_LF);
    awk.SetRegExp(pattern);
    for (int k = 0; k < 8; ++k) {
      std::string text = gen.Text(k == 0 ? 0 : 24, "\n");
      if (k == 7) {
        if (i % 5 != 0) continue;
        // Long enough to pass the restart scan's budget.
        const std::string run(3000, 'a');
        text = run + "\n" + text + run;
      }
      const auto [wantStart, wantLength] = posix.Find(text);
      int start = -1;
      int length = -1;
      awk.Match(text, start, length);
      ++cases;
      matched += wantStart > 0;
      if ((start != wantStart || length != wantLength) && ++mismatches <= 10) {
        ADD_FAILURE() << "pattern " << pattern << " text " << ::testing::PrintToString(text)
                      << ": got " << start << "," << length << " regexec " << wantStart << ","
                      << wantLength;
      }
    }
  }
  EXPECT_EQ(mismatches, 0);
  EXPECT_GT(matched, cases / 4);
  std::printf("[ differential ] %d anchored cases under REG_NEWLINE, %d with a match\n", cases,
              matched);
}

}  // namespace
}  // namespace SjisRegExp
