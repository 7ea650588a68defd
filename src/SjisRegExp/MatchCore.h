// The matching core: the searches of one compiled pattern (TRE_Program) over a text, and
// TMatchCORE, the component that runs them on its current pattern.
//
// Every search yields the leftmost match and, at that start, the longest one. Start positions
// step over whole characters, so a match never begins at a trail byte. Texts are [begin, end)
// byte ranges read as AtTextEnd<kZeroEnds> and ReadChar<kZeroEnds> say (Chars.h): Match's
// texts also end at their first zero byte, the other searches' hold zero bytes as characters
// of their own. The end of the text is never consumed: the walk of every start position ends
// there, whatever the pattern's ranges hold.
//
// Anchors: a line head matches at the start of the text and just after every LF; a line
// tail just before the separator byte of the rules (CR or LF) where a walk dies on it, and at
// the end of the text. The plain scan, for patterns with neither mark, needs no rules.
//
// A scan takes a cache from the program (TRE_Search) only where it needs one: for a lazy
// pattern's automaton, or for the one-pass scan's memory once a restart scan hands over to it.
// Each p handed to a search must be a character start of the text it reads.
#pragma once

#include <cstdint>
#include <limits>
#include <string_view>

#include "LinearScan.h"
#include "Program.h"
#include "RegularExpression.h"

namespace SjisRegExp {

// For patterns with neither anchor mark.
template <bool kZeroEnds>
MatchSpan ScanPlain(const TRE_Program& program, const char* begin, const char* end);
// For patterns with a line-head or line-tail mark: begin is a line head.
template <bool kZeroEnds>
MatchSpan ScanAnchored(const TRE_Program& program, const ScanRules& rules, const char* begin,
                       const char* end);
// As ScanAnchored, but begin is not taken for a line head (only the bytes after LFs are).
template <bool kZeroEnds>
MatchSpan ScanFrom(const TRE_Program& program, const ScanRules& rules, const char* begin,
                   const char* end);
// The search of a text from its start: ScanAnchored for a pattern with a mark, else ScanPlain.
template <bool kZeroEnds>
MatchSpan SearchText(const TRE_Program& program, const ScanRules& rules, const char* begin,
                     const char* end) {
  return (program.LineHeadMark() || program.LineTailMark())
             ? ScanAnchored<kZeroEnds>(program, rules, begin, end)
             : ScanPlain<kZeroEnds>(program, begin, end);
}
// The end of the longest match from p in the given DFA state, or null.
template <bool kZeroEnds>
const char* LongestFrom(const TRE_Program& program, const ScanRules& rules, const char* p,
                        const char* end, std::int32_t state);
// As LongestFrom, at a line start: the longer of the anchored and plain readings.
template <bool kZeroEnds>
const char* LongestAtLineHead(const TRE_Program& program, const ScanRules& rules, const char* p,
                              const char* end, std::int32_t state);
// The end of the longest match from p, a line head when lineHead, that ends at or before
// limit (p <= limit <= end), or null; zero bytes are characters. The text after limit still
// counts for the line-tail rule: a match ends at limit by that rule only where the walk dies
// there.
const char* LongestUpTo(const TRE_Program& program, const ScanRules& rules, const char* p,
                        const char* limit, const char* end, bool lineHead);

// The leftmost-longest match in [begin, end) that lies within one line: the same result as
// searching the text of each line of the range in turn with SearchText<false> under line rules
// (LineRules) and returning the first line's match. A line ends at LF (the last one may end
// at end instead); its text is the line without the LF and without a CR just before it; zero
// bytes are characters. An empty range holds no line. Linear in end - begin; a plain pattern
// looks for the bytes that can begin a match across lines at once.
MatchSpan FindInLines(const TRE_Program& program, const ScanRules& rules, const char* begin,
                      const char* end);
// The start of the first line in [begin, end) that holds a match as FindInLines finds it, or
// null; the line's match is left in `match` when that is not null.
const char* FirstMatchingLine(const TRE_Program& program, const ScanRules& rules, const char* begin,
                              const char* end, MatchSpan* match);
// The rules of a line's text: its only line tail is its end.
ScanRules LineRules(ScanRules rules);

class TMatchCORE : public TRegularExpression {
 public:
  TMatchCORE() = default;

