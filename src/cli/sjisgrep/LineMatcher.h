// LineMatcher: the matches of the pattern in the lines of a file, exactly as sjisgrep defines
// them. The text of a line is the line without its LF and without the CR of a CR LF; a zero
// byte in it is a character like any other. "^" matches only at its start and "$" only at its
// end.
// Every search goes through the library's compiled pattern.
//
// With -w a match counts only when the characters around it are no word characters
// (WordChars.h); a match that fails this is retried as GNU grep does: the longest shorter
// match at the same start, then the matches from the next character on.
//
// Further matches in a line (-o, colours) are looked for from where the last one ended; a
// line-head anchor no longer matches there.
#pragma once

#include <string>

#include "SjisRegExp/SjisRegExp.h"

namespace sjisgrep {

// A match in a line: [start, end), or start null for none.
struct LineMatch {
  const char* start = nullptr;
  const char* end = nullptr;
};

class LineMatcher {
 public:
  // Throws SjisRegExp::ERegExpParser for a bad pattern.
  LineMatcher(const std::string& sjisPattern, bool fuzzy, bool words);

  // The first line in [begin, end) (whole lines: begin starts one) that holds a match as
  // Find sees it: [line begin, its LF or end), or {} when there is none.
  LineMatch FindLine(const char* begin, const char* end) const;

  // The first match in [from, end) of the line text that begins at lineBegin, from being a
  // character start of it, or {} when there is none.
  LineMatch Find(const char* lineBegin, const char* from, const char* end) const;

  // The text end of a line [begin, lineEnd) (lineEnd at its LF, or the end of the data for
  // a last line without one): before the CR of a CR LF.
  static const char* TextEnd(const char* begin, const char* lineEnd, bool hasLineFeed);

 private:
  LineMatch FindAny(const char* lineBegin, const char* from, const char* end) const;
  bool IsWordBounded(const char* lineBegin, const char* start, const char* end,
                     const char* textEnd) const;

  SjisRegExp::TCompiledRegExp pattern_;
  bool words_;
};

}  // namespace sjisgrep
