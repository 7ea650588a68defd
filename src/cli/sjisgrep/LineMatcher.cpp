// The per-line matches of sjisgrep: anchors at the line's ends, -w's retries.
#include "LineMatcher.h"

#include <cassert>
#include <cstring>
#include <string_view>

#include "WordChars.h"

namespace sjisgrep {

using SjisRegExp::MatchSpan;

LineMatcher::LineMatcher(const std::string& sjisPattern, bool fuzzy, bool words) : words_(words) {
  // Line texts come without their LF, so "$" matches at the end of the text only (a CR in the
  // middle of a line is an ordinary character).
  matcher_.SetLineSeparator(SjisRegExp::mcls_LF);
  matcher_.SetUseFuzzyCharDic(fuzzy);
  matcher_.SetRegExp(sjisPattern);
  lineHead_ = matcher_.CurrentDFA().LineHeadMark();
  lineTail_ = matcher_.CurrentDFA().LineTailMark();
}

const char* LineMatcher::TextEnd(const char* begin, const char* lineEnd, bool hasLineFeed) {
  const char* end = lineEnd;
  // Only the CR of a CR LF is left out; a last line without LF keeps its CR.
  if (hasLineFeed && end > begin && end[-1] == '\r') --end;
  if (const void* zero = std::memchr(begin, 0, static_cast<std::size_t>(end - begin))) {
    end = static_cast<const char*>(zero);
  }
  return end;
}

MatchSpan LineMatcher::FindAny(const char* lineBegin, const char* from, const char* end) const {
  if (from != lineBegin && lineHead_) return matcher_.ScanFrom(from, end);
  return (matcher_.*matcher_.MatchMethod())(from, end);
}

bool LineMatcher::IsWordBounded(const char* lineBegin, const char* start, const char* end,
                                const char* textEnd) const {
  if (start > lineBegin) {
    const std::string_view line(lineBegin, static_cast<std::size_t>(start - lineBegin));
    const std::size_t last = line.size() - 1;
    const bool pair = last > 0 && SjisRegExp::IsTrailByte(line, last);
    const char* previous = pair ? start - 2 : start - 1;
    const char* cursor = previous;
    if (IsWordChar(SjisRegExp::NextChar(cursor, start))) return false;
  }
  const char* cursor = end;
  const SjisRegExp::CharCode next = SjisRegExp::NextChar(cursor, textEnd);
  return next == 0 || !IsWordChar(next);
}

MatchSpan LineMatcher::Find(const char* lineBegin, const char* from, const char* end) const {
  assert(lineBegin <= from && from <= end);
  MatchSpan m = FindAny(lineBegin, from, end);
  if (!words_) return m;
  while (m.start != nullptr) {
    const char* matchEnd = m.end;
    for (;;) {
      if (IsWordBounded(lineBegin, m.start, matchEnd, end)) return {m.start, matchEnd};
      // The longest shorter match at the same start: the text cut before the last character
      // of this one. A pattern that ends at the line's end ("$") has no shorter reading there.
      if (matchEnd == m.start || lineTail_) break;
      const std::string_view text(m.start, static_cast<std::size_t>(matchEnd - m.start));
      const std::size_t last = text.size() - 1;
      const char* cut =
          (last > 0 && SjisRegExp::IsTrailByte(text, last)) ? matchEnd - 2 : matchEnd - 1;
      const char* shorter = (m.start == lineBegin) ? matcher_.LongestAtLineHead(m.start, cut, 0)
                                                   : matcher_.LongestFrom(m.start, cut, 0);
      if (shorter == nullptr || shorter == m.start) break;
      matchEnd = shorter;
    }
    if (m.start >= end) break;
    m = FindAny(lineBegin, m.start + SjisRegExp::CharStep(m.start, end), end);
  }
  return {};
}

}  // namespace sjisgrep
