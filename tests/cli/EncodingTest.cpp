// sjisgrep's conversions on their own: UTF-8 patterns to Shift-JIS with the offsets that tell
// error positions, Shift-JIS lines to UTF-8 with one U+FFFD per undecodable byte, and the
// word characters of -w.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Encoding.h"
#include "WordChars.h"

namespace {

TEST(EncodingTest, Utf8PatternBecomesShiftJisWithOffsets) {
  std::vector<std::size_t> offsets;
  EXPECT_EQ(sjisgrep::Utf8ToSjis("aあ〜～−－", &offsets),
            "a\x82\xA0\x81\x60\x81\x60\x81\x7C\x81\x7C");
  // a (0), あ (1..3), 〜 (4..6), ～ (7..9), − (10..12), － (13..15), end 16.
  EXPECT_EQ(offsets, (std::vector<std::size_t>{0, 1, 1, 4, 4, 7, 7, 10, 10, 13, 13, 16}));
  EXPECT_THROW(sjisgrep::Utf8ToSjis("\xF0\x9F\x98\x80"), sjisgrep::PatternEncodingError);
  EXPECT_THROW(sjisgrep::Utf8ToSjis("\xE3\x81"), sjisgrep::PatternEncodingError);  // cut short
  EXPECT_THROW(sjisgrep::Utf8ToSjis("\xC0\xAF"), sjisgrep::PatternEncodingError);  // overlong
  EXPECT_EQ(sjisgrep::Utf8ToSjis(""), "");
}

TEST(EncodingTest, EveryShiftJisByteShowsInUtf8) {
  sjisgrep::SjisToUtf8 convert;
  const auto utf8 = [&convert](const std::string& sjis) {
    std::string out = "<";
    convert.Append(sjis.data(), sjis.data() + sjis.size(), out);
    return out;
  };
  EXPECT_EQ(utf8("a\x82\xA0\xB1"), "<aあｱ");
  EXPECT_EQ(utf8("\x81\x60\x87\x40"), "<～①");
  EXPECT_EQ(utf8("\x80\xA0\xFD\xFE\xFF"), "<\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(utf8("\x82"), "<\uFFFD");    // a lead byte at the end
  EXPECT_EQ(utf8("\x82!"), "<\uFFFD!");  // a lead byte before ASCII: the "!" stays
  EXPECT_EQ(utf8("\xFD\x82\xA0"), "<\uFFFDあ");
  EXPECT_EQ(utf8(std::string("\0x", 2)), std::string("<\0x", 3));
  // Every byte value alone: one character or one U+FFFD, never nothing.
  for (unsigned b = 1; b < 256; ++b) {
    const std::string out = utf8(std::string(1, static_cast<char>(b)));
    EXPECT_GT(out.size(), 1u) << b;
  }
}

TEST(EncodingTest, WordCharactersOfAnyScript) {
  const auto code = [](const char* sjis) {
    const auto* b = reinterpret_cast<const unsigned char*>(sjis);
    return static_cast<SjisRegExp::CharCode>(b[1] != 0 ? b[0] << 8 | b[1] : b[0]);
  };
  for (const char* word : {"a", "Z", "0", "_", "\x8C\x66", "\x82\xA0", "\x83\x41", "\xB1",
                           "\x82\x60", "\x82\x4F", "\x81\x5B"}) {
    EXPECT_TRUE(sjisgrep::IsWordChar(code(word))) << word;
  }
  for (const char* other :
       {" ", "-", ":", "\x81\x41", "\x81\x42", "\x81\x75", "\x81\x40", "\x87\x40", "\x80"}) {
    EXPECT_FALSE(sjisgrep::IsWordChar(code(other))) << other;
  }
}

}  // namespace
