// TMatchCORE runs the current pattern's DFA over a text and yields the leftmost match
// and, at that start, the longest one. Start positions step over whole characters, so
// a match never begins at a trail byte.
//
// Texts are [begin, end) byte ranges that also end at their first zero byte. Code 0
// is never consumed: the walk of every start position ends at the end of the text,
// whatever the pattern's ranges hold.
//
// Anchors: a line head matches at the start of the text and just after every LF; a
// line tail just before the LineSeparator byte (CR or LF) and at the end of the text.
#pragma once

#include <cstdint>

#include "LinearScan.h"
#include "RegularExpression.h"

namespace SjisRegExp {

enum TMatchCORE_LineSeparator : std::uint8_t {
  mcls_CRLF = 0,
  mcls_LF = 1,
};

class TMatchCORE : public TRegularExpression {
 public:
  TMatchCORE() = default;

  TMatchCORE_LineSeparator LineSeparator() const { return lineSeparator_; }
  void SetLineSeparator(TMatchCORE_LineSeparator s) { lineSeparator_ = s; }

  // For patterns with neither anchor mark.
  MatchSpan ScanPlain(const char* begin, const char* end) const;
  // For patterns with a line-head or line-tail mark.
  MatchSpan ScanAnchored(const char* begin, const char* end) const;
  MatchSpan ScanFrom(const char* begin, const char* end) const;
  // The end of the longest match from p in the given DFA state, or null.
  const char* LongestFrom(const char* p, const char* end, std::int32_t state) const;
  // As LongestFrom, at a line start: the longer of the anchored and plain readings.
  const char* LongestAtLineHead(const char* p, const char* end, std::int32_t state) const;
  bool IsLineSeparator(CharCode code) const;

  // The leftmost-longest match in [begin, end) that lies within one line: the same result
  // as searching each LF-terminated line [line_begin, lf) of the range in turn (the last
  // line may end at end instead) with the component's current search, ScanAnchored for a
  // pattern with an anchor mark and ScanPlain otherwise, and returning the first line's
  // match. A line ends early at its first zero byte, but zero bytes do not end the range.
  // An empty range holds no line. Linear in end - begin; a plain pattern looks for the
  // bytes that can begin a match across lines at once.
  MatchSpan FindInLines(const char* begin, const char* end) const;

  // The anchor codes, the line separator and the marks as the scans use them.
  ScanRules Rules() const;

 private:
  const char* LongestFromCounted(const char* p, const char* end, std::int32_t state,
                                 std::size_t& work) const;
  const char* LongestAtLineHeadCounted(const char* p, const char* end, std::int32_t state,
                                       std::size_t& work) const;

  TMatchCORE_LineSeparator lineSeparator_ = mcls_CRLF;
};

}  // namespace SjisRegExp
