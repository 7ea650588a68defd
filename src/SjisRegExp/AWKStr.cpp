// TAWKStr, the matching component of the public interface: a TMatchCORE with the built-in
// fuzzy-character dictionary in its preprocessor's list (its pass stays off until switched on).
#include "FuzzyCharDic.h"
#include "MatchCore.h"
#include "SjisRegExp.h"

namespace SjisRegExp {

TAWKStr::TAWKStr() : core_(std::make_unique<TMatchCORE>()) {
  core_->AddFuzzyCharDic(FuzzyCharDic());
}

TAWKStr::~TAWKStr() = default;

const std::string& TAWKStr::RegExp() const { return core_->RegExp(); }
void TAWKStr::SetRegExp(std::string_view pattern) { core_->SetRegExp(pattern); }

TMatchCORE_LineSeparator TAWKStr::LineSeparator() const { return core_->LineSeparator(); }
void TAWKStr::SetLineSeparator(TMatchCORE_LineSeparator separator) {
  core_->SetLineSeparator(separator);
}

bool TAWKStr::UseFuzzyCharDic() const { return core_->UseFuzzyCharDic(); }
void TAWKStr::SetUseFuzzyCharDic(bool on) { core_->SetUseFuzzyCharDic(on); }
bool TAWKStr::UseSynonymDic() const { return core_->UseSynonymDic(); }
void TAWKStr::SetUseSynonymDic(bool on) { core_->SetUseSynonymDic(on); }

int TAWKStr::Match(std::string_view text, int& start, int& length) const {
  return core_->Match(text, start, length);
}

}  // namespace SjisRegExp
