// PatternParser: reads one pattern line as GNU grep 3.8 reads its extended syntax (grep -E),
// into a PatternTree. What is read, and how it differs from grep, is listed in the PATTERNS
// section of sjisgrep(1); in short:
//   - alternation |, groups ( ), repetition * + ? {n} {n,} {,m} {n,m} (counts up to 32767),
//     the anchors ^ $ (also \` and \'), ".", bracket expressions with ranges, [:class:],
//     [.c.] and [=c=], the escapes \w \W \s \S and the word assertions \< \> \b \B;
//   - as in grep, a "{" that does not begin a valid count, a ")" without "(", and a "\"
//     before any other character stand for themselves; "*", "+", "?" and a count at the start
//     of an expression repeat the empty string, with grep's warning;
//   - back-references (\1 to \9) are refused: the library has no way to match them.
//
// Typed text is UTF-8 or Shift-JIS (the terminal's encoding). A character becomes the CP932
// codes it matches: under UTF-8 every code that stands for it (text/Cp932.h), under Shift-JIS
// its own code and every other code of the same character; with -i also those of its other
// cases. A range runs over Unicode code points under UTF-8 (as grep's under a UTF-8 locale)
// and over CP932 codes under Shift-JIS.
#pragma once

#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Encoding.h"
#include "PatternTree.h"

namespace sjisgrep {

// A pattern that cannot be read: the message (grep's words where grep has the same error)
// and the typed character (0-based) it is about.
class PatternError : public std::runtime_error {
 public:
  PatternError(const std::string& message, std::size_t column)
      : std::runtime_error(message), column_(column) {}
  std::size_t Column() const { return column_; }

 private:
  std::size_t column_;
};

// One typed character: its value (a Unicode code point under UTF-8, a CP932 code under
// Shift-JIS; ASCII is the same in both) and where its bytes are in the typed text.
struct TypedChar {
  char32_t value;
  std::size_t offset;
  std::size_t length;
};

// The characters of typed text. Throws PatternError for bytes that are no character (invalid
// UTF-8, a lead byte at the end of Shift-JIS), with the column of the first such byte.
std::vector<TypedChar> SplitTypedText(std::string_view text, TextEncoding encoding);

struct ParseOptions {
  TextEncoding encoding = TextEncoding::kSjis;
  bool ignoreCase = false;  // -i
  bool fixed = false;       // -F: every character stands for itself
};

// Parses one pattern line (no LF in it). Warnings (grep's "* at start of expression") are
// appended to `warnings`. Throws PatternError.
PatternTree ParsePattern(std::string_view text, const ParseOptions& options,
                         std::vector<std::string>& warnings);

// The codes a typed character matches (see above); empty when it has no CP932 form.
CodeSet CodesOfChar(char32_t value, const ParseOptions& options);

}  // namespace sjisgrep
