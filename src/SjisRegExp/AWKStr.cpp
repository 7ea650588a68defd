#include "AWKStr.h"

#include <limits>
#include <string>

#include "FuzzyCharDic.h"

namespace SjisRegExp {

TAWKStr::TAWKStr() { PreProcessor().FuzzyCharDics.push_back(&FuzzyCharDic()); }

void TAWKStr::SetRegExp(std::string_view pattern) {
  // A skipped write leaves the current pattern, and so the method chosen for it, as it was;
  // the serial also catches writes made past this override.
  if (RewritesCurrent(pattern) && methodSerial_ == WriteSerial()) return;
  TMatchCORE::SetRegExp(pattern);
  const TRE_DFA& dfa = CurrentDFA();
  matchMethod_ = (dfa.LineHeadMark() || dfa.LineTailMark()) ? &TMatchCORE::ScanAnchored
                                                            : &TMatchCORE::ScanPlain;
  methodSerial_ = WriteSerial();
}

void TAWKStr::SetUseFuzzyCharDic(bool on) {
  PreProcessor().SetUseFuzzyCharDic(on);
  const std::string current = RegExp();  // a copy: writing RegExp replaces it
  SetRegExp(current);
}

void TAWKStr::SetUseSynonymDic(bool on) {
  PreProcessor().SetUseSynonymDic(on);
  const std::string current = RegExp();
  SetRegExp(current);
}

int TAWKStr::Match(std::string_view text, int& start, int& length) const {
  constexpr std::size_t kMaxText = static_cast<std::size_t>(std::numeric_limits<int>::max()) - 1;
  if (text.size() > kMaxText) text = text.substr(0, kMaxText);
  const char* begin = text.data();
  // The scans stop at the first zero byte themselves, so the text is not measured
  // first: a long text with an early match costs only what is read.
  const char* end = begin + text.size();
  const MatchSpan m = (this->*matchMethod_)(begin, end);
  if (m.start == nullptr) {
    start = 0;
    length = 0;
    return 0;
  }
  start = static_cast<int>(m.start - begin) + 1;
  length = static_cast<int>(m.end - m.start);
  return start;
}

}  // namespace SjisRegExp
