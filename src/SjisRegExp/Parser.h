// TREParser: recursive descent with one token of lookahead over TREScanner tokens,
// building a TREParseTree whose leaves are made pairwise disjoint at the end.
//
//   regexp  := term { "|" term }          left-nested nk_Union
//   term    := factor { factor } | empty  left-nested nk_Concat, or one nk_Empty
//   factor  := primary [ "*" | "+" | "?" ]
//   primary := char | "(" regexp ")" | class | negated class | "." | "^" | "$"
//
// X+ is nk_Concat(X, nk_Closure(X)) with the one node X in both places; X? is
// nk_Union(X, nk_Empty). A negated class becomes the union of what remains of the
// any-character set, or a null node (never matches) when nothing remains.
#pragma once

#include <cstdint>
#include <string_view>

#include "ParseTree.h"
#include "Scanner.h"

namespace SjisRegExp {

// Groups may nest this deep; deeper nesting is rejected as too complex rather than
// exhausting the stack.
inline constexpr int kMaxGroupDepth = 1000;

// The message of every pattern that is refused for its size rather than its syntax.
inline constexpr char kMsgTooComplex[] = "正規表現が複雑すぎます。";

class TREParser {
 public:
  explicit TREParser(std::string_view pattern);

  // Builds ParseTree.Root; throws ERegExpParser on a syntax error. Call once.
  void Parse();

  TREParseTree ParseTree;
  TREScanner Scanner;

 private:
  ParseNode* Regexp();
  ParseNode* Term();
  ParseNode* Factor();
  ParseNode* Primary();
  ParseNode* CharClass(TREParseTree& tree);
  ParseNode* ClassItemLeaf(TREParseTree& tree);
  ParseNode* NegCharClass();
  void ExpectRBra();

  int depth_ = 0;
};

}  // namespace SjisRegExp
