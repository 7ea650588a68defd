#include <gtest/gtest.h>

#include <random>
#include <string>

#include "TestSupport.h"
#include "convert/ReplyNo.h"
#include "platform/filesystem/PosixFileSystem.h"

namespace sorbit {
namespace {

struct TitleCase {
  const char* title;
  const char* reply_no;
};

class ReplyNumbers : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ReplyNumbers, AreTheDigitsThatEndTheLeftmostReference) {
  const ReplyNoFinder finder;
  EXPECT_EQ(finder.Find(GetParam().title), GetParam().reply_no);
  // The window's matcher, which held another pattern and other settings before.
  SjisRegExp::TAWKStr window;
  window.SetRegExp("x+");
  window.SetLineSeparator(SjisRegExp::mcls_CRLF);
  const ReplyNoFinder on_window(window);
  EXPECT_EQ(on_window.Find(GetParam().title), GetParam().reply_no);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, ReplyNumbers,
    ::testing::Values(TitleCase{"Re: 12 thanks", "12"}, TitleCase{"RE>>#345", "345"},
                      TitleCase{"re[7] about this", "7"}, TitleCase{"Re:Re:12", "12"},
                      TitleCase{"Re 1 and Re 2", "1"}, TitleCase{"Re12", ""},
                      TitleCase{"Reply 12", ""}, TitleCase{"Are: 5", "5"},
                      TitleCase{"Re: 0012", "0012"}, TitleCase{"Re: and nothing else", ""},
                      TitleCase{"", ""}, TitleCase{"Fw: re>>45", "45"}, TitleCase{"Red Re:5", "5"},
                      TitleCase{"Re: 12345678901234567890", "12345678901234567890"},
                      TitleCase{"Re: 12 34", "12"}, TitleCase{"Re: 7", "7"},
                      TitleCase{"x Re#9", "9"}),
    [](const auto& p) { return "Case" + std::to_string(p.index); });

TEST(ReplyNumbers, FullWidthTitleGivesNone) {
  // Ｒｅ：１２ in full-width letters, colon and digits.
  const ReplyNoFinder finder;
  EXPECT_EQ(finder.Find("\x82\x71\x82\x85\x81\x46\x82\x50\x82\x51"), "");
}

TEST(ReplyNumbers, NeverStartAtATrailByte) {
  // 0x82 0x52 is a two-byte character whose trail byte has the value of "R".
  const ReplyNoFinder finder;
  EXPECT_EQ(finder.Find("\x82R"
                        "e: 1"),
            "");
  EXPECT_EQ(finder.Find("\x82R"
                        "e: 1 Re: 2"),
            "2");
}

TEST(ReplyNumbers, TitleEndsAtItsFirstZeroByte) {
  const ReplyNoFinder finder;
  EXPECT_EQ(finder.Find(std::string("Re: 12\0"
                                    "34",
                                    8)),
            "12");
  EXPECT_EQ(finder.Find(std::string("Re:\0"
                                    " 5",
                                    6)),
            "");
}

// The digits of the matched bytes, taken one by one: what a finder must give.
std::string DigitsOfMatch(SjisRegExp::TAWKStr& matcher, const std::string& title) {
  matcher.SetRegExp(kReplyPattern);
  int start = 0;
  int length = 0;
  std::string digits;
  if (matcher.Match(title, start, length) == 0) return digits;
  for (int i = start - 1; i < start - 1 + length; ++i) {
    if (title[static_cast<std::size_t>(i)] >= '0' && title[static_cast<std::size_t>(i)] <= '9') {
      digits.push_back(title[static_cast<std::size_t>(i)]);
    }
  }
  return digits;
}

TEST(ReplyNumbers, AgreeWithTheMatchedBytesOnRandomTitles) {
  // Titles built from pieces that make references, near misses, two-byte characters whose
  // trail bytes are "R", "e" or digits, lone lead bytes and zero bytes.
  const std::string pieces[] = {"Re",
                                "rE",
                                ":",
                                " ",
                                ">",
                                "[",
                                "#",
                                "0",
                                "12",
                                "345",
                                "x",
                                "\x82R",
                                "\x83"
                                "e",
                                "\x81",
                                "\x82\xA0",
                                "\x88"
                                "1",
                                std::string(1, '\0')};
  std::mt19937 rng(1998);
  const ReplyNoFinder finder;
  SjisRegExp::TAWKStr reference;
  int withNumber = 0;
  std::string kept;  // the converter's string: each title's number replaces the one before
  for (int i = 0; i < 20000; ++i) {
    std::string title;
    const std::size_t n = rng() % 16;
    for (std::size_t j = 0; j < n; ++j) title += pieces[rng() % std::size(pieces)];
    const std::string want = DigitsOfMatch(reference, title);
    ASSERT_EQ(finder.Find(title), want) << "title #" << i;
    finder.Find(title, kept);
    ASSERT_EQ(kept, want) << "title #" << i << " into the string of the title before";
    withNumber += !want.empty();
  }
  EXPECT_GT(withNumber, 200);
}

TEST(ReplyNumbers, TheConversionCarriesThemIntoEveryRecord) {
  testing::TempDir dir;
  testing::WriteFile(dir.Path("general.log"),
                     "Title : Re: 12 thanks\r\nName:a\r\n\r\n\r\n.\r\n"
                     "Title : no reply\r\nName:b\r\n\r\n\r\n.\r\n"
                     "Title : RE>>#345\r\nName:c\r\n\r\n\r\n.\r\n");
  ConversionOptions options;
  options.InputFiles = {dir.Path("general.log")};
  options.InputFolder = dir.Folder();
  options.OutputFolder = dir.Folder();
  testing::RecordingHost host;
  platform::PosixFileSystem fs;
  const ReplyNoFinder reply_numbers;
  const auto finder = [&](std::string_view title, std::string& reply_no) {
    reply_numbers.Find(title, reply_no);
  };
  ASSERT_EQ(RunConversion(options, host, fs, finder), RunOutcome::Finished);
  EXPECT_EQ(testing::ReadFile(dir.Path("svfgeneral.log")),
            "\r\n@@@MSG,0,general,,a,,\r\n@@@1,12,0,Re: 12 thanks\r\n"
            "Title : Re: 12 thanks\r\nName:a\r\n\r\n\r\n"
            "\r\n@@@MSG,0,general,,b,,\r\n@@@2,,0,no reply\r\n"
            "Title : no reply\r\nName:b\r\n\r\n\r\n"
            "\r\n@@@MSG,0,general,,c,,\r\n@@@3,345,0,RE>>#345\r\n"
            "Title : RE>>#345\r\nName:c\r\n\r\n\r\n");
}

}  // namespace
}  // namespace sorbit
