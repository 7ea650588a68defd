// sjisgrep on a UTF-8 terminal: patterns typed in UTF-8 find Shift-JIS text, lines print in
// UTF-8, undecodable bytes show as U+FFFD, --encoding overrides the locale, -w knows Japanese
// word characters; and the failure paths: binary files, a line too long for memory, output
// that cannot be written.
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

class SjisgrepEncodingTest : public testing::Test {
 protected:
  // Runs sjisgrep in the file folder under the given environment settings.
  ShellResult Run(const std::string& environment, const std::string& arguments) {
    return RunShell(files_.Path(""),
                    "env -u LC_ALL -u LC_CTYPE -u LANG " + environment + " " +
                        ShellQuote(SJISGREP_PATH) + " " + arguments,
                    io_);
  }
  ShellResult Utf8(const std::string& arguments) { return Run("LANG=C.UTF-8", arguments); }

  TempDir files_;
  TempDir io_;
};

// 掲示板 (0x8C66 0x8EA6 0x94C2) and ソ (0x835C, whose trail byte is a backslash).
const std::string kBoard = "\x8C\x66\x8E\xA6\x94\xC2";
const std::string kSo = "\x83\x5C";

TEST_F(SjisgrepEncodingTest, Utf8PatternFindsShiftJisAndPrintsUtf8) {
  WriteFile(files_.Path("a.log"), "x " + kBoard + "\r\n" + kSo + "\n");
  const ShellResult r = Utf8("-n 掲示板 a.log");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "1:x 掲示板\r\n");
  EXPECT_EQ(Utf8("-o ソ a.log").out, "ソ\n");
  // The C locale: the same pattern as UTF-8 bytes is not Shift-JIS text, and the file's own
  // bytes are printed.
  EXPECT_EQ(Run("LC_ALL=C", "-c 掲示板 a.log").out, "0\n");
  EXPECT_EQ(Run("LC_ALL=C", ShellQuote(kBoard) + " a.log").out, "x " + kBoard + "\r\n");
}

TEST_F(SjisgrepEncodingTest, LocaleVariablesDecideInTheirOrder) {
  WriteFile(files_.Path("a.log"), kBoard + "\n");
  EXPECT_EQ(Run("LANG=C LC_CTYPE=C.UTF-8", "掲示板 a.log").out, "掲示板\n");
  EXPECT_EQ(Run("LANG=C.UTF-8 LC_CTYPE=C", "-c 掲示板 a.log").out, "0\n");
  EXPECT_EQ(Run("LANG=C LC_CTYPE=C LC_ALL=C.UTF-8", "掲示板 a.log").out, "掲示板\n");
  // A UTF-8 locale that is not installed here still means a UTF-8 terminal.
  EXPECT_EQ(Run("LANG=ja_JP.UTF-8", "掲示板 a.log").out, "掲示板\n");
  EXPECT_EQ(Run("LANG=ja_JP.utf8", "掲示板 a.log").out, "掲示板\n");
}

TEST_F(SjisgrepEncodingTest, EncodingOptionOverridesTheLocale) {
  WriteFile(files_.Path("a.log"), kBoard + "\n");
  EXPECT_EQ(Run("LC_ALL=C", "--encoding=utf-8 掲示板 a.log").out, "掲示板\n");
  EXPECT_EQ(Utf8("--encoding=sjis " + ShellQuote(kBoard) + " a.log").out, kBoard + "\n");
  const ShellResult bad = Utf8("--encoding=latin1 x a.log");
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("invalid argument 'latin1' for '--encoding'"), std::string::npos);
}

TEST_F(SjisgrepEncodingTest, BothWaveDashesAndBothMinusSignsFindTheirShiftJisCodes) {
  WriteFile(files_.Path("a.log"),
            "a\x81\x60"
            "b\n"
            "c\x81\x7C"
            "d\n");
  EXPECT_EQ(Utf8("-c 'a〜b' a.log").out, "1\n");  // U+301C WAVE DASH
  EXPECT_EQ(Utf8("-c 'a～b' a.log").out, "1\n");  // U+FF5E FULLWIDTH TILDE
  EXPECT_EQ(Utf8("-c 'c−d' a.log").out, "1\n");   // U+2212 MINUS SIGN
  EXPECT_EQ(Utf8("-c 'c－d' a.log").out, "1\n");  // U+FF0D FULLWIDTH HYPHEN-MINUS
}

TEST_F(SjisgrepEncodingTest, PatternCharacterWithoutShiftJisFormIsAnError) {
  WriteFile(files_.Path("a.log"), "x\n");
  ShellResult r = Utf8("'x😀' a.log");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "sjisgrep: pattern, column 2: '😀' (U+1F600) has no Shift-JIS (CP932) form\n"
            "  x😀\n"
            "   ^\n");
  r = Utf8("-e x -e 'ä' a.log");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("(U+00E4)"), std::string::npos);
  r = Utf8("\"$(printf 'x\\377')\" a.log");  // not UTF-8 at all
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err,
            "sjisgrep: pattern, column 2: not valid UTF-8 (byte 2); for Shift-JIS patterns give "
            "--encoding=sjis\n  x\377\n   ^\n");
  // A pattern file is UTF-8 text too.
  WriteFile(files_.Path("p"), "x\n\xE2\x82\xAC\n");  // U+20AC EURO SIGN
  r = Utf8("-f p a.log");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("U+20AC"), std::string::npos);
}

