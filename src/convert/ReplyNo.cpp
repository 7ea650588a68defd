#include "convert/ReplyNo.h"

namespace sorbit {

namespace {

bool IsDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

std::unique_ptr<SjisRegExp::TAWKStr> WindowLikeMatcher() {
  auto matcher = std::make_unique<SjisRegExp::TAWKStr>();
  matcher->SetLineSeparator(SjisRegExp::mcls_CRLF);
  matcher->SetUseFuzzyCharDic(false);
  matcher->SetUseSynonymDic(false);
  return matcher;
}

}  // namespace

ReplyNoFinder::ReplyNoFinder(SjisRegExp::TAWKStr& matcher) : matcher_(matcher) {
  matcher.SetRegExp(kReplyPattern);
}

ReplyNoFinder::ReplyNoFinder() : own_(WindowLikeMatcher()), matcher_(*own_) {
  own_->SetRegExp(kReplyPattern);
}

std::string ReplyNoFinder::Find(std::string_view title) const {
  std::string reply_no;
  Find(title, reply_no);
  return reply_no;
}

void ReplyNoFinder::Find(std::string_view title, std::string& reply_no) const {
  int start = 0;
  int length = 0;
  reply_no.clear();
  if (matcher_.Match(title, start, length) == 0) return;
  // The digits of the matched bytes, in order: the run of digits that ends the match.
  for (const char c :
       title.substr(static_cast<std::size_t>(start - 1), static_cast<std::size_t>(length))) {
    if (IsDigit(c)) reply_no.push_back(c);
  }
}

}  // namespace sorbit
