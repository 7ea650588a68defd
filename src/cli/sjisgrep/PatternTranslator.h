// PatternTranslator: writes parsed GNU patterns (PatternTree) in the library's syntax, as
// pieces that a line matcher can use with the library's search alone.
//
// The library and grep differ in three ways that the translation has to bridge:
//   - In grep "^" and "$" are anchors wherever they stand ("a|(^b)" anchors b; "a^b" matches
//     nothing). The library takes them as anchors only at the start and end of an alternative
//     of the whole pattern, and as the characters ^ and $ elsewhere. So every pattern is
//     rewritten in the form
//         ^(HT)$ | ^(H) | (T)$ | N
//     where H, T, HT and N hold no anchor: N is the pattern with every anchor failing, H with
//     each "^" that no character precedes matching (a match at the line start), T likewise
//     for "$" with no character after it, HT both. An anchor that can never hold drops the
//     part of the pattern that needs it; the rest of the pattern is written as typed.
//   - -x is "^(HT)$" alone: a whole line, with every anchor in it where it must be.
//   - The word assertions \< \> \b \B look at the characters around a match, which the
//     library cannot. Where they stand at the start or end of an alternative they become
//     the piece's EdgeTests, which the line matcher checks around each match; between two
//     characters whose letters are all word or all non-word characters they are decided here.
//     Anywhere else they are refused with a message.
//
// Alternatives with the same EdgeTests share one piece; a pattern set with no assertion (the
// usual case) is one piece. A pattern that can match nothing gives no piece.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PatternTree.h"

namespace sjisgrep {

// Which characters may stand around one edge of a match: a set of the four cases (is the
// character before the edge a word character, is the one after it), bit 2 * before + after.
// The start and end of a line count as non-word characters.
struct EdgeTest {
  std::uint8_t allowed = 0xF;
  bool Allows(bool wordBefore, bool wordAfter) const {
    return (allowed >> (2 * int{wordBefore} + int{wordAfter}) & 1) != 0;
  }
  bool AllowsAll() const { return allowed == 0xF; }
  bool operator==(const EdgeTest&) const = default;
};

struct MatchPiece {
  // The library pattern (CP932 bytes), anchors only at the ends of its alternatives.
  std::string pattern;
  EdgeTest start;  // around the match's first character
  EdgeTest end;    // around its end
};

struct TranslateOptions {
  bool lineRegexp = false;  // -x
  bool fuzzy = false;       // --fuzzy: write characters so that its dictionary sees them
};

// The column (0-based) a translation error is about, of which pattern (index in `patterns`).
struct TranslateError {
  std::string message;
  std::size_t pattern = 0;
  std::size_t column = 0;
};

// Translates the patterns (one tree per pattern line; together they are alternatives).
// Returns the pieces, or sets `error` and returns nothing.
std::vector<MatchPiece> TranslatePatterns(const std::vector<PatternTree>& patterns,
                                          const TranslateOptions& options, TranslateError& error);

// The pieces' patterns as one library pattern: a match of any piece, EdgeTests aside.
std::string CombinedPattern(const std::vector<MatchPiece>& pieces);

}  // namespace sjisgrep
