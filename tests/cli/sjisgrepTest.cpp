// sjisgrep as a user runs it: the real program on files and standard input, checked by its
// output bytes and exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "SjisgrepShell.h"

namespace {

using Result = sorbit::testing::ShellResult;
using sorbit::testing::ShellQuote;

class SjisgrepTest : public testing::Test {
 protected:
  void Write(const std::string& name, std::string_view bytes) {
    sorbit::testing::WriteFile(dir_ / name, bytes);
  }

  // Runs sjisgrep in the test folder with the arguments, standard input from `input`.
  Result Run(const std::vector<std::string>& args, std::string_view input = {}) {
    Write("stdin.bin", input);
    // The C locale: patterns and output are the files' own Shift-JIS bytes.
    std::string command = "LC_ALL=C " + ShellQuote(SJISGREP_PATH);
    for (const std::string& arg : args) command += " " + ShellQuote(arg);
    return sorbit::testing::RunShell(dir_.path(), command + " < stdin.bin", io_);
  }

  sorbit::testing::TempDir dir_;
  sorbit::testing::TempDir io_;  // the program's output, apart from the files it searches
};

TEST_F(SjisgrepTest, PrintsMatchingLinesAndExitsZero) {
  Write("a.txt", "Re: 12\nhello\nre>>3 ok\n");
  const Result r = Run({"[Rr][Ee][ :>]+[0-9]+", "a.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Re: 12\nre>>3 ok\n");
  EXPECT_EQ(r.err, "");
}

TEST_F(SjisgrepTest, NoMatchExitsOneAndPrintsNothing) {
  Write("a.txt", "abc\ndef\n");
  const Result r = Run({"xyz", "a.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

TEST_F(SjisgrepTest, ReadsStandardInputWithoutFilesAndForDash) {
  EXPECT_EQ(Run({"b"}, "a\nb\nc\n").out, "b\n");
  const Result r = Run({"-H", "b", "-"}, "a\nb\n");
  EXPECT_EQ(r.out, "(standard input):b\n");
}

TEST_F(SjisgrepTest, NumbersLines) {
  const Result r = Run({"-n", "x"}, "x1\ny\nx3\n");
  EXPECT_EQ(r.out, "1:x1\n3:x3\n");
}

TEST_F(SjisgrepTest, CountsMatchingLinesPerFile) {
  Write("a.txt", "x\nxx\ny\n");
  Write("b.txt", "y\n");
  const Result r = Run({"-c", "x", "a.txt", "b.txt"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "a.txt:2\nb.txt:0\n");
  EXPECT_EQ(Run({"-c", "x"}, "x x\nx\n").out, "2\n");
  EXPECT_EQ(Run({"-c", "z"}, "x\n").status, 1);
  EXPECT_EQ(Run({"-c", "z"}, "x\n").out, "0\n");
}

// A pattern that can match the empty string matches every line, empty ones included, even
// when an anchored alternative cannot: as grep counts them.
TEST_F(SjisgrepTest, EmptyLinesMatchAPatternThatMatchesTheEmptyString) {
  EXPECT_EQ(Run({"-c", "^x|y*"}, "abc\n\nxyz\n\n").out, "4\n");
  EXPECT_EQ(Run({"-n", "^a$|b?"}, "\nzz\n").out, "1:\n2:zz\n");
  EXPECT_EQ(Run({"-c", "^x$"}, "\n\n").status, 1);
}

TEST_F(SjisgrepTest, FileNamesByDefaultOnlyWithSeveralFiles) {
  Write("a.txt", "hit\n");
  Write("b.txt", "hit\nmiss\n");
  EXPECT_EQ(Run({"hit", "a.txt"}).out, "hit\n");
  EXPECT_EQ(Run({"hit", "a.txt", "b.txt"}).out, "a.txt:hit\nb.txt:hit\n");
  EXPECT_EQ(Run({"-h", "hit", "a.txt", "b.txt"}).out, "hit\nhit\n");
  EXPECT_EQ(Run({"-H", "-n", "hit", "a.txt"}).out, "a.txt:1:hit\n");
  EXPECT_EQ(Run({"-Hh", "hit", "a.txt", "b.txt"}).out, "hit\nhit\n");  // the last one wins
}

TEST_F(SjisgrepTest, OnlyMatchingPrintsEveryMatchOfALine) {
  EXPECT_EQ(Run({"-o", "a+"}, "baab aaa\nxyz\na\n").out, "aa\naaa\na\n");
  EXPECT_EQ(Run({"-on", "[0-9]+"}, "no\nRe:12 Re:345\n").out, "2:12\n2:345\n");
}

TEST_F(SjisgrepTest, OnlyMatchingSkipsEmptyMatchesButTheLineStillCounts) {
  const Result r = Run({"-o", "x*"}, "abc\naxxb\n");
  EXPECT_EQ(r.out, "xx\n");
  EXPECT_EQ(r.status, 0);
}

TEST_F(SjisgrepTest, OnlyMatchingKeepsLineHeadAtTheLineStart) {
  EXPECT_EQ(Run({"-o", "^a"}, "aaa\n").out, "a\n");
  EXPECT_EQ(Run({"-o", "^a|b"}, "abab\n").out, "a\nb\nb\n");
  EXPECT_EQ(Run({"-o", "a$"}, "aaa\n").out, "a\n");
}

TEST_F(SjisgrepTest, OnlyMatchingStepsOverWholeCharacters) {
  // After the empty match at ア (0x83 0x41) the search goes on after the whole character, so
  // its trail byte 0x41 ("A") is never taken for the letter.
  EXPECT_EQ(Run({"-o", "A*"},
                "\x83\x41"
                "AA\n")
                .out,
            "AA\n");
}

TEST_F(SjisgrepTest, CarriageReturnIsNotMatchedButPrinted) {
  Write("crlf.txt", "abc\r\nabd\r\n");
  const Result r = Run({"c$", "crlf.txt"});
  EXPECT_EQ(r.out, "abc\r\n");
  EXPECT_EQ(Run({"-o", "b.$", "crlf.txt"}).out, "bc\nbd\n");
  // A CR inside a line is an ordinary character: "$" is only the end of the line.
  EXPECT_EQ(Run({"a$"}, "a\rb\n").status, 1);
  // Without its LF the last line's CR is an ordinary character too.
  EXPECT_EQ(Run({"c$"}, "abc\r").status, 1);
  EXPECT_EQ(Run({"c\r$"}, "abc\r").out, "abc\r\n");
}

TEST_F(SjisgrepTest, LastLineWithoutLineFeedIsPrintedWithOne) {
  EXPECT_EQ(Run({"b"}, "a\nb").out, "b\n");
}

TEST_F(SjisgrepTest, NeverMatchesInsideATwoByteCharacter) {
  // ア is 0x83 0x41; a byte-oriented grep finds "A" in its trail byte.
  Write("kana.txt",
        "\x83\x41\n\x83\x41"
        "A\n");
  const Result r = Run({"-n", "A", "kana.txt"});
  EXPECT_EQ(r.out,
            "2:\x83\x41"
            "A\n");
  // 表 is 0x95 0x5C: its trail byte is a backslash, which must not be read as an escape.
  EXPECT_EQ(Run({"\x95\x5C"}, "\x95\x5C\n").out, "\x95\x5C\n");
}

TEST_F(SjisgrepTest, FuzzyOptionMatchesEquivalentForms) {
  // ｶﾞｲﾄﾞ (half-width) against ガイド (full-width katakana).
  const std::string pattern = "\xB6\xDE\xB2\xC4\xDE";
  const std::string line = "\x83\x4B\x83\x43\x83\x68\n";
  EXPECT_EQ(Run({pattern}, line).status, 1);
  EXPECT_EQ(Run({"--fuzzy", pattern}, line).out, line);
  // -i is only case: no width, no kana forms.
  EXPECT_EQ(Run({"-i", pattern}, line).status, 1);
  // Full-width "ＲＥ：１" for "re:1".
  EXPECT_EQ(Run({"--fuzzy", "-o", "re:1"}, "x\x82\x71\x82\x64\x81\x46\x82\x50y\n").out,
            "\x82\x71\x82\x64\x81\x46\x82\x50\n");
}

TEST_F(SjisgrepTest, ZeroByteIsACharacterOfItsLine) {
  const std::string line("abc\0def\r\n", 9);
  EXPECT_EQ(Run({"-ac", "def"}, line).out, "1\n");
  EXPECT_EQ(Run({"-ac", "c$"}, line).out, "0\n") << "the zero byte follows c";
  EXPECT_EQ(Run({"-ac", "^def"}, line).out, "0\n");
  EXPECT_EQ(Run({"-ao", "d.f"}, line).out, "def\n");
  // A zero byte makes the input binary; -a prints its lines as text, whole.
  EXPECT_EQ(Run({"-a", "ab"}, line).out, line);
}

TEST_F(SjisgrepTest, EmptyLinesAndEmptyPattern) {
  EXPECT_EQ(Run({"-c", "^$"}, "a\n\n\r\nb\n").out, "2\n");
  EXPECT_EQ(Run({"-c", ""}, "a\n\nb\n").out, "3\n");
  EXPECT_EQ(Run({"x"}, "").status, 1);
}

TEST_F(SjisgrepTest, LongLinesAreHandledWhole) {
  std::string line(200000, 'a');
  line += "needle\n";
  const Result r = Run({"-c", "needle"}, line + line);
  EXPECT_EQ(r.out, "2\n");
}

TEST_F(SjisgrepTest, PatternErrorPrintsPositionAndExitsTwo) {
  const Result r = Run({"[z-a]"}, "abc\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "sjisgrep: pattern, column 4: Invalid range end\n  [z-a]\n     ^\n");
  EXPECT_EQ(Run({"a("}, "a\n").status, 2);
  EXPECT_EQ(Run({"-i", "ab\\"}, "a\n").err,
            "sjisgrep: pattern, column 3: Trailing backslash\n  ab\\\n    ^\n");
}

TEST_F(SjisgrepTest, MissingFileIsReportedAndTheOthersAreStillSearched) {
  Write("a.txt", "hit\n");
  const Result r = Run({"hit", "missing.txt", "a.txt"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "a.txt:hit\n");
  EXPECT_EQ(r.err, "sjisgrep: missing.txt: No such file or directory\n");
}

TEST_F(SjisgrepTest, DirectoryIsAnError) {
  std::filesystem::create_directory(dir_ / "sub");
  const Result r = Run({"x", "sub"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "sjisgrep: sub: Is a directory\n");
}

TEST_F(SjisgrepTest, UsageErrorsExitTwo) {
  Result r = Run({});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("Usage: sjisgrep"), std::string::npos);
  r = Run({"-Q", "x"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("sjisgrep: invalid option -- 'Q'\n", 0), 0u);
  r = Run({"x", "--file"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("sjisgrep: option '--file' requires an argument\n", 0), 0u);
  r = Run({"-e"});
  EXPECT_EQ(r.err.rfind("sjisgrep: option requires an argument -- 'e'\n", 0), 0u);
  r = Run({"--colours", "x"});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("sjisgrep: unrecognized option '--colours'\n", 0), 0u);
}

TEST_F(SjisgrepTest, DoubleDashEndsOptions) {
  EXPECT_EQ(Run({"--", "-n"}, "a-n\nb\n").out, "a-n\n");
}

TEST_F(SjisgrepTest, HelpAndVersion) {
  Result r = Run({"--help"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("Usage: sjisgrep", 0), 0u);
  r = Run({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "sjisgrep (Sorbit) " SORBIT_VERSION "\n");
}

}  // namespace
