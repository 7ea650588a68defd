#include "convert/ReplyNo.h"

namespace sorbit {

namespace {

bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

}  // namespace

std::string ExtractReplyNo(SjisRegExp::TAWKStr& matcher, std::string_view title) {
  std::string reply_no;
  ExtractReplyNo(matcher, title, reply_no);
  return reply_no;
}

void ExtractReplyNo(SjisRegExp::TAWKStr& matcher, std::string_view title, std::string& reply_no) {
  matcher.SetRegExp(kReplyPattern);
  int start = 0;
  int length = 0;
  if (matcher.Match(title, start, length) == 0) {
    reply_no.clear();
    return;
  }
  // The digits of the matched bytes, in order. The pattern's match ends in its only run of
  // digits, so that run is normally the whole answer: it is taken in one piece once the
  // bytes before it are seen to hold none.
  const char* const first = title.data() + (start - 1);
  const char* const last = first + length;
  const char* run = last;
  while (run != first && IsDigit(run[-1])) --run;
  const char* p = first;
  while (p != run && !IsDigit(*p)) ++p;
  if (p == run) {
    reply_no.assign(run, last);
    return;
  }
  reply_no.clear();
  for (; p != last; ++p) {
    if (IsDigit(*p)) reply_no.push_back(*p);
  }
}

}  // namespace sorbit
