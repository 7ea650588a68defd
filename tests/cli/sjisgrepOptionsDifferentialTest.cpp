// On ASCII text in the C locale, sjisgrep's options mean what GNU grep's mean (for patterns
// that read the same in both), so every combination below must print the same bytes and give
// the same exit status as LC_ALL=C grep -E: context groups, counts, names, -w retries, -m with
// trailing context, recursion, and the rest.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "SjisgrepShell.h"

namespace {

using sorbit::testing::HaveCommand;
using sorbit::testing::RunShell;
using sorbit::testing::ShellQuote;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

class SjisgrepOptionsDifferentialTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HaveCommand("LC_ALL=C grep -E -c x /dev/null; [ $? -le 1 ]")) {
      GTEST_SKIP() << "GNU grep not found";
    }
    // Deterministic text over a small alphabet, so that words and lines match often.
    std::uint32_t state = 2024;
    auto next = [&state](std::uint32_t bound) {
      state = state * 1103515245u + 12345u;
      return (state >> 16) % bound;
    };
    std::filesystem::create_directories(files_.Path("d/sub"));
    std::filesystem::create_directories(files_.Path("d/skip"));
    const char* const names[] = {"d/a.txt", "d/b.log", "d/sub/c.txt", "d/skip/e.txt", "d/f.txt"};
    for (const char* name : names) {
      std::string text;
      const std::uint32_t lines = 5 + next(25);
      for (std::uint32_t line = 0; line < lines; ++line) {
        const std::uint32_t words = next(5);
        for (std::uint32_t w = 0; w < words; ++w) {
          static const char* const kWords[] = {"ab", "abc", "b_c", "x1", "ab-c", "foo", "c"};
          if (w > 0) text += " ,"[next(2)];
          text += kWords[next(7)];
        }
        text += '\n';
      }
      WriteFile(files_.Path(name), text);
    }
    WriteFile(files_.Path("d/patterns"), "abc\nx1\n");
    // A binary file (a zero byte after a match), lines that end in zero bytes (without LFs,
    // which sjisgrep's "^" and "$" still take as line ends), a FIFO.
    WriteFile(files_.Path("bin"), std::string("ab foo\nx\0y\nfoo c\n", 17));
    WriteFile(files_.Path("z"), std::string("ab foo\0x1 c\0foo\0\0ab-c\0", 22));
    HaveCommand("mkfifo " + ShellQuote(files_.Path("fifo")));
    WriteFile(files_.Path("zero-pattern"), std::string("x\0y\n", 4));
  }

  TempDir files_;
  TempDir io_;
};

