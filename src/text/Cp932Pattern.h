// A pattern of the SjisRegExp library typed in UTF-8, made into the CP932 bytes the library
// compiles, the way sjisgrep makes what its users type: for the reader window's and the
// archive's searches. (sjisgrep itself reads GNU grep's syntax; this is the library's own.)
//
// The syntax stays as typed (its characters are ASCII); each other character becomes CP932:
//   - a character with several codes matches every one of them: "∵" (0x81E6, 0x879A, 0xFA5B)
//     is written "(∵|∵|∵)" in its three codes, and inside a class each code is an item, so
//     that a log written with any of them is found;
//   - "¥" (U+00A5) and "＼" (U+FF3C) are the characters whose bytes they stand for in CP932:
//     ¥ is 0x5C, which the library would take as its escape, so it is written as the escaped
//     character "\\"; ＼ is 0x815F;
//   - a range "[X-Y]" runs over CP932 codes, the library's rule, from X's first code to Y's.
// Escapes keep their meaning: "\x41", "\101", "\n" and the like pass unchanged, and "\" before
// a character beyond ASCII is that character.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace sorbit::text {

// Where the conversion stopped: the byte offset in the UTF-8 pattern of a character that has
// no CP932 form, or of bytes that are not UTF-8 (code_point is then kNoCodePoint).
struct PatternFailure {
  std::size_t offset = 0;
  char32_t code_point = 0;
};

// Appends the CP932 pattern to `cp932`; on failure returns where, `cp932` holding what came
// before.
std::optional<PatternFailure> Utf8PatternToCp932(std::string_view utf8, std::string& cp932);

}  // namespace sorbit::text
