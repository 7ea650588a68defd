// Patterns: the patterns of one run as the user gave them (the PATTERN operand, each -e, each
// -f file), cut into lines, read in GNU grep's syntax (PatternParser.h) and written in the
// library's (PatternTranslator.h).
//
// Every line of every source is one pattern, as in grep. Lines of a -f file may end in CR LF
// (Shift-JIS pattern files come from Windows): the CR is not part of the pattern; a UTF-8 file
// may begin with a byte-order mark, which is dropped too.
//
// A pattern that cannot be read is told in English with where it is, the character column and
// a caret under the character:
//     sjisgrep: -e pattern 2, column 3: Unmatched ( or \(
//       ab(c
//         ^
#pragma once

#include <cstdio>
#include <optional>
#include <vector>

#include "Encoding.h"
#include "Options.h"
#include "PatternTranslator.h"

namespace sjisgrep {

// The pieces of the run's patterns (empty when nothing can match, an empty -f file for one),
// or nothing after the errors have been printed on err. grep's warnings go to err as well.
std::optional<std::vector<MatchPiece>> ReadPatterns(const Options& options, TextEncoding encoding,
                                                    std::FILE* err);

}  // namespace sjisgrep
