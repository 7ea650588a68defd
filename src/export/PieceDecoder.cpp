// Where a piece of CP932 text may end.
#include "export/PieceDecoder.h"

#include <cassert>
#include <cstring>

namespace sorbit::exporter {

namespace {

// A byte after which rule 2 may cut.
bool EndsPieceSafely(unsigned char byte) {
  if (byte >= 0x40) return false;
  switch (byte) {
    case '\r':
    case ' ':
    case ':':
    case '>':
    case '[':
    case '#':
      return false;
    default:
      return byte < '0' || byte > '9';
  }
}

}  // namespace

std::size_t PieceDecoder::FirstPieceSize(std::string_view cp932) {
  if (cp932.size() <= kPieceBytes) return cp932.size();
  const char* const text = cp932.data();
  if (const void* lf = ::memrchr(text, '\n', kPieceBytes)) {
    return static_cast<std::size_t>(static_cast<const char*>(lf) - text) + 1;
  }
  for (std::size_t i = kPieceBytes; i-- > 0;) {
    if (EndsPieceSafely(static_cast<unsigned char>(text[i]))) return i + 1;
  }
  std::size_t boundary = 0;
  for (std::size_t i = 0; i < kPieceBytes;) {
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t length = 1;
    if (text::IsCp932LeadByte(lead)) {
      const auto trail = static_cast<unsigned char>(text[i + 1]);  // i + 1 < size
      if (text::Cp932CodePoint(static_cast<text::Cp932Code>(lead << 8 | trail)) !=
          text::kNoCodePoint) {
        length = 2;
      }
    }
    i += length;
    if (i <= kPieceBytes) boundary = i;
  }
  // A CR is one character: the cut goes before it when an LF follows, so that no piece
  // ends inside a line end.
  if (text[boundary - 1] == '\r' && text[boundary] == '\n') --boundary;
  assert(boundary > 0);
  return boundary;
}

}  // namespace sorbit::exporter
