// TAWKStr, the matching component of the public interface: a TMatchCORE with the built-in
// fuzzy-character dictionary in its preprocessor's list (its pass stays off until switched on),
// and the choice of Match's search each time the pattern or the separator changes.
#include "FuzzyCharDic.h"
#include "MatchCore.h"
#include "SjisRegExp.h"

namespace SjisRegExp {

TAWKStr::TAWKStr() : core_(std::make_unique<TMatchCORE>()) {
  core_->AddFuzzyCharDic(FuzzyCharDic());
  ChooseMatch();
}

TAWKStr::~TAWKStr() = default;

void TAWKStr::ChooseMatch() {
  // A failed write leaves the empty pattern current, so this runs after every write.
  const TRE_Program& program = core_->CurrentProgram();
  if (program.PlainScanByStops()) {
    match_ = &MatchByStopBytes;
    matchContext_ = &program;
  } else if (program.PlainScanByLiteral()) {
    match_ = &MatchByLiteral;
    matchContext_ = &program;
  } else if (program.Plain()) {
    match_ = &MatchPlain;
    matchContext_ = &program;
  } else {
    match_ = &MatchOfComponent;
    matchContext_ = core_.get();
  }
}

const std::string& TAWKStr::RegExp() const { return core_->RegExp(); }

void TAWKStr::SetRegExp(std::string_view pattern) {
  try {
    core_->SetRegExp(pattern);
  } catch (...) {
    ChooseMatch();
    throw;
  }
  ChooseMatch();
}

TMatchCORE_LineSeparator TAWKStr::LineSeparator() const { return core_->LineSeparator(); }
void TAWKStr::SetLineSeparator(TMatchCORE_LineSeparator separator) {
  core_->SetLineSeparator(separator);
}

bool TAWKStr::UseFuzzyCharDic() const { return core_->UseFuzzyCharDic(); }
bool TAWKStr::UseSynonymDic() const { return core_->UseSynonymDic(); }

void TAWKStr::SetUseFuzzyCharDic(bool on) {
  try {
    core_->SetUseFuzzyCharDic(on);
  } catch (...) {
    ChooseMatch();
    throw;
  }
  ChooseMatch();
}

void TAWKStr::SetUseSynonymDic(bool on) {
  try {
    core_->SetUseSynonymDic(on);
  } catch (...) {
    ChooseMatch();
    throw;
  }
  ChooseMatch();
}

}  // namespace SjisRegExp
