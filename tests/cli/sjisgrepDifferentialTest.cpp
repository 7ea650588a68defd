// On single-byte text without CR, sjisgrep and GNU grep (LC_ALL=C grep -E) mean the same by
// the patterns below, so they must print the same: whole lines, counts, and with -o every
// match (leftmost-longest, continuing after each one, "^" only at the line start).
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "../support/TempDir.h"

namespace {

// Runs the shell command and returns its standard output.
std::string Output(const std::string& command, const std::string& outFile) {
  const int status = std::system((command + " > " + outFile).c_str());
  EXPECT_TRUE(WIFEXITED(status)) << command;
  return sorbit::testing::ReadFile(outFile);
}

class SjisgrepDifferentialTest : public testing::Test {
 protected:
  void SetUp() override {
    haveGrep_ = std::system("LC_ALL=C grep -E -c x /dev/null > /dev/null 2>&1; [ $? -le 1 ]") == 0;
  }

  sorbit::testing::TempDir dir_;
  bool haveGrep_ = false;
};

TEST_F(SjisgrepDifferentialTest, AgreesWithGrepOnSingleByteText) {
  if (!haveGrep_) GTEST_SKIP() << "GNU grep not found";
  // Deterministic lines over a small alphabet, so that patterns match often and overlap.
  std::uint32_t state = 12345;
  auto next = [&state](std::uint32_t bound) {
    state = state * 1103515245u + 12345u;
    return (state >> 16) % bound;
  };
  std::string text;
  for (int line = 0; line < 400; ++line) {
    const std::uint32_t length = next(12);
    for (std::uint32_t k = 0; k < length; ++k) text += "aabbc- x"[next(8)];
    text += '\n';
  }
  const std::string input = dir_ / "input.txt";
  sorbit::testing::WriteFile(input, text);

  const char* const patterns[] = {"a",      "a+",   "ab|a",    "a|ab",  "^a",      "a$",
                                  "^a|b",   "b|a$", "(ab)+",   "a*",    "[ab]+c?", "^$",
                                  "^(a|b)", "x.*a", "[^ab]+",  "b?c",   "-+",      "(a|b)(c|x)",
                                  "^.*$",   "a.b",  "(a*b)+c", "c|^b+", "a[- ]b",  " "};
  for (const char* pattern : patterns) {
    for (const char* options : {"-n", "-c", "-on"}) {
      const std::string quoted = std::string("'") + pattern + "'";
      const std::string grep =
          Output(std::string("LC_ALL=C grep -E ") + options + " -e " + quoted + " " + input,
                 dir_ / "grep.out");
      const std::string ours = Output(std::string("LC_ALL=C '") + SJISGREP_PATH + "' " + options +
                                          " -- " + quoted + " " + input,
                                      dir_ / "sjisgrep.out");
      EXPECT_EQ(ours, grep) << "pattern " << pattern << ", options " << options;
    }
  }
}

}  // namespace
