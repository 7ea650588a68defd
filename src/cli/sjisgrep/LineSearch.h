// LineSearch: sjisgrep's one search over a block of text, the leftmost-longest match that lies
// within one line. Its result is that of searching each LF-terminated line [line begin, LF) of
// the block in turn with the component's current search (a line ends early at its first zero
// byte; a last line without LF ends at the block's end) and returning the first line's match.
//
// The library's own block search (TMatchCORE::FindInLines: linear, with its literal
// prefilter) gives this result for every pattern. sjisgrep puts a faster way in front of it
// where the pattern allows one (each case keeps the result above):
//   - prefix: the pattern has no anchors and begins with fixed byte classes (BytePrefix: a
//     fixed string, "Re: [0-9]" of "Re: [0-9]+", "[A-Z][0-9]" of "[A-Z][0-9]+"): PrefixFinder
//     finds each place where they occur, testing the two rarest classes sixteen bytes at a
//     time, which the library's single-literal prefilter cannot do for classes; one at a
//     character start is tried with LongestFrom, and the first that matches is the leftmost.
//   - block: a pattern without anchors that can match neither LF nor a byte that could be a
//     lone lead byte at a line's end is scanned over the whole block with ScanPlain, as no
//     match can cross a line end and the scan steps over line ends as the per-line search does.
//   - prefix lines: the same prefix, for a pattern with anchors or one that can match an LF:
//     only the lines where PrefixFinder finds it are searched, each with the component's
//     MatchMethod.
//   - lines: anything else goes to the library's FindInLines.
#pragma once

#include <optional>
#include <vector>

#include "AWKStr.h"
#include "PrefixFinder.h"

namespace sjisgrep {

class LineSearch {
 public:
  // The matcher must hold its final pattern and settings for as long as this is used. The
  // prefix holds byte classes that every match begins with: BytePrefix of the pattern, or of
  // the pattern without a leading "^" or a "^(...)$" around it, which ends no match earlier.
  // It is not used with the fuzzy dictionary on, which lets other characters stand for the
  // pattern's.
  LineSearch(const SjisRegExp::TAWKStr& matcher, std::vector<ByteClass> prefix);

  SjisRegExp::MatchSpan FindInLines(const char* begin, const char* end) const;

 private:
  enum class Mode { kPrefix, kPrefixLines, kBlock, kLines };
  SjisRegExp::MatchSpan FindByPrefix(const char* begin, const char* end) const;
  SjisRegExp::MatchSpan FindLinesByPrefix(const char* begin, const char* end) const;
  SjisRegExp::MatchSpan FindInBlock(const char* begin, const char* end) const;
  // The current search on one line [begin, end) (which holds no LF).
  SjisRegExp::MatchSpan SearchLine(const char* begin, const char* end) const;

  const SjisRegExp::TAWKStr& matcher_;
  std::optional<PrefixFinder> prefix_;
  Mode mode_ = Mode::kLines;
};

}  // namespace sjisgrep
