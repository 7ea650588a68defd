// Under a UTF-8 locale, on a folder of Shift-JIS files, sjisgrep must print what ripgrep
// (`rg -E shift_jis`, an independent Shift-JIS-aware grep) prints for every option the two
// share: the patterns are typed in UTF-8 and the lines come out in UTF-8. Skipped without rg.
// Where the two differ by design the case is left out: -c prints a file's zero count as grep
// does (rg prints nothing), -b counts the file's own bytes (rg the UTF-8 it made of them),
// and "〜" (U+301C) finds 0x8160 as "～" does (rg matches only U+FF5E there).
#include <gtest/gtest.h>

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

// The files, written in UTF-8 here and stored as Shift-JIS (CP932) by iconv.
struct SampleFile {
  const char* name;
  const char* utf8;
};
const SampleFile kFiles[] = {
    {"a.log",
     "掲示板の話題です\r\nRe: 12 ソフト板へようこそ\r\nこんにちは世界\r\nキャラクター大会\r\n"
     "～波ダッシュ～と－マイナス－\r\nfoo_bar 掲示板X\r\n掲示板 単語\r\n①丸数字と㈱\r\n"
     "カタカナ　ソ板\r\n表示は「掲示板」で\r\n"},
    {"sub/b.log", "Re: 345 返信\nbbb\n掲示板\nキャンプ場\nＡＢＣ全角 掲示板、です\n"},
    {"skip/c.txt", "ｶﾞｲﾄﾞ 半角\nテスト 掲示板\n"},
    {"d.txt",
     "一行目\n二行目 ソフト\n三行目\n四行目\n五行目 ソフト\n六行目\n七行目\n八行目 ソフト\n"},
};

class SjisgrepRipgrepDifferentialTest : public testing::Test {
 protected:
  void SetUp() override {
    if (!HaveCommand("rg --version")) GTEST_SKIP() << "ripgrep (rg) not found";
    std::filesystem::create_directories(files_.Path("sub"));
    std::filesystem::create_directories(files_.Path("skip"));
    for (const SampleFile& file : kFiles) {
      WriteFile(io_.Path("utf8"), file.utf8);
      ASSERT_EQ(RunShell(files_.Path(""),
                         "iconv -f UTF-8 -t CP932 " + ShellQuote(io_.Path("utf8")) + " > " +
                             ShellQuote(file.name),
                         io_)
                    .status,
                0)
          << file.name;
    }
    WriteFile(files_.Path("patterns"), "世界\nキャンプ\n");
    // ∵, 纊 and ￢ in each of their codes, as logs of the NEC and IBM extensions have them.
    WriteFile(files_.Path("e.log"),
              "\x81\xE6\r\n\x87\x9A\r\n\xFA\x5B\r\n\xED\x40\r\n\xFA\x5C\r\n"
              "\x81\xCA\r\n\xEE\xF9\r\n\xFA\x54\r\n");
  }

  TempDir files_;
  TempDir io_;
};

