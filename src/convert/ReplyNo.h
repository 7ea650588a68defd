// Reply-number extraction: the digits of the reply reference in a message title
// ("Re: 12 thanks" gives "12"), found with the pattern library.
#pragma once

#include <string>
#include <string_view>

#include "SjisRegExp/SjisRegExp.h"

namespace sorbit {

// "R" or "r", "E" or "e", one or more of blank ":" ">" "[" "#", then one or more digits.
inline constexpr std::string_view kReplyPattern = "[Rr][Ee][ :>\\[#]+[0-9]+";

// Writes kReplyPattern into `matcher` (a cache hit after the first time) and returns the
// ASCII digits of the leftmost-longest match in `title`: the run of digits that ends it.
// Empty when the title holds no reference. May throw only what writing the pattern throws.
std::string ExtractReplyNo(SjisRegExp::TAWKStr& matcher, std::string_view title);
// The same, stored in `reply_no` (whatever it held before is replaced).
void ExtractReplyNo(SjisRegExp::TAWKStr& matcher, std::string_view title, std::string& reply_no);

}  // namespace sorbit
