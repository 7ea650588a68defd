// The word-character test of -w, on the classes of CharClasses.h.
#include "WordChars.h"

#include "CharClasses.h"

namespace sjisgrep {

bool IsWordChar(SjisRegExp::CharCode code) {
  if (code < 0x80) {
    const auto c = static_cast<unsigned char>(code);
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
  }
  return WordCodes().Contains(code);
}

}  // namespace sjisgrep