TEST_F(SjisgrepRipgrepDifferentialTest, PrintsWhatRipgrepPrints) {
  struct Case {
    std::string ours;
    std::string rg;
  };
  const std::vector<Case> cases = {
      {"掲示板 a.log", "掲示板 a.log"},
      {"-n 掲示板 a.log sub/b.log", "-n 掲示板 a.log sub/b.log"},
      {"-c 掲示板 a.log sub/b.log", "-c 掲示板 a.log sub/b.log"},
      {"-o 'キ[ァ-ヶ]+' a.log sub/b.log", "-o 'キ[ァ-ヶ]+' a.log sub/b.log"},
      {"-o 'Re: [0-9]+' a.log sub/b.log", "-o 'Re: [0-9]+' a.log sub/b.log"},
      {"-w 掲示板 a.log sub/b.log", "-w 掲示板 a.log sub/b.log"},
      {"-x キャンプ場 sub/b.log", "-x キャンプ場 sub/b.log"},
      {"-v -n 掲示板 a.log", "-v -n 掲示板 a.log"},
      {"-l 掲示板 a.log sub/b.log d.txt", "-l 掲示板 a.log sub/b.log d.txt"},
      {"-L 掲示板 a.log sub/b.log d.txt", "--files-without-match 掲示板 a.log sub/b.log d.txt"},
      {"-F 'Re: 1' a.log", "-F 'Re: 1' a.log"},
      {"-e 世界 -e 大会 a.log", "-e 世界 -e 大会 a.log"},
      {"-f patterns a.log sub/b.log", "-f patterns a.log sub/b.log"},
      {"-m 1 掲示板 a.log sub/b.log", "-m 1 掲示板 a.log sub/b.log"},
      {"-A 1 -n ソフト d.txt", "-A 1 -n ソフト d.txt"},
      {"-B 1 -n ソフト d.txt", "-B 1 -n ソフト d.txt"},
      {"-C 1 ソフト d.txt a.log", "-C 1 ソフト d.txt a.log"},
      {"-H 世界 a.log", "-H 世界 a.log"},
      {"-h 掲示板 a.log sub/b.log", "-I 掲示板 a.log sub/b.log"},
      {"-l -Z 掲示板 a.log sub/b.log", "-l -0 掲示板 a.log sub/b.log"},
      {"-r -n 掲示板", "-n 掲示板"},
      {"-r 掲示板 .", "掲示板 ."},
      {"-r 掲示板 --include='*.log'", "掲示板 -g '*.log'"},
      {"-r 掲示板 --exclude='*.log'", "掲示板 -g '!*.log'"},
      {"-r 掲示板 --exclude-dir=skip", "掲示板 -g '!skip/'"},
      {"-q 掲示板 a.log", "-q 掲示板 a.log"},
      {"-q 存在しない a.log", "-q 存在しない a.log"},
      {"～ a.log", "～ a.log"},
      {"－ a.log", "－ a.log"},
      {"① a.log", "① a.log"},
      {"ｶﾞｲﾄﾞ skip/c.txt", "ｶﾞｲﾄﾞ skip/c.txt"},
      {"ソ板 a.log", "ソ板 a.log"},
      {"ＡＢＣ sub/b.log", "ＡＢＣ sub/b.log"},
      // Ranges over code points (CP932 orders kanji differently), case, several codes.
      {"-o '[一-龠]+' a.log sub/b.log", "-o '[一-龠]+' a.log sub/b.log"},
      {"-o '[ぁ-ん]{2,}' a.log", "-o '[ぁ-ん]{2,}' a.log"},
      {"-io 'ａｂ[ｃ-ｚ]|abc' sub/b.log", "-io 'ａｂ[ｃ-ｚ]|abc' sub/b.log"},
      {"-n '∵|纊|￢' e.log", "-n '∵|纊|￢' e.log"},
      {"-c '[∵纊]' e.log", "-c '[∵纊]' e.log"},
  };
  for (const Case& c : cases) {
    const auto ours = RunShell(
        files_.Path(""), "LANG=C.UTF-8 LC_ALL= " + ShellQuote(SJISGREP_PATH) + " " + c.ours, io_);
    const auto rg =
        RunShell(files_.Path(""),
                 "rg --no-config -E shift_jis --sort path --no-ignore --hidden " + c.rg, io_);
    EXPECT_EQ(ours.out, rg.out) << c.ours;
    EXPECT_EQ(ours.status, rg.status) << c.ours;
  }
}

TEST_F(SjisgrepRipgrepDifferentialTest, ReadsStandardInputLikeRipgrep) {
  const auto ours = RunShell(
      files_.Path(""), "LANG=C.UTF-8 " + ShellQuote(SJISGREP_PATH) + " -n 掲示板 - < a.log", io_);
  const auto rg = RunShell(files_.Path(""), "rg --no-config -E shift_jis -n 掲示板 - < a.log", io_);
  EXPECT_EQ(ours.out, rg.out);
  EXPECT_EQ(ours.status, rg.status);
}

}  // namespace
