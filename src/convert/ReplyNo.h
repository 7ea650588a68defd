// Reply-number extraction: the digits of the reply reference in a message title
// ("Re: 12 thanks" gives "12"), found with the pattern library.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "SjisRegExp/SjisRegExp.h"

namespace sorbit {

// "R" or "r", "E" or "e", one or more of blank ":" ">" "[" "#", then one or more digits.
inline constexpr std::string_view kReplyPattern = "[Rr][Ee][ :>\\[#]+[0-9]+";

// Finds reply numbers with one matcher whose pattern is set once, when the finder is made, so
// that each title costs one Match. Find changes nothing, so one thread may use a finder while
// others use finders of their own.
class ReplyNoFinder {
 public:
  // With a matcher of its own, set as the window's: CR LF lines, both dictionaries off.
  ReplyNoFinder();
  // With `matcher` (the window's component), which takes kReplyPattern now and must keep it,
  // and live, while the finder is used. May throw what setting the pattern throws.
  explicit ReplyNoFinder(SjisRegExp::TAWKStr& matcher);
  ReplyNoFinder(const ReplyNoFinder&) = delete;
  ReplyNoFinder& operator=(const ReplyNoFinder&) = delete;

  // The ASCII digits of the leftmost-longest match in `title`: the run of digits that ends it.
  // Empty when the title holds no reference. Stored in `reply_no`, replacing what it held.
  void Find(std::string_view title, std::string& reply_no) const;
  std::string Find(std::string_view title) const;

 private:
  std::unique_ptr<SjisRegExp::TAWKStr> own_;
  const SjisRegExp::TAWKStr& matcher_;
};

}  // namespace sorbit
