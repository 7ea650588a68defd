// The word characters of -w, \w and \<: letters, digits and the underscore of any script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WordChars.h"

namespace {

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
