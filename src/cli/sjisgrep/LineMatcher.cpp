// The per-line matches of sjisgrep: the library's searches on a line's text, -w's retries.
#include "LineMatcher.h"

#include <array>
#include <cassert>
#include <cstring>
#include <span>
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

LineMatcher::LineMatcher(const std::vector<MatchPiece>& pieces, bool fuzzy, bool words)
    : words_(words), needsCheck_(words) {
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
  return end;
}

LineMatch LineMatcher::FindLine(const char* begin, const char* end) const {
  const SjisRegExp::TCompiledRegExp& all = combined_ ? *combined_ : pieces_[0].pattern;
  const auto line = all.FindLine(Text(begin, end));
  if (!line) return {};
  return {begin + line->start, begin + line->end};
}

namespace {

// Whether the character before the offset `at` of a line's text is a word character; the
// line's start counts as none.
bool WordBefore(std::string_view text, std::size_t at) {
  if (at == 0) return false;
  const std::size_t previous = at >= 2 && SjisRegExp::IsTrailByte(text, at - 1) ? at - 2 : at - 1;
  return IsWordChar(CodeAt(text.data() + previous, text.data() + at));
}

// Whether the character at the offset is one; the text's end counts as none.
bool WordAt(std::string_view text, std::size_t at) {
  return at < text.size() && IsWordChar(CodeAt(text.data() + at, text.data() + text.size()));
}

// The start of the last character of the non-empty text [start, end) of a line.
std::size_t LastCharStart(std::string_view text, std::size_t start, std::size_t end) {
  const std::string_view match = text.substr(start, end - start);
  return SjisRegExp::IsTrailByte(match, match.size() - 1) ? end - 2 : end - 1;
}

}  // namespace

std::optional<std::size_t> LineMatcher::LongestAt(const Piece& piece, std::string_view text,
                                                  std::size_t start, std::size_t limit) const {
  if (!piece.start.AllowsAll() &&
      !piece.start.Allows(WordBefore(text, start), WordAt(text, start))) {
    return std::nullopt;
  }
  std::optional<std::size_t> end = piece.pattern.LongestAt(text, start, limit);
  if (piece.end.AllowsAll()) return end;
  // The assertions are part of the pattern: a shorter match that passes them is a match.
  while (end && !piece.end.Allows(WordBefore(text, *end), WordAt(text, *end))) {
    if (*end == start) return std::nullopt;
    end = piece.pattern.LongestAt(text, start, LastCharStart(text, start, *end));
  }
  return end;
}

LineMatch LineMatcher::Find(const char* lineBegin, const char* from, const char* end) const {
  assert(lineBegin <= from && from <= end);
  const std::string_view text(lineBegin, static_cast<std::size_t>(end - lineBegin));
  const auto found = [lineBegin](std::size_t start, std::size_t matchEnd) {
    return LineMatch{lineBegin + start, lineBegin + matchEnd};
  };
  if (!needsCheck_ && pieces_.size() == 1) {
    const auto m = pieces_[0].pattern.Find(text, static_cast<std::size_t>(from - lineBegin));
    return m ? found(m->start, m->end) : LineMatch{};
  }
  // Where each piece's next match (tests aside) starts; the leftmost of them is the next
  // place where a match may start.
  std::array<std::optional<std::size_t>, 4> few;  // no allocation for the usual few pieces
  std::vector<std::optional<std::size_t>> many;
  if (pieces_.size() > few.size()) many.resize(pieces_.size());
  const std::span<std::optional<std::size_t>> next =
      many.empty() ? std::span(few.data(), pieces_.size()) : std::span(many);
  const auto findFrom = [&](std::size_t k, std::size_t at) {
    const auto m = pieces_[k].pattern.Find(text, at);
    next[k] = m ? std::optional<std::size_t>(m->start) : std::nullopt;
  };
  for (std::size_t k = 0; k < pieces_.size(); ++k) {
    findFrom(k, static_cast<std::size_t>(from - lineBegin));
  }
  for (;;) {
    std::optional<std::size_t> start;
    for (const auto& at : next) {
      if (at && (!start || *at < *start)) start = at;
    }
    if (!start) return {};
    // The longest match of any piece at this start that ends at or before `limit`.
    const auto longest = [&](std::size_t limit) {
      std::optional<std::size_t> best;
      for (std::size_t k = 0; k < pieces_.size(); ++k) {
        if (next[k] != start) continue;
        const auto e = LongestAt(pieces_[k], text, *start, limit);
        if (e && (!best || *e > *best)) best = e;
      }
      return best;
    };
    std::optional<std::size_t> matchEnd = longest(SIZE_MAX);
    while (matchEnd) {
      if (!words_ || (!WordBefore(text, *start) && !WordAt(text, *matchEnd))) {
        return found(*start, *matchEnd);
      }
      // -w: the longest shorter match at the same start; an empty one is not taken.
      if (*matchEnd == *start) break;
      matchEnd = longest(LastCharStart(text, *start, *matchEnd));
      if (matchEnd && *matchEnd == *start) break;
    }
    if (*start >= text.size()) return {};
    const std::size_t after = *start + SjisRegExp::CharLength(text, *start);
    for (std::size_t k = 0; k < pieces_.size(); ++k) {
      if (next[k] == start) findFrom(k, after);
    }
  }
}

}  // namespace sjisgrep
