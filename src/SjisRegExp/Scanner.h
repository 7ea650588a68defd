// TREScanner cuts pattern text into tokens, one character (or escape) of lookahead
// at a time. Outside a class it knows the operators; inside a class (after [ or [^
// up to the closing ]) only ], \ and a - between two items are special, and the end
// of the text there is an error rather than tk_End.
//
// Readers (the preprocessor and the parser) look at Token, Code and CodeEnd after
// each GetToken, and at Index, the 1-based position of the next byte to read.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Chars.h"

namespace SjisRegExp {

// The values are stored by the preprocessor; keep them.
enum TokenKind : std::uint8_t {
  tk_Char = 0,
  tk_CharRange = 1,
  tk_Union = 2,
  tk_LPar = 3,
  tk_RPar = 4,
  tk_Star = 5,
  tk_Plus = 6,
  tk_QMark = 7,
  tk_LBra = 8,
  tk_LBraNeg = 9,
  tk_RBra = 10,
  tk_Dot = 11,
  tk_LHead = 12,
  tk_LTail = 13,
  tk_End = 14,
};

class TREScanner {
 public:
  explicit TREScanner(std::string_view text);
  virtual ~TREScanner() = default;
  TREScanner(const TREScanner&) = default;
  TREScanner& operator=(const TREScanner&) = default;

  // Restarts on a new text, outside any class.
  void SetText(std::string_view text);

  // Reads the next token into Token, Code and CodeEnd and returns its kind. After
  // tk_End every further call returns tk_End again.
  TokenKind GetToken();

  virtual TokenKind ScanToken();
  virtual TokenKind ScanClassToken();

  std::string Text;
  std::int32_t Index = 1;
  TokenKind Token = tk_End;
  // tk_Char: the character, escape resolved; tk_CharRange: the range start; other
  // kinds: the character that formed the token; 0 for tk_End.
  CharCode Code = 0;
  // The range end of tk_CharRange; not cleared for other kinds.
  CharCode CodeEnd = 0;
  bool InClass = false;
};

}  // namespace SjisRegExp