TEST_F(SjisgrepOptionsDifferentialTest, PrintsWhatGrepPrints) {
  const std::vector<std::string> cases = {
      "-n ab d/a.txt",
      "-c ab d/a.txt d/b.log",
      "-v -n ab d/a.txt",
      "-vc foo d/a.txt d/b.log",
      "-w ab d/a.txt d/b.log",
      "-wo ab d/a.txt",
      "-w 'ab|abc' d/a.txt",
      "-w 'b*' d/a.txt",
      "-x 'ab|abc' d/a.txt",
      "-x 'foo( ab)?' d/a.txt d/f.txt",
      "-l c d/a.txt d/b.log d/f.txt",
      "-L foo d/a.txt d/b.log d/f.txt",
      "-lv ab d/a.txt d/b.log",
      "-o -b 'x1|foo' d/a.txt",
      "-b ab d/b.log",
      "-m 2 ab d/a.txt d/b.log",
      "-m 1 -A 2 -n ab d/a.txt",
      "-m 0 ab d/a.txt",
      "-A 1 -n foo d/a.txt d/b.log",
      "-B 2 foo d/a.txt",
      "-C 1 -n x1 d/a.txt d/f.txt",
      "-v -C 1 ab d/b.log",
      "-c -A 3 ab d/a.txt",
      "-H ab d/a.txt",
      "-h ab d/a.txt d/b.log",
      "-Z -n foo d/a.txt d/b.log",
      "-Z -l foo d/a.txt d/b.log",
      "-Z -c foo d/a.txt d/b.log",
      "-e foo -e x1 d/a.txt",
      "-f d/patterns d/a.txt",
      "-F -e ab-c -e b_c d/a.txt",
      "-F -x foo d/b.log",
      "-r -n foo d",
      "-r -c foo d/",
      "-r foo --include='*.txt' d",
      "-r foo --exclude='*.txt' d",
      "-r foo --exclude-dir=skip d",
      "-q foo d/a.txt",
      "-q nothing-like-this d/a.txt",
      "-s foo d/missing d/a.txt",
      "foo d/missing d/a.txt",
      "foo d",
      "-ow 'ab|b_c' d/b.log",
      "-o -C 1 x1 d/a.txt d/b.log",
      "-2 -n x1 d/a.txt",
      "-n12 x1 d/b.log",
      "-o -n -A 2 foo d/f.txt",
      "-n '^ab' d/a.txt",
      "-c 'c$' d/a.txt",
      "--color=always 'c$|b*' d/a.txt",
      "--color=always -n '$' d/f.txt",
      // Anchors inside alternatives, with -x and -w.
      "-x -c 'ab$|zz' d/a.txt",
      "-x -n -e foo -e '^abc' d/a.txt",
      "-wo -e 'ab-?' -e '^z' d/a.txt d/b.log",
      "-w -n '^ab|c$' d/a.txt",
      // Case.
      "-i -n 'AB|X1' d/a.txt",
      "-y -c FOO d/a.txt",
      "--ignore-case -o 'B_C' d/a.txt",
      "-i --no-ignore-case -c FOO d/a.txt",
      // Binary files, -I and --binary-files.
      "foo bin d/a.txt",
      "-c foo bin",
      "-n foo bin d/f.txt",
      "-s foo bin",
      "-q foo bin",
      "-I foo bin d/a.txt",
      "-I -c foo bin",
      "-IL foo bin d/a.txt",
      "--binary-files=without-match -l foo bin d/a.txt",
      "--binary-files=text -n foo bin",
      "--binary-files=binary foo bin",
      "--binary-files=other foo bin",
      "-a -c -f zero-pattern bin",
      "-a -o -f zero-pattern bin",
      // Folders and devices on the command line.
      "-d skip foo d d/a.txt",
      "-d read foo d d/a.txt",
      "-d recurse -c foo d",
      "-D skip foo fifo d/a.txt",
      "-D read -c foo d/a.txt",
      "-D nonsense foo d/a.txt",
      // A read error (a process's own memory from address 0): -s hides it, as in grep.
      "foo /proc/self/mem d/a.txt",
      "-s foo /proc/self/mem d/a.txt",
      // Lines that end in zero bytes.
      "-z -n foo z",
      "-z -c ab z",
      "-z -o 'x1|ab' z",
      "-z -x foo z",
      "-z -A 1 x1 z",
      // Counts and the rest.
      "-m -1 -c ab d/a.txt",
      "-m -3 -n foo d/a.txt",
      "--max-count=-1 ab d/b.log",
      "-A 0 -e foo -e x1 d/a.txt",
      "-C 0 -n ab d/b.log",
      "--line-buffered -n ab d/a.txt",
      "-U -c ab d/a.txt",
      "--binary -n foo d/a.txt",
  };
  for (const std::string& options : cases) {
    // grep lists a folder's files in the file system's order, sjisgrep sorted: the lines of a
    // recursive search are compared sorted.
    const std::string sorted = options.rfind("-r", 0) == 0 || options.rfind("-d recurse", 0) == 0
                                   ? " | LC_ALL=C sort"
                                   : "";
    const std::string grepMatcher = options.find("-F") != std::string::npos ? "" : "-E ";
    const auto ours = RunShell(
        files_.Path(""), "LC_ALL=C " + ShellQuote(SJISGREP_PATH) + " " + options + sorted, io_);
    const auto grep =
        RunShell(files_.Path(""), "LC_ALL=C grep " + grepMatcher + options + sorted, io_);
    EXPECT_EQ(ours.out, grep.out) << options;
    EXPECT_EQ(ours.status, grep.status) << options;
    // Messages name the program; with that swapped they must agree too.
    std::string theirs = grep.err;
    for (std::size_t at = 0; (at = theirs.find("grep:", at)) != std::string::npos; at += 9) {
      theirs.replace(at, 5, "sjisgrep:");
    }
    EXPECT_EQ(ours.err, theirs) << options;
  }
}

}  // namespace
