// GNU grep's extended syntax as sjisgrep reads it, against grep -E itself under C.UTF-8: for
// the corners of the syntax (counts that are text, repetitions at the start, bracket rules,
// classes, escapes, anchors in the middle) both must count the same lines, warn the same and
// refuse the same patterns, sjisgrep with grep's words plus where the error is. And the form
// of sjisgrep's own error messages: which pattern, the column, a caret under it.
// (Ranges between characters beyond ASCII are left to the ripgrep comparison: glibc's C.UTF-8
// refuses them with "Invalid collation character".)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SjisgrepShell.h"

namespace {

using sorbit::testing::HaveCommand;
using sorbit::testing::RunShell;
using sorbit::testing::ShellQuote;
using sorbit::testing::ShellResult;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

class SjisgrepSyntaxTest : public testing::Test {
 protected:
  ShellResult Ours(const std::string& arguments) {
    return RunShell(files_.Path(""),
                    "LC_ALL=C.UTF-8 " + ShellQuote(SJISGREP_PATH) + " " + arguments, io_);
  }

  TempDir files_;
  TempDir io_;
};

TEST_F(SjisgrepSyntaxTest, ReadsTheSyntaxAsGrepDoes) {
  if (!HaveCommand("LC_ALL=C.UTF-8 grep -E -c x /dev/null; [ $? -le 1 ]")) {
    GTEST_SKIP() << "GNU grep not found";
  }
  // The same lines in UTF-8 for grep and in Shift-JIS for sjisgrep.
  const std::string text =
      "a{\na{x\na{1\n{1}\naaa\na*\n]a\n-\nd\nab\nfoo bar\nfoobar\n-x-\nbar_foo\n\n a\n"
      "a^b\na$b\nx|y\nＡｂｃ\nαβ\n漢字かな\n1,2\n\\\n[:x:]\n";
  WriteFile(files_.Path("u.txt"), text);
  ASSERT_EQ(RunShell(files_.Path(""), "iconv -f UTF-8 -t CP932 u.txt > s.txt", io_).status, 0);
  const std::vector<std::string> patterns = {
      // Counts: valid, text, and errors.
      "a{",
      "a{x",
      "a{1",
      "a{1,",
      "{1}",
      "a{1,2}{3}",
      "a{,2}",
      "a{,}",
      "a{0}",
      "a{1,}",
      "a{2,1}",
      "a{}",
      "a{1,2,3}",
      "a{ 1}",
      "a{255}",
      "a{32768}",
      "x{0}",
      "\\{",
      "a\\{1\\}",
      "(ab){2}|a{3}",
      // Repetitions where they have nothing to repeat, and repeated repetitions.
      "*a",
      "+a",
      "?a",
      "(*a)",
      "a|*b",
      "^*a",
      "a**",
      "a+*",
      "a?{2}",
      "()",
      "a||b",
      "(|a)",
      // Groups and alternation.
      "(",
      ")",
      "a)",
      "(a|b)c",
      "((a)|b)+",
      "a(b|)$",
      // Brackets.
      "[]a]",
      "[^]a]",
      "[a-]",
      "[]-a]",
      "[--z]",
      "[a-c-e]",
      "[z-a]",
      "[a",
      "[\\]",
      "[\\w]",
      "[[:alpha:]]",
      "[[:digit:][:punct:]]",
      "[^[:alnum:] ]",
      "[[:foo:]]",
      "[:alpha:]",
      "[:a]",
      "[[:alpha]]",
      "[[.a.]]",
      "[[.-.]]",
      "[[=a=]]",
      "[[.ab.]]",
      "[[:alpha:]-z]",
      "[a-[:alpha:]]",
      // Escapes and word assertions.
      "\\w+",
      "\\W",
      "\\s",
      "\\S+",
      "\\d",
      "\\a",
      "\\.",
      "\\\\",
      "a\\",
      "\\`foo",
      "bar\\'",
      "\\<foo",
      "foo\\>",
      "\\bfoo\\b",
      "\\<\\w",
      "\\Bo",
      "o\\B",
      "\\<",
      "\\>",
      "\\b",
      "\\B",
      "x\\>|^b",
      "\\bf|o\\b",
      "^\\<a|r\\>$",
      "\\<-",
      "x\\>",
      "\\<\\>",
      "o\\b \\bb",
      "a\\Bb",
      // Anchors anywhere.
      "$a",
      "a^",
      "a^b",
      "a$b",
      "^^a",
      "$$",
      "a|^b",
      "(^|x)a",
      "a($|x)",
      "(a|^)b",
      "^(a|b$)",
      "(^a)*",
      "x*^a",
      "a$?",
      "(a$)+",
      // Characters beyond ASCII.
      "漢字",
      "[漢か]",
      "α|Ａ",
      ".字",
  };
  for (const std::string& pattern : patterns) {
    const ShellResult grep = RunShell(
        files_.Path(""), "LC_ALL=C.UTF-8 grep -E -c -e " + ShellQuote(pattern) + " u.txt", io_);
    const ShellResult ours = Ours("-c -e " + ShellQuote(pattern) + " s.txt");
    EXPECT_EQ(ours.status, grep.status) << pattern;
    EXPECT_EQ(ours.out, grep.out) << pattern;
    if (grep.status == 2) {
      // grep's message, after "grep: ", is the end of the first line of ours.
      const std::string message = grep.err.substr(grep.err.find(": ") + 2);
      const std::string firstLine = ours.err.substr(0, ours.err.find('\n') + 1);
      EXPECT_TRUE(firstLine.ends_with(": " + message)) << pattern << "\n" << ours.err;
    } else {
      std::string warnings = grep.err;
      for (std::size_t at = 0; (at = warnings.find("grep:", at)) != std::string::npos; at += 9) {
        warnings.replace(at, 5, "sjisgrep:");
      }
      EXPECT_EQ(ours.err, warnings) << pattern;
    }
  }
}

TEST_F(SjisgrepSyntaxTest, StackedRepetitionsAreOne) {
  // Forty "+" in a row are one (grep itself takes exponential time over them).
  WriteFile(files_.Path("a.txt"), "aaa\nb\n");
  const ShellResult r = Ours("-c 'a" + std::string(40, '+') + "' a.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "1\n");
  EXPECT_EQ(Ours("-o '(x?)*b|(a+)?(a*)+' a.txt").out, "aaa\nb\n");
}

TEST_F(SjisgrepSyntaxTest, ErrorsSayWhichPatternAndPointAtTheCharacter) {
  WriteFile(files_.Path("a.txt"), "x\n");
  // A pattern file written on Windows: CR LF lines, the second one bad.
  WriteFile(files_.Path("p.txt"), "ok\r\nab[c\r\n");
  WriteFile(files_.Path("bom.txt"), "\xEF\xBB\xBFx{2,1}\n");
  WriteFile(files_.Path("sjis.txt"), "a\n\x8C\x66\x8E\xA6\n");
  struct Case {
    std::string arguments;
    std::string err;
  };
  const std::vector<Case> cases = {
      {"'ab(c' a.txt", "sjisgrep: pattern, column 3: Unmatched ( or \\(\n  ab(c\n    ^\n"},
      {"-e x -e 'a\\' a.txt",
       "sjisgrep: -e pattern 2, column 2: Trailing backslash\n  a\\\n   ^\n"},
      {"-e \"$(printf 'ok\\n[[:foo:]]')\" a.txt",
       "sjisgrep: -e pattern 1, line 2, column 2: Invalid character class name\n"
       "  [[:foo:]]\n   ^\n"},
      {"-f p.txt a.txt",
       "sjisgrep: p.txt, line 2, column 3: Unmatched [, [^, [:, [., or [=\n  ab[c\n    ^\n"},
      {"-f bom.txt a.txt",
       "sjisgrep: bom.txt, line 1, column 2: Invalid content of \\{\\}\n  x{2,1}\n   ^\n"},
      // Wide characters take two columns before the caret.
      {"'掲示板(' a.txt",
       "sjisgrep: pattern, column 4: Unmatched ( or \\(\n  掲示板(\n        ^\n"},
      {"'a|x\\>.y' a.txt",
       "sjisgrep: pattern, column 4: \\> is supported only at the start or end of a pattern or "
       "of one of its alternatives, or between two characters\n  a|x\\>.y\n     ^\n"},
      {"'a\\1' a.txt",
       "sjisgrep: pattern, column 2: back-references such as \\1 are not supported\n  a\\1\n"
       "   ^\n"},
      {"-f sjis.txt a.txt",
       "sjisgrep: sjis.txt, line 2, column 1: not valid UTF-8 (byte 1); for a Shift-JIS "
       "pattern file give --encoding=sjis\n  \x8C\x66\x8E\xA6\n  ^\n"},
  };
  for (const Case& c : cases) {
    const ShellResult r = Ours(c.arguments);
    EXPECT_EQ(r.status, 2) << c.arguments;
    EXPECT_EQ(r.out, "") << c.arguments;
    EXPECT_EQ(r.err, c.err) << c.arguments;
  }
  // The Shift-JIS file is read as it is with --encoding=sjis, its CR LF lines too.
  WriteFile(files_.Path("b.txt"), "\x8C\x66\x8E\xA6\n");
  WriteFile(files_.Path("crlf.txt"), "\x8C\x66\x8E\xA6\r\n");
  EXPECT_EQ(Ours("--encoding=sjis -c -f sjis.txt b.txt").out, "1\n");
  EXPECT_EQ(Ours("--encoding=sjis -c -x -f crlf.txt b.txt").out, "1\n");
}

}  // namespace
