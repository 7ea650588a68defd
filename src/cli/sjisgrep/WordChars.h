// Word characters for -w and -x as GNU grep has them under a Japanese UTF-8 locale: letters,
// digits and the underscore of any script (iswalnum or '_'), kana, kanji and the full-width
// forms included. A Shift-JIS character that does not decode is no word character.
#pragma once

#include "SjisRegExp/SjisRegExp.h"

namespace sjisgrep {

// Whether the CP932 character code (a byte, or lead * 256 + trail) is a word character.
// Answers are worked out on first use through iconv and the C.UTF-8 locale's iswalnum, and
// kept: not safe to call from two threads at once.
bool IsWordChar(SjisRegExp::CharCode code);

}  // namespace sjisgrep
