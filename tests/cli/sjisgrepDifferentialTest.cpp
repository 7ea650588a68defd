// On single-byte text without CR, sjisgrep and GNU grep (LC_ALL=C grep -E) mean the same by
// the patterns below, so they must print the same: whole lines, counts, and with -o every
// match (leftmost-longest, continuing after each one, "^" only at the line start).
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Slurp(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// Runs the shell command and returns its standard output.
std::string Output(const std::string& command, const std::filesystem::path& outFile) {
  const int status = std::system((command + " > " + outFile.string()).c_str());
  EXPECT_TRUE(WIFEXITED(status)) << command;
  return Slurp(outFile);
}

class SjisgrepDifferentialTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/sjisgrep-diff-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    haveGrep_ = std::system("LC_ALL=C grep -E -c x /dev/null > /dev/null 2>&1; [ $? -le 1 ]") == 0;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_;
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
  const std::filesystem::path input = dir_ / "input.txt";
  std::ofstream(input, std::ios::binary) << text;

  const char* const patterns[] = {"a",      "a+",   "ab|a",    "a|ab",  "^a",      "a$",
                                  "^a|b",   "b|a$", "(ab)+",   "a*",    "[ab]+c?", "^$",
                                  "^(a|b)", "x.*a", "[^ab]+",  "b?c",   "-+",      "(a|b)(c|x)",
                                  "^.*$",   "a.b",  "(a*b)+c", "c|^b+", "a[- ]b",  " "};
  for (const char* pattern : patterns) {
    for (const char* options : {"-n", "-c", "-on"}) {
      const std::string quoted = std::string("'") + pattern + "'";
      const std::string grep = Output(
          std::string("LC_ALL=C grep -E ") + options + " -e " + quoted + " " + input.string(),
          dir_ / "grep.out");
      const std::string ours = Output(std::string("LC_ALL=C '") + SJISGREP_PATH + "' " + options +
                                          " -- " + quoted + " " + input.string(),
                                      dir_ / "sjisgrep.out");
      EXPECT_EQ(ours, grep) << "pattern " << pattern << ", options " << options;
    }
  }
}

}  // namespace
