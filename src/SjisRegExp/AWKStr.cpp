// TAWKStr's construction, its choice of match method on every pattern write, and the
// two dictionary switches that write the pattern again.
#include "AWKStr.h"

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

}  // namespace SjisRegExp
