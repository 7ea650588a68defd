// LineMatcher: the matches of the pattern in the text of one line, exactly as sjisgrep
// defines them. The text of a line is the line without its LF and without the CR of a CR LF,
// and it ends early at its first zero byte; "$" matches only at its end.
//
// With -w a match counts only when the characters around it are no word characters
// (WordChars.h); a match that fails this is retried as GNU grep does: the longest shorter
// match at the same start, then the matches from the next character on.
//
// Further matches in a line (-o, colours) are looked for from where the last one ended; a
// line-head anchor no longer matches there.
#pragma once

#include <string>

#include "AWKStr.h"

namespace sjisgrep {

class LineMatcher {
 public:
  // Throws SjisRegExp::ERegExpParser for a bad pattern.
  LineMatcher(const std::string& sjisPattern, bool fuzzy, bool words);

  // The first match in [from, end) of the line that begins at lineBegin, from being a
  // character start of it, or {} when there is none.
  SjisRegExp::MatchSpan Find(const char* lineBegin, const char* from, const char* end) const;

  // The text end of a line [begin, lineEnd) (lineEnd at its LF, or the end of the data for
  // a last line without one): before the CR of a CR LF and before the first zero byte.
  static const char* TextEnd(const char* begin, const char* lineEnd, bool hasLineFeed);

  const SjisRegExp::TAWKStr& Component() const { return matcher_; }

 private:
  SjisRegExp::MatchSpan FindAny(const char* lineBegin, const char* from, const char* end) const;
  bool IsWordBounded(const char* lineBegin, const char* start, const char* end,
                     const char* textEnd) const;

  SjisRegExp::TAWKStr matcher_;
  bool words_;
  bool lineHead_ = false;
  bool lineTail_ = false;
};

}  // namespace sjisgrep