TEST_F(SjisgrepEncodingTest, PatternErrorPositionIsInTheTextAsTyped) {
  WriteFile(files_.Path("a.log"), "x\n");
  // "あ[z-a]": the range end "a" is character 5; あ shows two columns wide.
  const ShellResult r = Utf8("'あ[z-a]' a.log");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "sjisgrep: pattern, column 5: Invalid range end\n  あ[z-a]\n       ^\n");
}

// What a user types every day: anchors inside alternatives with -x, -w and -f; ¥ and ＼; a
// character that CP932 writes with several codes; case with -i, in lists too.
TEST_F(SjisgrepEncodingTest, WhatGrepUsersTypeFindsWhatTheyMean) {
  // ∵ three ways (0x81E6, 0x879A, 0xFA5B), 纊 two (0xED40, 0xFA5C), ￢ three (0x81CA,
  // 0xEEF9, 0xFA54), a path with its backslash, ソ (trail byte 0x5C), full-width letters.
  WriteFile(files_.Path("a.log"),
            "abc\r\nab-c\r\n\x81\xE6\r\n\x87\x9A\r\n\xFA\x5B\r\n\xED\x40\r\n\xFA\x5C\r\n"
            "\x81\xCA\r\n\xEE\xF9\r\n\xFA\x54\r\nC:\\Windows\r\nC:Windows\r\n\x83\x5C\r\n"
            "ABC \x82\x60\x82\x61\x82\x62\r\nzz\r\n");
  WriteFile(files_.Path("p.txt"), "x\n^q|zz\nabc$|y\n");
  struct Case {
    std::string arguments;
    std::string out;
  };
  const std::vector<Case> cases = {
      {"-xc 'abc$|zz' a.log", "2\n"},
      {"-x -c -f p.txt a.log", "2\n"},
      {"-wo -e 'ab-?' -e '^z' a.log", "ab\n"},
      {"-wo -e 'ab-?' -e '^z+' a.log", "ab\nzz\n"},
      {"-c '∵' a.log", "3\n"},
      {"-c '[纊]' a.log", "2\n"},
      {"-c '￢' a.log", "3\n"},
      {"-c 'C:¥Windows' a.log", "1\n"},
      {"-c '¥' a.log", "1\n"},
      {"-c 'ソ' a.log", "1\n"},
      {"-o '[＼¥]' a.log", "\\\n"},
      {"-ic '[a-c]' a.log", "5\n"},
      {"-io '[ａ-ｃ]+' a.log", "ＡＢＣ\n"},
      {"--ignore-case -c 'ABC$|ＡＢｃ$' a.log", "2\n"},
  };
  for (const Case& c : cases) {
    const ShellResult r = Utf8(c.arguments);
    EXPECT_EQ(r.out, c.out) << c.arguments;
    EXPECT_EQ(r.err, "") << c.arguments;
  }
}

TEST_F(SjisgrepEncodingTest, UndecodableBytesPrintAsReplacementCharacters) {
  // 0x80 and 0xFF decode to nothing; 0x81 0x20 is a lead byte before a space; 0x82 ends the
  // line alone. Each such byte is one U+FFFD, and what follows still prints as itself.
  WriteFile(files_.Path("a.log"),
            "a\x80"
            "b\xFF"
            "c\x81 d " +
                kBoard + "\x82\n");
  const ShellResult r = Utf8("a a.log");
  EXPECT_EQ(r.out, "a\uFFFDb\uFFFDc\uFFFD d 掲示板\uFFFD\n");
}

TEST_F(SjisgrepEncodingTest, FileNamesPrintAsTheFileSystemGivesThem) {
  WriteFile(files_.Path("\x95\x5C.log"), kBoard + "\n");  // a Shift-JIS file name: 表.log
  WriteFile(files_.Path("b.log"), kBoard + "\n");
  EXPECT_EQ(Utf8("-l 掲示板 \x95\\\\.log b.log").out, "\x95\x5C.log\nb.log\n");
}

TEST_F(SjisgrepEncodingTest, WordsAreLettersDigitsAndUnderscoreOfAnyScript) {
  WriteFile(files_.Path("a.log"), "");
  const std::string lines[] = {
      "掲示板",            // the whole line
      "「掲示板」です",    // brackets are no word characters
      "掲示板、雑談",      // nor is the ideographic comma
      "掲示板X",           // a letter follows
      "大掲示板",          // a kanji comes before
      "ｹｲｼﾞﾊﾞﾝ掲示板",     // half-width kana are letters
      "掲示板１",          // a full-width digit is a digit
      "掲示板_2",          // and the underscore a word character
      "掲示板　全角空白",  // the ideographic space is not
  };
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  WriteFile(io_.Path("utf8"), text);
  ASSERT_EQ(RunShell(files_.Path(""),
                     "iconv -f UTF-8 -t CP932 " + ShellQuote(io_.Path("utf8")) + " > a.log", io_)
                .status,
            0);
  EXPECT_EQ(Utf8("-w -n 掲示板 a.log").out,
            "1:掲示板\n2:「掲示板」です\n3:掲示板、雑談\n9:掲示板　全角空白\n");
  EXPECT_EQ(Utf8("-x -c 掲示板 a.log").out, "1\n");
}

