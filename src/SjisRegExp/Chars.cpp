// Reading Shift-JIS characters one or two bytes at a time, the backslash escapes of
// pattern text, and the exception that carries every pattern error.
#include "Chars.h"

#include <algorithm>
#include <limits>

namespace SjisRegExp {

namespace {

constexpr char kMsgBadDoubleByte[] = "不正な２バイト文字コードです。";
constexpr char kMsgEscapeNeedsChar[] = "\"\\\"の次には文字が必要です。";
constexpr char kMsgBadHexCode[] = "不正な１６進数コード表記です。";
constexpr char kMsgBadOctCode[] = "不正な８進数コード表記です。";

constexpr std::uint16_t SaturatePos(std::int64_t pos) {
  return static_cast<std::uint16_t>(
      std::clamp<std::int64_t>(pos, 0, std::numeric_limits<std::uint16_t>::max()));
}

constexpr CharCode kMetaChars[] = {0x5E, 0x28, 0x7C, 0x29, 0x2B, 0x2A,
                                   0x3F, 0x2E, 0x5B, 0x5D, 0x24, 0x5C};

}  // namespace

ERegExpParser::ERegExpParser(const std::string& message, std::int64_t errorPos1)
    : std::runtime_error(message), errorPos_(SaturatePos(errorPos1)) {}

CharCode GetChar(std::string_view text, std::int32_t& index1) {
  if (index1 < 1 || static_cast<std::size_t>(index1) > text.size()) return 0;
  const auto b = static_cast<unsigned char>(text[static_cast<std::size_t>(index1) - 1]);
  if (IsLeadByte(b)) {
    if (static_cast<std::size_t>(index1) == text.size()) {
      throw ERegExpParser(kMsgBadDoubleByte, index1);
    }
    const auto t = static_cast<unsigned char>(text[static_cast<std::size_t>(index1)]);
    index1 += 2;
    return static_cast<CharCode>(b << 8 | t);
  }
  index1 += 1;
  return b;
}

bool IsTrailByte(std::string_view text, std::size_t byteOffset) {
  if (byteOffset == 0 || byteOffset >= text.size()) return false;
  // Count the lead bytes that stand directly before the byte, the first byte of the
  // text included: each pair of them is one whole character, so an odd run leaves the
  // last one waiting for this byte as its trail.
  std::size_t run = 0;
  std::size_t q = byteOffset;
  while (q > 0 && IsLeadByte(static_cast<unsigned char>(text[q - 1]))) {
    --q;
    ++run;
  }
  return run % 2 == 1;
}

void UngetChar(std::string_view text, std::int32_t& index1) {
  if (index1 <= 1) return;
  if (index1 == 2) {
    index1 = 1;
    return;
  }
  // The last byte of the character before index1 is at 0-based offset index1 - 2.
  const auto last = static_cast<std::size_t>(index1) - 2;
  index1 -= IsTrailByte(text, last) ? 2 : 1;
}

std::string CodeToStr(CharCode code) {
  const auto high = static_cast<unsigned char>(code >> 8);
  const auto low = static_cast<char>(code & 0xFF);
  if (IsLeadByte(high)) return std::string{static_cast<char>(high), low};
  return std::string(1, low);
}

std::int32_t HexDigitValue(CharCode c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::int32_t OctDigitValue(CharCode c) {
  if (c >= '0' && c <= '7') return c - '0';
  return -1;
}

CharCode ReadEscape(std::string_view text, std::int32_t& index1) {
  const CharCode c = GetChar(text, index1);
  switch (c) {
    case 0:
      throw ERegExpParser(kMsgEscapeNeedsChar, index1);
    case 'b':
      return 0x08;
    case 'r':
      return 0x0D;
    case 'n':
      return 0x0A;
    case 't':
      return 0x09;
    case 'x':
      return ReadHexCode(text, index1);
    default:
      break;
  }
  if (OctDigitValue(c) >= 0) {
    UngetChar(text, index1);
    return ReadOctCode(text, index1);
  }
  return c;
}

CharCode ReadHexCode(std::string_view text, std::int32_t& index1) {
  std::uint32_t value = 0;
  int count = 0;
  CharCode c = GetChar(text, index1);
  std::int32_t d = HexDigitValue(c);
  while (c != 0 && d >= 0 && count < 4) {
    value = value * 16 + static_cast<std::uint32_t>(d);
    ++count;
    c = GetChar(text, index1);
    d = HexDigitValue(c);
  }
  if (count == 0) throw ERegExpParser(kMsgBadHexCode, index1);
  if (c != 0) UngetChar(text, index1);
  return static_cast<CharCode>(value);
}

CharCode ReadOctCode(std::string_view text, std::int32_t& index1) {
  std::uint32_t value = 0;
  int count = 0;
  CharCode c = GetChar(text, index1);
  std::int32_t d = OctDigitValue(c);
  while (c != 0 && d >= 0 && count < 6) {
    const std::uint32_t t = value * 8 + static_cast<std::uint32_t>(d);
    if (t > 0xFFFF) throw ERegExpParser(kMsgBadOctCode, index1);
    value = t;
    ++count;
    c = GetChar(text, index1);
    d = OctDigitValue(c);
  }
  if (count == 0) throw ERegExpParser(kMsgBadOctCode, index1);
  if (c != 0) UngetChar(text, index1);
  return static_cast<CharCode>(value);
}

std::string QuoteMetaChars(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::int32_t index1 = 1;
  for (CharCode c = GetChar(text, index1); c != 0; c = GetChar(text, index1)) {
    if (std::find(std::begin(kMetaChars), std::end(kMetaChars), c) != std::end(kMetaChars)) {
      result += '\\';
    }
    result += CodeToStr(c);
  }
  return result;
}

}  // namespace SjisRegExp
