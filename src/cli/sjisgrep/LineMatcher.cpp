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

LineMatcher::LineMatcher(const std::vector<MatchPiece>& pieces, bool fuzzy) {
  assert(!pieces.empty());
  for (const MatchPiece& piece : pieces) {
    pieces_.push_back(
        {SjisRegExp::TCompiledRegExp(piece.pattern, LineOptions(fuzzy)), piece.start, piece.end});
    needsCheck_ = needsCheck_ || !piece.start.AllowsAll() || !piece.end.AllowsAll();
  }
  if (pieces.size() > 1) combined_.emplace(CombinedPattern(pieces), LineOptions(fuzzy));
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

LineMatch LineMatcher::FindLine(const char* begin, const char* end) const {
  const SjisRegExp::TCompiledRegExp& all = combined_ ? *combined_ : pieces_[0].pattern;
  const auto line = all.FindLine(Text(begin, end));
  if (!line) return {};
  return {begin + line->start, begin + line->end};
}

namespace {

// Whether the character before p in the line text [lineBegin, ...) is a word character; the
// line's start counts as none.
bool WordBefore(const char* lineBegin, const char* p) {
  if (p == lineBegin) return false;
  const std::string_view before = Text(lineBegin, p);
  const std::size_t last = before.size() - 1;
  const char* previous = last > 0 && SjisRegExp::IsTrailByte(before, last) ? p - 2 : p - 1;
  return IsWordChar(CodeAt(previous, p));
}

// Whether the character at p of a text that ends at textEnd is one; the end counts as none.
bool WordAt(const char* p, const char* textEnd) {
  return p < textEnd && IsWordChar(CodeAt(p, textEnd));
}

}  // namespace

LineMatch LineMatcher::FindInPiece(const Piece& piece, const char* lineBegin, const char* from,
                                   const char* end) const {
  const std::string_view text = Text(lineBegin, end);
  auto m = piece.pattern.Find(text, static_cast<std::size_t>(from - lineBegin));
  if (piece.start.AllowsAll() && piece.end.AllowsAll()) {
    if (!m) return {};
    return {lineBegin + m->start, lineBegin + m->end};
  }
  while (m) {
    const char* start = lineBegin + m->start;
    if (piece.start.Allows(WordBefore(lineBegin, start), WordAt(start, end))) {
      const char* matchEnd = lineBegin + m->end;
      for (;;) {
        if (piece.end.Allows(WordBefore(lineBegin, matchEnd), WordAt(matchEnd, end))) {
          return {start, matchEnd};
        }
        // The longest shorter match at the same start: one that ends before the last
        // character of this one. An empty one is not taken, as in grep.
        if (matchEnd == start) break;
        const std::string_view match = Text(start, matchEnd);
        const std::size_t last = match.size() - 1;
        const char* cut =
            (last > 0 && SjisRegExp::IsTrailByte(match, last)) ? matchEnd - 2 : matchEnd - 1;
        const auto shorter =
            piece.pattern.LongestAt(text, m->start, static_cast<std::size_t>(cut - lineBegin));
        if (!shorter || lineBegin + *shorter == start) break;
        matchEnd = lineBegin + *shorter;
      }
    }
    if (start >= end) break;
    m = piece.pattern.Find(text, m->start + SjisRegExp::CharLength(text, m->start));
  }
  return {};
}

LineMatch LineMatcher::Find(const char* lineBegin, const char* from, const char* end) const {
  assert(lineBegin <= from && from <= end);
  LineMatch best;
  for (const Piece& piece : pieces_) {
    const LineMatch m = FindInPiece(piece, lineBegin, from, end);
    if (m.start == nullptr) continue;
    if (best.start == nullptr || m.start < best.start ||
        (m.start == best.start && m.end > best.end)) {
      best = m;
    }
  }
  return best;
}

}  // namespace sjisgrep