TEST_F(SjisgrepEncodingTest, BinaryFileIsReportedUnlessText) {
  WriteFile(files_.Path("bin"), std::string("abc\0def\nabc\n", 12));
  ShellResult r = Run("LC_ALL=C", "abc bin");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "sjisgrep: bin: binary file matches\n");
  EXPECT_EQ(Run("LC_ALL=C", "-c abc bin").out, "2\n");
  // The zero byte is a character of its line, as grep and rg read it.
  EXPECT_EQ(Run("LC_ALL=C", "-a -n def bin").out, std::string("1:abc\0def\n", 10));
  EXPECT_EQ(Run("LC_ALL=C", "-a -n abc bin").out, std::string("1:abc\0def\n2:abc\n", 16));
  r = Run("LC_ALL=C", "zzz bin");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
}

TEST_F(SjisgrepEncodingTest, UnreadableInputIsReportedAndTheRestSearched) {
  WriteFile(files_.Path("a.log"), "hit\n");
  // A folder read as a file fails with EISDIR on read.
  const ShellResult r = Run("LC_ALL=C", "hit - a.log < .");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "a.log:hit\n");
  EXPECT_EQ(r.err, "sjisgrep: (standard input): Is a directory\n");
}

TEST_F(SjisgrepEncodingTest, WriteErrorsExitTwo) {
  WriteFile(files_.Path("a.log"), "hit\n");
  ShellResult r = Run("LC_ALL=C", "hit a.log > /dev/full");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err, "sjisgrep: write error: No space left on device\n");
  // A closed pipe with SIGPIPE ignored: the write fails with EPIPE and the search stops.
  std::string many;
  for (int k = 0; k < 200000; ++k) many += "hit line\n";
  WriteFile(files_.Path("many.log"), many);
  r = RunShell(files_.Path(""),
               "trap '' PIPE; LC_ALL=C " + ShellQuote(SJISGREP_PATH) +
                   " hit many.log | head -c 1 > /dev/null; echo ${PIPESTATUS:-}",
               io_);
  EXPECT_EQ(r.err, "sjisgrep: write error: Broken pipe\n");
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__has_feature)
#define SJISGREP_NO_ASAN 1
#elif defined(__has_feature)
#if !__has_feature(address_sanitizer) && !defined(__SANITIZE_ADDRESS__)
#define SJISGREP_NO_ASAN 1
#endif
#endif

TEST_F(SjisgrepEncodingTest, LineTooLongForMemoryIsAnError) {
#ifndef SJISGREP_NO_ASAN
  GTEST_SKIP() << "address space limits do not mix with AddressSanitizer";
#else
  // 100 MB in one line, with the address space held to 60 MB: the line cannot be held.
  const ShellResult r =
      RunShell(files_.Path(""),
               "head -c 100000000 /dev/zero | tr '\\0' a | (ulimit -v 60000; LC_ALL=C " +
                   ShellQuote(SJISGREP_PATH) + " -c b; echo \"status $?\")",
               io_);
  EXPECT_EQ(r.out, "status 2\n");
  EXPECT_EQ(r.err, "sjisgrep: (standard input): a line is too long to hold in memory\n");
#endif
}

TEST_F(SjisgrepEncodingTest, TerminalSeesUtf8LinesAndColours) {
  if (!HaveCommand("script --version")) GTEST_SKIP() << "script (bsdutils) not found";
  WriteFile(files_.Path("a.log"), "x " + kBoard + " y\n");
  // script gives sjisgrep a pseudo-terminal as its output, so --color=auto colours.
  const ShellResult r = RunShell(
      files_.Path(""),
      "TERM=xterm LANG=C.UTF-8 script -qec " +
          ShellQuote(ShellQuote(SJISGREP_PATH) + " --color=auto -H 掲示板 a.log") + " /dev/null",
      io_);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "\33[35m\33[Ka.log\33[m\33[K\33[36m\33[K:\33[m\33[Kx "
            "\33[01;31m\33[K掲示板\33[m\33[K y\r\n");
  // Without a terminal, auto means no colours.
  EXPECT_EQ(Utf8("--color=auto 掲示板 a.log").out, "x 掲示板 y\n");
}

TEST_F(SjisgrepEncodingTest, GrepColorsChangesTheColours) {
  WriteFile(files_.Path("a.log"), "ab\n");
  EXPECT_EQ(Run("LC_ALL=C GREP_COLORS='ms=04:ne'", "--color=always -n b a.log").out,
            "\33[32m1\33[m\33[36m:\33[ma\33[04mb\33[m\n");
}

}  // namespace
