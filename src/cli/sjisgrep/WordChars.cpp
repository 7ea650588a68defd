// The word-character test of -w, with its table filled in on first use.
#include "WordChars.h"

#include <locale.h>
#include <wctype.h>

#include <array>
#include <cstdint>
#include <cstring>

#include "Encoding.h"

namespace sjisgrep {

namespace {

// The Unicode code point of a CP932 character, or 0 when it does not decode.
std::uint32_t ToCodePoint(iconv_t cd, SjisRegExp::CharCode code) {
  char in[2];
  std::size_t inLeft = 0;
  if (code > 0xFF) in[inLeft++] = static_cast<char>(code >> 8);
  in[inLeft++] = static_cast<char>(code & 0xFF);
  char out[8];
  char* inPtr = in;
  char* outPtr = out;
  std::size_t outLeft = sizeof out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) ||
      sizeof out - outLeft != 4) {
    return 0;
  }
  std::uint32_t cp;
  std::memcpy(&cp, out, 4);
  return cp;
}

}  // namespace

bool IsWordChar(SjisRegExp::CharCode code) {
  if (code < 0x80) {
    const auto c = static_cast<unsigned char>(code);
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
  }
  // 0 unknown, 1 no, 2 yes.
  static std::array<std::uint8_t, 65536> known{};
  std::uint8_t& answer = known[code];
  if (answer == 0) {
    static const IconvHandle cd("UTF-32LE", "CP932");
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    const std::uint32_t cp = ToCodePoint(cd.get(), code);
    bool word = false;
    if (cp != 0 && utf8 != static_cast<locale_t>(0)) {
      word = iswalnum_l(static_cast<wint_t>(cp), utf8) != 0;
    }
    answer = word ? 2 : 1;
  }
  return answer == 2;
}

}  // namespace sjisgrep
