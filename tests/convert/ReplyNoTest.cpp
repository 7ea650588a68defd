#include <gtest/gtest.h>

#include "TestSupport.h"
#include "convert/ReplyNo.h"
#include "platform/PosixFileSystem.h"

namespace sorbit {
namespace {

struct TitleCase {
  const char* title;
  const char* reply_no;
};

class ReplyNumbers : public ::testing::TestWithParam<TitleCase> {};

TEST_P(ReplyNumbers, AreTheDigitsThatEndTheLeftmostReference) {
  SjisRegExp::TAWKStr matcher;
  EXPECT_EQ(ExtractReplyNo(matcher, GetParam().title), GetParam().reply_no);
  // A second title through the same matcher: the pattern is written again, same result.
  EXPECT_EQ(ExtractReplyNo(matcher, GetParam().title), GetParam().reply_no);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, ReplyNumbers,
    ::testing::Values(TitleCase{"Re: 12 thanks", "12"}, TitleCase{"RE>>#345", "345"},
                      TitleCase{"re[7] about this", "7"}, TitleCase{"Re:Re:12", "12"},
                      TitleCase{"Re 1 and Re 2", "1"}, TitleCase{"Re12", ""},
                      TitleCase{"Reply 12", ""}, TitleCase{"Are: 5", "5"},
                      TitleCase{"Re: 0012", "0012"}, TitleCase{"Re: and nothing else", ""},
                      TitleCase{"", ""}, TitleCase{"Fw: re>>45", "45"}, TitleCase{"Red Re:5", "5"},
                      TitleCase{"Re: 12345678901234567890", "12345678901234567890"}),
    [](const auto& p) { return "Case" + std::to_string(p.index); });

TEST(ReplyNumbers, FullWidthTitleGivesNone) {
  // Ｒｅ：１２ in full-width letters, colon and digits.
  SjisRegExp::TAWKStr matcher;
  EXPECT_EQ(ExtractReplyNo(matcher, "\x82\x71\x82\x85\x81\x46\x82\x50\x82\x51"), "");
}

TEST(ReplyNumbers, NeverStartAtATrailByte) {
  // 0x82 0x52 is a two-byte character whose trail byte has the value of "R".
  SjisRegExp::TAWKStr matcher;
  EXPECT_EQ(ExtractReplyNo(matcher,
                           "\x82R"
                           "e: 1"),
            "");
  EXPECT_EQ(ExtractReplyNo(matcher,
                           "\x82R"
                           "e: 1 Re: 2"),
            "2");
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
  SjisRegExp::TAWKStr matcher;
  const auto finder = [&](std::string_view title) { return ExtractReplyNo(matcher, title); };
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
