// LineMatcher: the matches of the pattern in the lines of a file, exactly as sjisgrep defines
// them. The text of a line is the line without its LF and without the CR of a CR LF; a zero
// byte in it is a character like any other. "^" matches only at its start and "$" only at its
// end.
// Every search goes through the library's compiled pattern.
//
// The patterns come as pieces (PatternTranslator.h), each a library pattern with the tests its
// edges must pass, from \<, \>, \b and \B: a piece matches where the library finds a match
// whose edges pass them. A line's match is the leftmost of the pieces' matches, the longest
// there, as grep finds one of its pattern with the assertions in it.
//
// With -w a match counts only when the characters around it are no word characters
// (WordChars.h); a match that fails this is retried as GNU grep does: the longest shorter
// match of any piece at the same start (an empty one is not taken), then the matches from
// the next character on.
//
// Further matches in a line (-o, colours) are looked for from where the last one ended; a
// line-head anchor no longer matches there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PatternTranslator.h"
#include "SjisRegExp/SjisRegExp.h"

namespace sjisgrep {

// A match in a line: [start, end), or start null for none.
struct LineMatch {
  const char* start = nullptr;
  const char* end = nullptr;
};

class LineMatcher {
 public:
  // Throws SjisRegExp::ERegExpParser for a bad pattern. There is at least one piece.
  LineMatcher(const std::vector<MatchPiece>& pieces, bool fuzzy, bool words);

  // The first line in [begin, end) (whole lines: begin starts one) that holds a match as
  // Find sees it, edge tests aside: [line begin, its LF or end), or {} when there is none.
  LineMatch FindLine(const char* begin, const char* end) const;
  // Whether a line that FindLine finds must still be checked with Find: -w, or some piece
  // has edge tests.
  bool NeedsCheck() const { return needsCheck_; }

  // The first match in [from, end) of the line text that begins at lineBegin, from being a
  // character start of it, or {} when there is none.
  LineMatch Find(const char* lineBegin, const char* from, const char* end) const;

  // The text end of a line [begin, lineEnd) (lineEnd at its LF, or the end of the data for
  // a last line without one): before the CR of a CR LF.
  static const char* TextEnd(const char* begin, const char* lineEnd, bool hasLineFeed);

 private:
  struct Piece {
    SjisRegExp::TCompiledRegExp pattern;
    EdgeTest start, end;
  };

  // The end of the longest match of the piece that starts at `start` and ends at or before
  // `limit`, its edges passing the piece's tests; none when there is no such match.
  std::optional<std::size_t> LongestAt(const Piece& piece, std::string_view text, std::size_t start,
                                       std::size_t limit) const;

  std::vector<Piece> pieces_;
  std::optional<SjisRegExp::TCompiledRegExp> combined_;  // the pieces as one, when several
  bool words_;
  bool needsCheck_ = false;
};

}  // namespace sjisgrep
