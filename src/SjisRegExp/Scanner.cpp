// TREScanner: pattern text cut into tokens, inside and outside character classes.
#include "Scanner.h"

namespace SjisRegExp {

namespace {
constexpr char kMsgNeedRBracket[] = "右ブラケット\"]\"が必要です";
constexpr char kMsgBadRange[] = "不正なキャラクタ範囲です";
}  // namespace

TREScanner::TREScanner(std::string_view text) { SetText(text); }

void TREScanner::SetText(std::string_view text) {
  if (Text != text) Text.assign(text);  // the same pattern again and again costs a compare
  Index = 1;
  InClass = false;
}

TokenKind TREScanner::GetToken() {
  if (InClass) {
    const TokenKind t = ScanClassToken();
    if (t == tk_RBra) InClass = false;
    return t;
  }
  const TokenKind t = ScanToken();
  if (t == tk_LBra || t == tk_LBraNeg) InClass = true;
  return t;
}

TokenKind TREScanner::ScanToken() {
  const CharCode c = GetChar(Text, Index);
  Code = c;
  switch (c) {
    case 0:
      Token = tk_End;
      break;
    case '$':
      Token = tk_LTail;
      break;
    case '(':
      Token = tk_LPar;
      break;
    case ')':
      Token = tk_RPar;
      break;
    case '*':
      Token = tk_Star;
      break;
    case '+':
      Token = tk_Plus;
      break;
    case '.':
      Token = tk_Dot;
      break;
    case '?':
      Token = tk_QMark;
      break;
    case '|':
      Token = tk_Union;
      break;
    case ']':
      Token = tk_RBra;
      break;
    case '[': {
      const CharCode next = GetChar(Text, Index);
      if (next == 0) throw ERegExpParser(kMsgNeedRBracket, Index);
      if (next == '^') {
        Token = tk_LBraNeg;
      } else {
        UngetChar(Text, Index);
        Token = tk_LBra;
      }
      break;
    }
    case '\\':
      Code = ReadEscape(Text, Index);
      Token = tk_Char;
      break;
    case '^':
      Token = tk_LHead;
      break;
    default:
      Token = tk_Char;
      break;
  }
  return Token;
}

TokenKind TREScanner::ScanClassToken() {
  CharCode c = GetChar(Text, Index);
  Code = c;
  if (c == 0) throw ERegExpParser(kMsgNeedRBracket, Index);
  if (c == ']') {
    Token = tk_RBra;
    return Token;
  }
  if (c == '\\') c = ReadEscape(Text, Index);
  Token = tk_Char;
  const CharCode d = GetChar(Text, Index);
  if (d == '-') {
    CharCode e = GetChar(Text, Index);
    if (e == 0) throw ERegExpParser(kMsgNeedRBracket, Index);
    if (e == ']') {
      // "[a-]": the - before the closing ] is an item of its own.
      UngetChar(Text, Index);
      UngetChar(Text, Index);
      Code = c;
      Token = tk_Char;
      return Token;
    }
    if (e == '\\') e = ReadEscape(Text, Index);
    Token = tk_CharRange;
    if (e < c) throw ERegExpParser(kMsgBadRange, Index);
    Code = c;
    CodeEnd = e;
    return Token;
  }
  if (d == 0) throw ERegExpParser(kMsgNeedRBracket, Index);
  UngetChar(Text, Index);
  Code = c;
  return Token;
}

}  // namespace SjisRegExp
