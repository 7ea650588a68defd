#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SjisRegExp/Scanner.h"

namespace SjisRegExp {
namespace {

struct Tok {
  TokenKind kind;
  CharCode code;
  CharCode codeEnd;  // compared only for tk_CharRange
  bool operator==(const Tok& o) const {
    return kind == o.kind && code == o.code && (kind != tk_CharRange || codeEnd == o.codeEnd);
  }
};

std::ostream& operator<<(std::ostream& os, const Tok& t) {
  return os << "{" << int(t.kind) << ", 0x" << std::hex << t.code << ", 0x" << t.codeEnd << std::dec
            << "}";
}

std::vector<Tok> Tokens(const std::string& pattern) {
  TREScanner s(pattern);
  std::vector<Tok> out;
  for (int guard = 0; guard < 1000; ++guard) {
    const TokenKind k = s.GetToken();
    EXPECT_EQ(k, s.Token);
    out.push_back({k, s.Code, s.CodeEnd});
    if (k == tk_End) break;
  }
  return out;
}

Tok C(CharCode c) { return {tk_Char, c, 0}; }
Tok R(CharCode lo, CharCode hi) { return {tk_CharRange, lo, hi}; }
Tok K(TokenKind k, CharCode c) { return {k, c, 0}; }
const Tok kEnd{tk_End, 0, 0};
const Tok kLBra{tk_LBra, '[', 0};
const Tok kLBraNeg{tk_LBraNeg, '[', 0};
const Tok kRBra{tk_RBra, ']', 0};

struct TokenRow {
  std::string pattern;
  std::vector<Tok> tokens;
};

TEST(ScannerTest, TokenKindsKeepTheirValues) {
  EXPECT_EQ(tk_Char, 0);
  EXPECT_EQ(tk_CharRange, 1);
  EXPECT_EQ(tk_Union, 2);
  EXPECT_EQ(tk_LPar, 3);
  EXPECT_EQ(tk_RPar, 4);
  EXPECT_EQ(tk_Star, 5);
  EXPECT_EQ(tk_Plus, 6);
  EXPECT_EQ(tk_QMark, 7);
  EXPECT_EQ(tk_LBra, 8);
  EXPECT_EQ(tk_LBraNeg, 9);
  EXPECT_EQ(tk_RBra, 10);
  EXPECT_EQ(tk_Dot, 11);
  EXPECT_EQ(tk_LHead, 12);
  EXPECT_EQ(tk_LTail, 13);
  EXPECT_EQ(tk_End, 14);
  EXPECT_EQ(sizeof(TokenKind), 1u);
}

TEST(ScannerTest, TokenSequences) {
  const TokenRow rows[] = {
      {"", {kEnd}},
      {"a^b$", {C('a'), K(tk_LHead, '^'), C('b'), K(tk_LTail, '$'), kEnd}},
      {"(a|b)*+?.",
       {K(tk_LPar, '('), C('a'), K(tk_Union, '|'), C('b'), K(tk_RPar, ')'), K(tk_Star, '*'),
        K(tk_Plus, '+'), K(tk_QMark, '?'), K(tk_Dot, '.'), kEnd}},
      {"]", {K(tk_RBra, ']'), kEnd}},
      {"{}-,", {C('{'), C('}'), C('-'), C(','), kEnd}},
      {"[]", {kLBra, kRBra, kEnd}},
      {"[^a]", {kLBraNeg, C('a'), kRBra, kEnd}},
      {"[a-]", {kLBra, C('a'), C('-'), kRBra, kEnd}},
      {"[-a]", {kLBra, C('-'), C('a'), kRBra, kEnd}},
      {"[a\\-z]", {kLBra, C('a'), C('-'), C('z'), kRBra, kEnd}},
      {"[\\]]", {kLBra, C(']'), kRBra, kEnd}},
      {"[a-z0]", {kLBra, R('a', 'z'), C('0'), kRBra, kEnd}},
      {"[a-a]", {kLBra, R('a', 'a'), kRBra, kEnd}},
      {"[\\x41-\\x5A]", {kLBra, R('A', 'Z'), kRBra, kEnd}},
      {"[A-\\]]", {kLBra, R('A', ']'), kRBra, kEnd}},
      {"[[(|)^.*+?$]",
       {kLBra, C('['), C('('), C('|'), C(')'), C('^'), C('.'), C('*'), C('+'), C('?'), C('$'),
        kRBra, kEnd}},
      {"[^^]", {kLBraNeg, C('^'), kRBra, kEnd}},
      {"[\x82\x9F-\x82\xF1]", {kLBra, R(0x829F, 0x82F1), kRBra, kEnd}},  // [ぁ-ん]
      {"[a-\x82\xA0]", {kLBra, R('a', 0x82A0), kRBra, kEnd}},
      {"\\x41", {C(0x41), kEnd}},
      {"\\177777", {C(0xFFFF), kEnd}},
      {"\\8", {C('8'), kEnd}},
      {"\\b\\d", {C(0x08), C('d'), kEnd}},
      {"\\[\\]\\^\\$", {C('['), C(']'), C('^'), C('$'), kEnd}},
      {"\x82\xA0*", {C(0x82A0), K(tk_Star, '*'), kEnd}},  // あ*
      {"\x83\x5C", {C(0x835C), kEnd}},                    // ソ: its trail byte is a backslash
      {"[\x83\x81\x83\x43]", {kLBra, C(0x8381), C(0x8343), kRBra, kEnd}},  // [メイ]
      {"[Rr][Ee][ :>\\[#]+[0-9]+",
       {kLBra, C('R'),          C('r'), kRBra,       kLBra,  C('E'),          C('e'),
        kRBra, kLBra,           C(' '), C(':'),      C('>'), C('['),          C('#'),
        kRBra, K(tk_Plus, '+'), kLBra,  R('0', '9'), kRBra,  K(tk_Plus, '+'), kEnd}},
  };
  for (const TokenRow& r : rows) {
    EXPECT_EQ(Tokens(r.pattern), r.tokens) << r.pattern;
  }
}

struct ErrorRow {
  std::string pattern;
  std::string message;
  int pos;
};

TEST(ScannerTest, ErrorsCarryMessageAndPosition) {
  const std::string bracket = "右ブラケット\"]\"が必要です";
  const ErrorRow rows[] = {
      {"\\", "\"\\\"の次には文字が必要です。", 2},
      {"ab\\", "\"\\\"の次には文字が必要です。", 4},
      {"[a\\", "\"\\\"の次には文字が必要です。", 4},
      {"[", bracket, 2},
      {"[a", bracket, 3},
      {"[a-", bracket, 4},
      {"[^", bracket, 3},
      {"[ab", bracket, 4},
      {"[z-a]", "不正なキャラクタ範囲です", 5},
      {"[\x82\xA0-a]", "不正なキャラクタ範囲です", 6},
      {"\\x", "不正な１６進数コード表記です。", 3},
      {"\\xg", "不正な１６進数コード表記です。", 4},
      {"\\200000", "不正な８進数コード表記です。", 8},
      {"ab\x82", "不正な２バイト文字コードです。", 3},
      {"[\x82", "不正な２バイト文字コードです。", 2},
      {"[a-\x82", "不正な２バイト文字コードです。", 4},
  };
  for (const ErrorRow& r : rows) {
    TREScanner s(r.pattern);
    try {
      for (int guard = 0; guard < 100 && s.GetToken() != tk_End; ++guard) {
      }
      ADD_FAILURE() << "no error for " << r.pattern;
    } catch (const ERegExpParser& e) {
      EXPECT_EQ(e.what(), r.message) << r.pattern;
      EXPECT_EQ(e.ErrorPos(), r.pos) << r.pattern;
    }
  }
}

TEST(ScannerTest, IndexAfterEachToken) {
  TREScanner s("a[b-c]\\x41");
  std::vector<std::int32_t> after;
  while (s.GetToken() != tk_End) after.push_back(s.Index);
  EXPECT_EQ(after, (std::vector<std::int32_t>{2, 3, 6, 7, 11}));
}

TEST(ScannerTest, EndRepeatsAndSetTextRestarts) {
  TREScanner s("[a");
  EXPECT_EQ(s.GetToken(), tk_LBra);
  EXPECT_TRUE(s.InClass);
  s.SetText("x");
  EXPECT_FALSE(s.InClass);
  EXPECT_EQ(s.Index, 1);
  EXPECT_EQ(s.GetToken(), tk_Char);
  EXPECT_EQ(s.GetToken(), tk_End);
  EXPECT_EQ(s.GetToken(), tk_End);
  EXPECT_EQ(s.Index, 2);
  EXPECT_EQ(s.Code, 0);
}

TEST(ScannerTest, ClassModeEndsAtTheClosingBracket) {
  TREScanner s("[a]*");
  EXPECT_EQ(s.GetToken(), tk_LBra);
  EXPECT_TRUE(s.InClass);
  EXPECT_EQ(s.GetToken(), tk_Char);
  EXPECT_EQ(s.GetToken(), tk_RBra);
  EXPECT_FALSE(s.InClass);
  EXPECT_EQ(s.GetToken(), tk_Star) << "* after ] is an operator again";
}

}  // namespace
}  // namespace SjisRegExp
