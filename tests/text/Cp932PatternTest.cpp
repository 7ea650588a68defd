// A library pattern typed in UTF-8 made into CP932: the syntax kept, each character in every
// code that stands for it, ¥ and ＼ as the characters whose bytes they are.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "text/Cp932.h"
#include "text/Cp932Pattern.h"

namespace {

using sorbit::text::Utf8PatternToCp932;

std::string Converted(std::string_view utf8) {
  std::string cp932;
  EXPECT_FALSE(Utf8PatternToCp932(utf8, cp932)) << utf8;
  return cp932;
}

TEST(Cp932PatternTest, WritesEachCharacterInAllItsCodes) {
  struct Case {
    const char* utf8;
    std::string cp932;
  };
  const std::vector<Case> cases = {
      {"Re: [0-9]+", "Re: [0-9]+"},
      {"あ+|(い)?", "\x82\xA0+|(\x82\xA2)?"},
      // ∵ has three codes: a group outside a class, three items inside one.
      {"∵*", "(\x81\xE6|\x87\x9A|\xFA\x5B)*"},
      {"[∵a]",
       "[\x81\xE6\x87\x9A\xFA\x5B"
       "a]"},
      {"[^纊]", "[^\xFA\x5C\xED\x40]"},  // iconv writes the IBM code first
      // A range runs from the first code of one end to the first of the other.
      {"[ぁ-ん∵-∵]", "[\x82\x9F-\x82\xF1\x81\xE6-\x81\xE6]"},
      // ¥ is 0x5C, written escaped inside and outside a class; ＼ is 0x815F.
      {"C:¥Windows", "C:\\\\Windows"},
      {"[¥＼]", "[\\\\\x81\x5F]"},
      {"＼", "\x81\x5F"},
      // Escapes keep their meaning; a backslash before a character beyond ASCII is that one.
      {"\\x41\\101\\.\\[", "\\x41\\101\\.\\["},
      {"\\あ\\¥", "\x82\xA0\\\\"},
      {"[\\]\\-あ]", "[\\]\\-\x82\xA0]"},
      // The wave dashes: both become 0x8160, as the one table encodes them.
      {"〜～", "\x81\x60\x81\x60"},
  };
  for (const Case& c : cases) EXPECT_EQ(Converted(c.utf8), c.cp932) << c.utf8;
}

TEST(Cp932PatternTest, SaysWhereACharacterHasNoCodeOrTheBytesAreNotUtf8) {
  std::string cp932;
  auto failure = Utf8PatternToCp932("ab😀", cp932);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->offset, 2u);
  EXPECT_EQ(failure->code_point, U'😀');
  EXPECT_EQ(cp932, "ab");
  cp932.clear();
  failure = Utf8PatternToCp932("[a\xFF]", cp932);
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->offset, 2u);
  EXPECT_EQ(failure->code_point, sorbit::text::kNoCodePoint);
}

}  // namespace
