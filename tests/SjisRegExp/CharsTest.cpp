#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SjisRegExp/Chars.h"

namespace SjisRegExp {
namespace {

// Shift-JIS bytes of a few characters used below.
const std::string kA = "\x82\xA0";         // あ
const std::string kMe = "\x83\x81";        // メ (trail byte in the lead range)
const std::string kI = "\x83\x43";         // イ
const std::string kHalfKa = "\xB6";        // ｶ, a single byte
const std::string kTrailIsA = "\x82\x41";  // a two-byte character ending in 'A'

TEST(CharsTest, LeadByteRangesAreCodePage932) {
  for (int b = 0; b < 256; ++b) {
    const bool expected = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
    EXPECT_EQ(IsLeadByte(static_cast<unsigned char>(b)), expected) << b;
  }
}

TEST(CharsTest, GetCharReadsOneOrTwoBytes) {
  const std::string text = "a" + kA + kHalfKa;
  std::int32_t i = 1;
  EXPECT_EQ(GetChar(text, i), 'a');
  EXPECT_EQ(i, 2);
  EXPECT_EQ(GetChar(text, i), 0x82A0);
  EXPECT_EQ(i, 4);
  EXPECT_EQ(GetChar(text, i), 0xB6);
  EXPECT_EQ(i, 5);
  EXPECT_EQ(GetChar(text, i), 0);
  EXPECT_EQ(i, 5) << "beyond the end the index stays";
  std::int32_t zero = 0;
  EXPECT_EQ(GetChar(text, zero), 0);
  EXPECT_EQ(zero, 0);
}

TEST(CharsTest, GetCharRejectsALeadByteAtTheEnd) {
  const std::string text = "ab\x82";
  std::int32_t i = 3;
  try {
    GetChar(text, i);
    FAIL() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_STREQ(e.what(), "不正な２バイト文字コードです。");
    EXPECT_EQ(e.ErrorPos(), 3);
    EXPECT_EQ(i, 3);
  }
}

TEST(CharsTest, UngetCharStepsBackOverWholeCharacters) {
  // "[メイ": the trail byte of メ is 0x81, itself a lead-byte value.
  const std::string text = "[" + kMe + kI;
  std::int32_t i = 6;
  UngetChar(text, i);
  EXPECT_EQ(i, 4);
  UngetChar(text, i);
  EXPECT_EQ(i, 2);
  UngetChar(text, i);
  EXPECT_EQ(i, 1);
  UngetChar(text, i);
  EXPECT_EQ(i, 1);
}

TEST(CharsTest, UngetCharWhenTheTextStartsWithLeadBytes) {
  // Every byte before イ's trail is a lead-byte value, the first byte included.
  const std::string text = kMe + kI;
  std::int32_t i = 5;
  UngetChar(text, i);
  EXPECT_EQ(i, 3);
  UngetChar(text, i);
  EXPECT_EQ(i, 1);
}

TEST(CharsTest, IsTrailByteCountsTheLeadRun) {
  const std::string text = "x" + kMe + kI + "A" + kTrailIsA;
  // offsets: 0 x, 1-2 メ, 3-4 イ, 5 A, 6-7 two-byte
  const std::vector<bool> expected = {false, false, true, false, true, false, false, true};
  for (std::size_t p = 0; p < text.size(); ++p) {
    EXPECT_EQ(IsTrailByte(text, p), expected[p]) << p;
  }
  EXPECT_FALSE(IsTrailByte(text, text.size())) << "past the end";
  EXPECT_TRUE(IsTrailByte(kMe, 1));
  EXPECT_FALSE(IsTrailByte(kMe + kMe, 2));
  EXPECT_TRUE(IsTrailByte(kMe + kMe, 3));
}

TEST(CharsTest, NextCharStopsAtZeroAndAtTheEnd) {
  const std::string text = kA + "b" + std::string(1, '\0') + "c";
  const char* p = text.data();
  const char* end = text.data() + text.size();
  EXPECT_EQ(NextChar(p, end), 0x82A0);
  EXPECT_EQ(NextChar(p, end), 'b');
  const char* atZero = p;
  EXPECT_EQ(NextChar(p, end), 0);
  EXPECT_EQ(p, atZero);
  const std::string lone = "a\x82";
  p = lone.data();
  EXPECT_EQ(NextChar(p, lone.data() + lone.size()), 'a');
  EXPECT_EQ(NextChar(p, lone.data() + lone.size()), 0x82) << "a lone lead byte is one step";
  EXPECT_EQ(p, lone.data() + lone.size());
  EXPECT_EQ(NextChar(p, lone.data() + lone.size()), 0);
  EXPECT_EQ(p, lone.data() + lone.size());
}

TEST(CharsTest, CodeToStr) {
  EXPECT_EQ(CodeToStr(0x82A0), kA);
  EXPECT_EQ(CodeToStr('A'), "A");
  EXPECT_EQ(CodeToStr(0xB6), kHalfKa);
  EXPECT_EQ(CodeToStr(0x4142), "B") << "a high byte that is no lead byte is dropped";
}

TEST(CharsTest, DigitValues) {
  struct Row {
    CharCode c;
    int hex;
    int oct;
  };
  const Row rows[] = {
      {'0', 0, 0},   {'7', 7, 7},   {'8', 8, -1},  {'9', 9, -1},    {'A', 10, -1},
      {'F', 15, -1}, {'a', 10, -1}, {'f', 15, -1}, {'G', -1, -1},   {'g', -1, -1},
      {'/', -1, -1}, {':', -1, -1}, {0, -1, -1},   {0x8250, -1, -1} /* full-width 1 */};
  for (const Row& r : rows) {
    EXPECT_EQ(HexDigitValue(r.c), r.hex) << r.c;
    EXPECT_EQ(OctDigitValue(r.c), r.oct) << r.c;
  }
}

struct EscapeRow {
  std::string afterBackslash;
  CharCode code;
  std::int32_t indexAfter;  // 1-based, in the text after the backslash
};

TEST(CharsTest, ReadEscapeResolvesTheTable) {
  const EscapeRow rows[] = {
      {"b", 0x08, 2},        {"r", 0x0D, 2},   {"n", 0x0A, 2},       {"t", 0x09, 2},
      {"d", 'd', 2},         {"w", 'w', 2},    {".", '.', 2},        {"\\", '\\', 2},
      {"-", '-', 2},         {"x41", 0x41, 4}, {"x82A0", 0x82A0, 6}, {"x414243", 0x4142, 6},
      {"xfF", 0xFF, 4},      {"x4g", 0x4, 3},  {"101", 'A', 4},      {"12", 0x0A, 3},
      {"177777", 0xFFFF, 7}, {"0", 0, 2},      {"0000000", 0, 7},    {"8", '8', 2},
      {"19", 1, 2},          {kA, 0x82A0, 3},  {"x" + kA, 0, 0},
  };
  for (const EscapeRow& r : rows) {
    std::int32_t i = 1;
    if (r.indexAfter == 0) {
      EXPECT_THROW(ReadEscape(r.afterBackslash, i), ERegExpParser) << r.afterBackslash;
      continue;
    }
    EXPECT_EQ(ReadEscape(r.afterBackslash, i), r.code) << r.afterBackslash;
    EXPECT_EQ(i, r.indexAfter) << r.afterBackslash;
  }
}

struct ErrorRow {
  std::string pattern;  // starting just after a backslash
  std::string message;
  int pos;
};

TEST(CharsTest, EscapeErrorsCarryTheirPositions) {
  const ErrorRow rows[] = {
      {"", "\"\\\"の次には文字が必要です。", 1},
      {"x", "不正な１６進数コード表記です。", 2},
      {"xg", "不正な１６進数コード表記です。", 3},
      {"x" + kA, "不正な１６進数コード表記です。", 4},
      {"200000", "不正な８進数コード表記です。", 7},
      {"7777777", "不正な８進数コード表記です。", 7},
      {"\x82", "不正な２バイト文字コードです。", 1},
      {"x4\x82", "不正な２バイト文字コードです。", 3},
  };
  for (const ErrorRow& r : rows) {
    std::int32_t i = 1;
    try {
      ReadEscape(r.pattern, i);
      ADD_FAILURE() << "no error for " << r.pattern;
    } catch (const ERegExpParser& e) {
      EXPECT_EQ(e.what(), r.message) << r.pattern;
      EXPECT_EQ(e.ErrorPos(), r.pos) << r.pattern;
    }
  }
}

TEST(CharsTest, QuoteMetaChars) {
  EXPECT_EQ(QuoteMetaChars("a.b(c)"), "a\\.b\\(c\\)");
  EXPECT_EQ(QuoteMetaChars("[Re]"), "\\[Re\\]");
  EXPECT_EQ(QuoteMetaChars("-{}"), "-{}");
  EXPECT_EQ(QuoteMetaChars("^(|)+*?.[]$\\"), "\\^\\(\\|\\)\\+\\*\\?\\.\\[\\]\\$\\\\");
  // A two-byte character whose trail byte is 0x5C (\) stays as it is: ソ is 0x83 0x5C.
  EXPECT_EQ(QuoteMetaChars("\x83\x5C"), "\x83\x5C");
  EXPECT_EQ(QuoteMetaChars(""), "");
}

TEST(CharsTest, ErrorPosSaturates) {
  EXPECT_EQ(ERegExpParser("m", 70000).ErrorPos(), 65535);
  EXPECT_EQ(ERegExpParser("m", 65535).ErrorPos(), 65535);
  EXPECT_EQ(ERegExpParser("m", 12).ErrorPos(), 12);
}

}  // namespace
}  // namespace SjisRegExp
