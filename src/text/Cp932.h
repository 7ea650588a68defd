// CP932 <-> Unicode: the one conversion between the logs' Windows Shift-JIS (code page 932,
// with the NEC and IBM extensions) and UTF-8 that every part of the program uses.
//
// The mapping is the C library's iconv "CP932" (glibc), held as a table of every single byte
// and every lead-trail pair (Cp932Table.h, generated from iconv; the tests compare every code
// with iconv again). So 0x8160 reads as U+FF5E, 0x815C as U+2015, 0x5C as "\" and 0x7E as
// "~"; the user-defined area 0xF040-0xF9FC reads as U+E000-U+E757.
//
// Decoding rules, which make the output exactly what an iconv loop gives that writes U+FFFD
// for the byte it stops at and goes on with the next byte:
//   - a byte that decodes alone (ASCII, half-width katakana 0xA1-0xDF) is its character;
//   - a lead byte (0x81-0x9F, 0xE0-0xFC) and the byte after it are one character when the pair
//     decodes;
//   - any other byte (0x80, 0xA0, 0xFD-0xFF, a lead byte whose pair does not decode, a lead
//     byte at the end of the text) is one U+FFFD, and decoding goes on with the next byte, so
//     a decodable character after it still reads as itself.
//
// Encoding: a character may have several CP932 codes (U+2235 is 0x81E6 and 0x879A; U+7E8A is
// 0xED40 and 0xFA5C). Cp932CodesOf lists them all, the code iconv writes first; that first
// code is what EncodeUtf8AsCp932 writes. Some characters have a code only through iconv's
// encoder (U+301C WAVE DASH is written 0x8160, which reads back as U+FF5E; U+00A5 YEN SIGN is
// written 0x5C).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sorbit::text {

// A CP932 character code: a single byte's value, or lead byte * 256 + trail byte.
using Cp932Code = std::uint16_t;

// Returned for a code that does not decode and for bytes that are not valid UTF-8.
inline constexpr char32_t kNoCodePoint = 0xFFFFFFFF;

inline constexpr bool IsCp932LeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The character `code` decodes to, or kNoCodePoint. A single-byte code is a value below 0x100;
// a lead byte alone does not decode.
char32_t Cp932CodePoint(Cp932Code code);

// Appends the UTF-8 form of `cp932` to `utf8`. Returns true when every byte decoded, false
// when at least one became U+FFFD (the text was lossy).
bool AppendCp932AsUtf8(std::string_view cp932, std::string& utf8);

// The most UTF-8 bytes one CP932 byte can become, and the room DecodeCp932Into needs.
inline constexpr std::size_t kMaxUtf8PerCp932Byte = 3;
constexpr std::size_t Cp932DecodeRoom(std::size_t cp932_bytes) {
  return kMaxUtf8PerCp932Byte * cp932_bytes + 1;
}

// The same as AppendCp932AsUtf8 into a caller's buffer of at least Cp932DecodeRoom(size)
// bytes: returns the end of what it wrote and sets `lossy` when a byte became U+FFFD (it is
// never cleared). For callers that keep one buffer for many texts.
char* DecodeCp932Into(const char* cp932, std::size_t size, char* out, bool& lossy);

// Every CP932 code that stands for `code_point`, the code iconv's encoder writes first; empty
// when the character has no CP932 form. The first code decodes to `code_point` itself unless
// the character is one that only iconv's encoder maps (see above).
std::span<const Cp932Code> Cp932CodesOf(char32_t code_point);

// Reads the UTF-8 character that starts at `text[offset]`: returns its length (1 to 4) and
// stores its code point, or returns 0 when the bytes there are not a valid UTF-8 character
// (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t ReadUtf8Char(std::string_view text, std::size_t offset, char32_t& code_point);

// Where EncodeUtf8AsCp932 stopped: the byte offset of the character in the UTF-8 text, and the
// character, or kNoCodePoint when the bytes there are not valid UTF-8.
struct EncodeFailure {
  std::size_t offset = 0;
  char32_t code_point = kNoCodePoint;
};

// Appends each character of `utf8` as its first CP932 code (Cp932CodesOf) to `cp932`.
// `cp932_to_utf8_offset`, when given, is cleared and receives, for every byte appended and for
// the end, the offset in `utf8` of the character that byte belongs to. Returns the first
// character that is not valid UTF-8 or has no CP932 form; `cp932` then holds what came
// before it.
std::optional<EncodeFailure> EncodeUtf8AsCp932(
    std::string_view utf8, std::string& cp932,
    std::vector<std::size_t>* cp932_to_utf8_offset = nullptr);

}  // namespace sorbit::text
