// Leftmost-longest results checked against an independent engine: the C library's
// POSIX regexec (extended syntax, C locale), whose overall match is leftmost-longest.
// Patterns use only the syntax both share (no anchors, braces or escapes) and texts
// hold no CR or LF, which the two engines treat differently on purpose.
#include <gtest/gtest.h>
#include <regex.h>

#include <string>

#include "AWKStr.h"
#include "PatternGen.h"

namespace SjisRegExp {
namespace {

class PosixRegex {
 public:
  explicit PosixRegex(const std::string& pattern) {
    ok_ = regcomp(&re_, pattern.c_str(), REG_EXTENDED) == 0;
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
  for (int i = 0; i < run.patterns; ++i) {
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
  EXPECT_EQ(cases, run.patterns * 10);
  // A comparison where nearly nothing matches would prove little.
  EXPECT_GT(matched, cases / 4);
  std::printf("[ differential ] %d cases, %d with a match, %d mismatches\n", cases, matched,
              mismatches);
}

TEST(PosixDifferentialTest, ThreeLettersShallowNesting) { Compare({"abc", 3, 4000, 12, 20261208}); }

TEST(PosixDifferentialTest, TwoLettersDeepNestingLongerTexts) {
  Compare({"ab", 5, 3000, 24, 4711});
}

}  // namespace
}  // namespace SjisRegExp
