// The matching core: the searches of one compiled automaton (TRE_DFA) over a text, and
// TMatchCORE, the component that runs them on its current pattern.
//
// Every search yields the leftmost match and, at that start, the longest one. Start positions
// step over whole characters, so a match never begins at a trail byte. Texts are
// [begin, end) byte ranges that also end at their first zero byte; code 0 is never
// consumed: the walk of every start position ends at the end of the text, whatever the
// pattern's ranges hold.
//
// Anchors: a line head matches at the start of the text and just after every LF; a line
// tail just before the separator byte of the rules (CR or LF) and at the end of the text.
// The plain scan, for patterns with neither mark, needs no rules.
//
// Each p handed to a search must be a character start of the text it reads.
#pragma once

#include <cstdint>

#include "LinearScan.h"
#include "RegularExpression.h"

namespace SjisRegExp {

// For patterns with neither anchor mark.
MatchSpan ScanPlain(const TRE_DFA& dfa, const char* begin, const char* end);
// For patterns with a line-head or line-tail mark: begin is a line head.
MatchSpan ScanAnchored(const TRE_DFA& dfa, const ScanRules& rules, const char* begin,
                       const char* end);
// As ScanAnchored, but begin is not taken for a line head (only the bytes after LFs are).
MatchSpan ScanFrom(const TRE_DFA& dfa, const ScanRules& rules, const char* begin, const char* end);
// The search of a text from its start: ScanAnchored for a pattern with a mark, else ScanPlain.
inline MatchSpan SearchText(const TRE_DFA& dfa, const ScanRules& rules, const char* begin,
                            const char* end) {
  return (dfa.LineHeadMark() || dfa.LineTailMark()) ? ScanAnchored(dfa, rules, begin, end)
                                                    : ScanPlain(dfa, begin, end);
}
// The end of the longest match from p in the given DFA state, or null.
const char* LongestFrom(const TRE_DFA& dfa, const ScanRules& rules, const char* p, const char* end,
                        std::int32_t state);
// As LongestFrom, at a line start: the longer of the anchored and plain readings.
const char* LongestAtLineHead(const TRE_DFA& dfa, const ScanRules& rules, const char* p,
                              const char* end, std::int32_t state);
// The end of the longest match from p, a line head when lineHead, that ends at or before
// limit (p <= limit <= end), or null. The text after limit still counts for the line-tail
// rule: a match ends at limit by that rule only where the walk dies there.
const char* LongestUpTo(const TRE_DFA& dfa, const ScanRules& rules, const char* p,
                        const char* limit, const char* end, bool lineHead);

// The leftmost-longest match in [begin, end) that lies within one line: the same result as
// searching the text of each line of the range in turn with SearchText under line rules
// (LineRules) and returning the first line's match. A line ends at LF (the last one may end
// at end instead); its text is the line without the LF and without a CR just before it, and
// ends early at its first zero byte. An empty range holds no line. Linear in end - begin; a
// plain pattern looks for the bytes that can begin a match across lines at once.
MatchSpan FindInLines(const TRE_DFA& dfa, const ScanRules& rules, const char* begin,
                      const char* end);
// The rules of a line's text: its only line tail is its end.
ScanRules LineRules(ScanRules rules);

class TMatchCORE : public TRegularExpression {
 public:
  TMatchCORE() = default;

  TMatchCORE_LineSeparator LineSeparator() const { return lineSeparator_; }
  void SetLineSeparator(TMatchCORE_LineSeparator s) { lineSeparator_ = s; }

  // The scans above on the current pattern, under the component's rules.
  MatchSpan ScanPlain(const char* begin, const char* end) const {
    return SjisRegExp::ScanPlain(CurrentDFA(), begin, end);
  }
  MatchSpan ScanAnchored(const char* begin, const char* end) const {
    return SjisRegExp::ScanAnchored(CurrentDFA(), Rules(), begin, end);
  }
  MatchSpan ScanFrom(const char* begin, const char* end) const {
    return SjisRegExp::ScanFrom(CurrentDFA(), Rules(), begin, end);
  }
  const char* LongestFrom(const char* p, const char* end, std::int32_t state) const {
    return SjisRegExp::LongestFrom(CurrentDFA(), Rules(), p, end, state);
  }
  const char* LongestAtLineHead(const char* p, const char* end, std::int32_t state) const {
    return SjisRegExp::LongestAtLineHead(CurrentDFA(), Rules(), p, end, state);
  }
  MatchSpan FindInLines(const char* begin, const char* end) const {
    return SjisRegExp::FindInLines(CurrentDFA(), Rules(), begin, end);
  }
  bool IsLineSeparator(CharCode code) const;

  // The AWK-style Match (SjisRegExp.h) on the current pattern: ScanAnchored for a pattern
  // with an anchor mark, else ScanPlain.
  int Match(std::string_view text, int& start, int& length) const;

  // The anchor codes, the line separator and the marks as the scans use them.
  ScanRules Rules() const;

 private:
  TMatchCORE_LineSeparator lineSeparator_ = mcls_CRLF;
};

// The AWK-style result of a search of text: 0 for none, else the 1-based start.
int MatchResult(std::string_view text, MatchSpan m, int& start, int& length);
// The text a Match searches: no more than INT32_MAX - 1 bytes, so that every result fits.
std::string_view MatchText(std::string_view text);

}  // namespace SjisRegExp
