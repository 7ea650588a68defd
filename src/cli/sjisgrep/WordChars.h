// Word characters for -w and \< \> \b \B as GNU grep has them under a UTF-8 locale: letters,
// digits and the underscore of any script (iswalnum or '_'), kana, kanji and the full-width
// forms included. A Shift-JIS character that does not decode is no word character.
#pragma once

#include "SjisRegExp/SjisRegExp.h"

namespace sjisgrep {

// Whether the CP932 character code (a byte, or lead * 256 + trail) is a word character.
// The answers are CharClasses' word characters: ASCII is decided at once, the rest by a
// table made once.
bool IsWordChar(SjisRegExp::CharCode code);

}  // namespace sjisgrep