  TMatchCORE_LineSeparator LineSeparator() const { return lineSeparator_; }
  void SetLineSeparator(TMatchCORE_LineSeparator s) { lineSeparator_ = s; }

  // The scans above on the current pattern, under the component's rules; texts end at their
  // first zero byte but FindInLines'.
  MatchSpan ScanPlain(const char* begin, const char* end) const {
    return SjisRegExp::ScanPlain<true>(CurrentProgram(), begin, end);
  }
  MatchSpan ScanAnchored(const char* begin, const char* end) const {
    return SjisRegExp::ScanAnchored<true>(CurrentProgram(), Rules(), begin, end);
  }
  MatchSpan ScanFrom(const char* begin, const char* end) const {
    return SjisRegExp::ScanFrom<true>(CurrentProgram(), Rules(), begin, end);
  }
  const char* LongestFrom(const char* p, const char* end, std::int32_t state) const {
    return SjisRegExp::LongestFrom<true>(CurrentProgram(), Rules(), p, end, state);
  }
  const char* LongestAtLineHead(const char* p, const char* end, std::int32_t state) const {
    return SjisRegExp::LongestAtLineHead<true>(CurrentProgram(), Rules(), p, end, state);
  }
  MatchSpan FindInLines(const char* begin, const char* end) const {
    return SjisRegExp::FindInLines(CurrentProgram(), Rules(), begin, end);
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

// A Match (SjisRegExp.h) as the public classes call it: the search and what it reads.
using MatchFunction = int (*)(const void* context, std::string_view text, int& start, int& length);
// The Match of a program whose plain scan goes by stop bytes over dense rows (PlainScanByStops);
// the context is the program. Out of line, with the one scan inlined: the usual Match.
int MatchByStopBytes(const void* program, std::string_view text, int& start, int& length);
// The same for a program whose plain scan goes by the literal prefix (PlainScanByLiteral).
int MatchByLiteral(const void* program, std::string_view text, int& start, int& length);
// The Match of a program without anchor marks (Plain): the plain scan; the context is the
// program.
int MatchPlain(const void* program, std::string_view text, int& start, int& length);
// The Match of a component (TMatchCORE::Match); the context is the component.
int MatchOfComponent(const void* core, std::string_view text, int& start, int& length);

// The text a Match searches: no more than INT32_MAX - 1 bytes, so that every result fits.
inline std::string_view MatchText(std::string_view text) {
  constexpr std::size_t kMaxText = static_cast<std::size_t>(std::numeric_limits<int>::max()) - 1;
  return text.size() > kMaxText ? text.substr(0, kMaxText) : text;
}
// The AWK-style result of a search of text: 0 for none, else the 1-based start.
inline int MatchResult(std::string_view text, MatchSpan m, int& start, int& length) {
  if (m.start == nullptr) {
    start = 0;
    length = 0;
    return 0;
  }
  start = static_cast<int>(m.start - text.data()) + 1;
  length = static_cast<int>(m.end - m.start);
  return start;
}

inline int TMatchCORE::Match(std::string_view text, int& start, int& length) const {
  text = MatchText(text);
  // The scans stop at the first zero byte themselves, so the text is not measured first: a
  // long text with an early match costs only what is read.
  const char* begin = text.data();
  const char* end = begin + text.size();
  const TRE_Program& program = CurrentProgram();
  const MatchSpan m = (program.LineHeadMark() || program.LineTailMark())
                          ? SjisRegExp::ScanAnchored<true>(program, Rules(), begin, end)
                          : SjisRegExp::ScanPlain<true>(program, begin, end);
  return MatchResult(text, m, start, length);
}

}  // namespace SjisRegExp
