// The per-line matches of sjisgrep: the library's searches on a line's text, -w's retries.
#include "LineMatcher.h"

#include <cassert>
#include <cstring>
#include <string_view>

#include "WordChars.h"

namespace sjisgrep {

namespace {

// Line texts come without their LF, so "$" matches at the end of the text only (a CR in the
// middle of a line is an ordinary character).
SjisRegExp::TPatternOptions LineOptions(bool fuzzy) {
  SjisRegExp::TPatternOptions options;
  options.UseFuzzyCharDic = fuzzy;
  options.LineSeparator = SjisRegExp::mcls_LF;
  return options;
}

std::string_view Text(const char* begin, const char* end) {
  return {begin, static_cast<std::size_t>(end - begin)};
}

// The code of the character at p in [p, end), which holds at least one byte.
SjisRegExp::CharCode CodeAt(const char* p, const char* end) {
  const auto b = static_cast<unsigned char>(*p);
  if (SjisRegExp::IsLeadByte(b) && end - p > 1) {
    return static_cast<SjisRegExp::CharCode>(b << 8 | static_cast<unsigned char>(p[1]));
  }
  return b;
}

}  // namespace

LineMatcher::LineMatcher(const std::string& sjisPattern, bool fuzzy, bool words)
    : pattern_(sjisPattern, LineOptions(fuzzy)), words_(words) {}

const char* LineMatcher::TextEnd(const char* begin, const char* lineEnd, bool hasLineFeed) {
  const char* end = lineEnd;
  // Only the CR of a CR LF is left out; a last line without LF keeps its CR.
  if (hasLineFeed && end > begin && end[-1] == '\r') --end;
  return end;
}

LineMatch LineMatcher::FindLine(const char* begin, const char* end) const {
  const auto line = pattern_.FindLine(Text(begin, end));
  if (!line) return {};
  return {begin + line->start, begin + line->end};
}

LineMatch LineMatcher::FindAny(const char* lineBegin, const char* from, const char* end) const {
  const auto m = pattern_.Find(Text(lineBegin, end), static_cast<std::size_t>(from - lineBegin));
  if (!m) return {};
  return {lineBegin + m->start, lineBegin + m->end};
}

bool LineMatcher::IsWordBounded(const char* lineBegin, const char* start, const char* end,
                                const char* textEnd) const {
  if (start > lineBegin) {
    const std::string_view before = Text(lineBegin, start);
    const std::size_t last = before.size() - 1;
    const char* previous =
        last > 0 && SjisRegExp::IsTrailByte(before, last) ? start - 2 : start - 1;
    if (IsWordChar(CodeAt(previous, start))) return false;
  }
  return end >= textEnd || !IsWordChar(CodeAt(end, textEnd));
}

LineMatch LineMatcher::Find(const char* lineBegin, const char* from, const char* end) const {
  assert(lineBegin <= from && from <= end);
  LineMatch m = FindAny(lineBegin, from, end);
  if (!words_) return m;
  while (m.start != nullptr) {
    const char* matchEnd = m.end;
    for (;;) {
      if (IsWordBounded(lineBegin, m.start, matchEnd, end)) return {m.start, matchEnd};
      // The longest shorter match at the same start: one that ends before the last character
      // of this one.
      if (matchEnd == m.start) break;
      const std::string_view text = Text(m.start, matchEnd);
      const std::size_t last = text.size() - 1;
      const char* cut =
          (last > 0 && SjisRegExp::IsTrailByte(text, last)) ? matchEnd - 2 : matchEnd - 1;
      const auto shorter =
          pattern_.LongestAt(Text(lineBegin, end), static_cast<std::size_t>(m.start - lineBegin),
                             static_cast<std::size_t>(cut - lineBegin));
      if (!shorter || lineBegin + *shorter == m.start) break;
      matchEnd = lineBegin + *shorter;
    }
    if (m.start >= end) break;
    m = FindAny(lineBegin, m.start + SjisRegExp::CharLength(Text(m.start, end), 0), end);
  }
  return {};
}

}  // namespace sjisgrep
