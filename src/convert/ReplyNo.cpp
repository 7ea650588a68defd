#include "convert/ReplyNo.h"

namespace sorbit {

std::string ExtractReplyNo(SjisRegExp::TAWKStr& matcher, std::string_view title) {
  matcher.SetRegExp(kReplyPattern);
  int start = 0;
  int length = 0;
  std::string digits;
  if (matcher.Match(title, start, length) == 0) return digits;
  for (char c :
       title.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length))) {
    if (c >= '0' && c <= '9') digits.push_back(c);
  }
  return digits;
}

}  // namespace sorbit
