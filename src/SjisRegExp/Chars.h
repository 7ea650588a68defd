// Characters of Shift-JIS (code page 932) text, one or two bytes each, and the
// backslash escapes of pattern text.
//
// A character is read as a 16-bit `CharCode`: a single byte is its own value, a lead
// byte (0x81-0x9F, 0xE0-0xFC) followed by any byte is lead * 256 + trail. Code 0 is
// "no character": what reading at or past the end yields, and it ends every scan.
// Positions handed to GetChar / UngetChar are 1-based byte indexes (`index1`).
//
// CharCode, IsLeadByte, IsTrailByte, QuoteMetaChars and ERegExpParser, the one exception
// type of every pattern error, are part of the public interface (SjisRegExp.h).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "SjisRegExp.h"

namespace SjisRegExp {

// Codes above every real character; they label the special automaton transitions.
inline constexpr CharCode LineHeadCode = 0xFFFD;
inline constexpr CharCode LineTailCode = 0xFFFE;
inline constexpr CharCode EpsilonCode = 0xFFFF;

// Whether p begins a character of a text in which `known`, at or before p, begins one: the
// lead-byte values directly before p, counted back no further than `known`, are even in
// number (the byte before such a run ends a character whatever it is, and the run pairs up
// from there). A caller that moves `known` forward as it goes reads every byte back at most
// once.
inline bool BeginsCharacter(const char* known, const char* p) {
  const char* r = p;
  while (r > known && IsLeadByte(static_cast<unsigned char>(r[-1]))) --r;
  return (p - r) % 2 == 0;
}

// Reads the character at index1 and advances index1 past it. Outside the text it
// yields 0 and leaves index1 alone. A lead byte that is the last byte of the text
// raises the two-byte error at the lead byte's position.
CharCode GetChar(std::string_view text, std::int32_t& index1);

// Moves index1 back over the character that ends just before it.
void UngetChar(std::string_view text, std::int32_t& index1);

// Reads the character at p and advances p. The text ends at `end` or at its first
// zero byte, whichever comes first; there it yields 0 and p stays. A lead byte with
// nothing after it is taken as a character of its own, so p never passes the end.
inline CharCode NextChar(const char*& p, const char* end) {
  if (p >= end || *p == 0) return 0;
  const auto b = static_cast<unsigned char>(*p);
  if (IsLeadByte(b) && p + 1 < end && p[1] != 0) {
    const auto t = static_cast<unsigned char>(p[1]);
    p += 2;
    return static_cast<CharCode>(b << 8 | t);
  }
  ++p;
  return b;
}

// The number of bytes that the character at p occupies for NextChar (1 at the end).
inline std::size_t CharStep(const char* p, const char* end) {
  return (p + 1 < end && IsLeadByte(static_cast<unsigned char>(*p)) && p[1] != 0) ? 2 : 1;
}

// How the scans read a text [p, end). Where kZeroEnds (Match's texts) the text also ends at
// its first zero byte, as NextChar reads it; otherwise (the other searches) a zero byte is a
// character of its own, code 0, and a lead byte takes any byte after it as its trail.
template <bool kZeroEnds>
constexpr bool AtTextEnd(const char* p, const char* end) {
  return p >= end || (kZeroEnds && *p == 0);
}
// The character at p, which lies before the text's end; p moves past it.
template <bool kZeroEnds>
inline CharCode ReadChar(const char*& p, const char* end) {
  const auto b = static_cast<unsigned char>(*p);
  if (IsLeadByte(b) && p + 1 < end && (!kZeroEnds || p[1] != 0)) {
    const auto t = static_cast<unsigned char>(p[1]);
    p += 2;
    return static_cast<CharCode>(b << 8 | t);
  }
  ++p;
  return b;
}
// The bytes of the character at p (1 at the text's end).
template <bool kZeroEnds>
inline std::size_t CharBytes(const char* p, const char* end) {
  return (p + 1 < end && IsLeadByte(static_cast<unsigned char>(*p)) && (!kZeroEnds || p[1] != 0))
             ? 2
             : 1;
}

// The one- or two-byte text of a code; a high byte that is not a lead byte is dropped.
std::string CodeToStr(CharCode code);

// 0-15 for a hexadecimal digit of either case, else -1.
std::int32_t HexDigitValue(CharCode c);
// 0-7 for an octal digit, else -1.
std::int32_t OctDigitValue(CharCode c);

// Resolves the escape whose backslash lies just before index1; index1 ends after it.
CharCode ReadEscape(std::string_view text, std::int32_t& index1);
// One to four hexadecimal digits after \x.
CharCode ReadHexCode(std::string_view text, std::int32_t& index1);
// One to six octal digits, at most 0xFFFF.
CharCode ReadOctCode(std::string_view text, std::int32_t& index1);

}  // namespace SjisRegExp
