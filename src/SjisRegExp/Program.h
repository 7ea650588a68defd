// TRE_Program: one pattern compiled for TCompiledRegExp: the preprocessed text's automaton
// and the rules its searches follow. Built once; its searches read it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "DFA.h"
#include "LinearScan.h"
#include "SjisRegExp.h"

namespace SjisRegExp {

// Parses the preprocessed text, builds its NFA and from that its automaton, within the
// limits; parser and NFA are freed on every path. Throws ERegExpParser for a pattern error
// or a pattern too complex to compile.
std::unique_ptr<TRE_DFA> CompileDFA(const std::string& text, CharCode lineHeadCode,
                                    CharCode lineTailCode, const DFALimits& limits = {});

class TRE_Program {
 public:
  TRE_Program(std::string_view pattern, const TPatternOptions& options);

  const std::string& Pattern() const { return pattern_; }
  const TPatternOptions& Options() const { return options_; }
  const TRE_DFA& DFA() const { return *dfa_; }
  // The rules of Match and Find: the anchor codes, the separator of the options, the marks.
  const ScanRules& Rules() const { return rules_; }

 private:
  std::string pattern_;
  TPatternOptions options_;
  std::unique_ptr<TRE_DFA> dfa_;
  ScanRules rules_;
};

}  // namespace SjisRegExp
