// TREParser's recursive descent over the scanner's tokens into a parse tree.
#include "Parser.h"

namespace SjisRegExp {

namespace {

constexpr char kMsgExtraText[] = "正規表現に余分な文字があります";
constexpr char kMsgNeedRPar[] = "右(閉じ)括弧が必要です";
constexpr char kMsgNeedPrimary[] = "普通の文字、または左括弧\"(\"が必要です";
constexpr char kMsgEmptyClass[] = "不正なキャラクタクラス指定です。";
constexpr char kMsgNeedRBracket[] = "右ブラケット\"]\"が必要です";

bool EndsTerm(TokenKind t) { return t == tk_Union || t == tk_RPar || t == tk_End; }

// Removes from the leaves of `all` every code that L covers, leaving the parts below
// and above it as leaves of their own at the end of the list.
void SubtractRange(const ParseNode& L, TREParseTree& all) {
  std::size_t i = 0;
  while (i < all.LeafList.size()) {
    const ParseNode& A = *all.LeafList[i];
    if (A.lo > L.hi || L.lo > A.hi) {
      ++i;
      continue;
    }
    const std::int32_t aLo = A.lo;
    const std::int32_t aHi = A.hi;
    all.DiscardLeaf(i);
    all.MakeLeafIfValid(aLo, std::int32_t{L.lo} - 1);
    all.MakeLeafIfValid(std::int32_t{L.hi} + 1, aHi);
  }
}

}  // namespace

TREParser::TREParser(std::string_view pattern) : Scanner(pattern) {}

void TREParser::Parse() {
  ParseTree.ClearTree();
  Scanner.GetToken();
  ParseTree.Root = Regexp();
  if (Scanner.Token != tk_End) throw ERegExpParser(kMsgExtraText, Scanner.Index);
  ParseTree.MakeLeavesDisjoint();
}

ParseNode* TREParser::Regexp() {
  ParseNode* t = Term();
  while (Scanner.Token == tk_Union) {
    Scanner.GetToken();
    ParseNode* right = Term();
    t = ParseTree.MakeNode(nk_Union, t, right);
  }
  return t;
}

ParseNode* TREParser::Term() {
  if (EndsTerm(Scanner.Token)) return ParseTree.MakeNode(nk_Empty, nullptr, nullptr);
  ParseNode* f = Factor();
  while (!EndsTerm(Scanner.Token)) {
    ParseNode* right = Factor();
    f = ParseTree.MakeNode(nk_Concat, f, right);
  }
  return f;
}

ParseNode* TREParser::Factor() {
  ParseNode* p = Primary();
  switch (Scanner.Token) {
    case tk_Star:
      p = ParseTree.MakeNode(nk_Closure, p, nullptr);
      break;
    case tk_Plus:
      p = ParseTree.MakeNode(nk_Concat, p, ParseTree.MakeNode(nk_Closure, p, nullptr));
      break;
    case tk_QMark:
      p = ParseTree.MakeNode(nk_Union, p, ParseTree.MakeNode(nk_Empty, nullptr, nullptr));
      break;
    default:
      return p;
  }
  Scanner.GetToken();
  return p;
}

ParseNode* TREParser::Primary() {
  ParseNode* result = nullptr;
  switch (Scanner.Token) {
    case tk_Char:
      result = ParseTree.MakeLeaf(Scanner.Code, Scanner.Code);
      Scanner.GetToken();
      return result;
    case tk_LPar:
      if (++depth_ > kMaxGroupDepth) throw ERegExpParser(kMsgTooComplex, Scanner.Index);
      Scanner.GetToken();
      result = Regexp();
      if (Scanner.Token != tk_RPar) throw ERegExpParser(kMsgNeedRPar, Scanner.Index);
      --depth_;
      Scanner.GetToken();
      return result;
    case tk_LBra:
      result = CharClass(ParseTree);
      ExpectRBra();
      return result;
    case tk_LBraNeg:
      result = NegCharClass();
      ExpectRBra();
      return result;
    case tk_Dot:
      result = ParseTree.MakeAnyCharNode();
      Scanner.GetToken();
      return result;
    case tk_LHead:
      result = ParseTree.MakeLineHeadNode(Scanner.Code);
      Scanner.GetToken();
      return result;
    case tk_LTail:
      result = ParseTree.MakeLineTailNode(Scanner.Code);
      Scanner.GetToken();
      return result;
    default:
      throw ERegExpParser(kMsgNeedPrimary, Scanner.Index);
  }
}

void TREParser::ExpectRBra() {
  if (Scanner.Token != tk_RBra) throw ERegExpParser(kMsgNeedRBracket, Scanner.Index);
  Scanner.GetToken();
}

ParseNode* TREParser::CharClass(TREParseTree& tree) {
  Scanner.GetToken();
  if (Scanner.Token == tk_RBra) throw ERegExpParser(kMsgEmptyClass, Scanner.Index);
  ParseNode* n = ClassItemLeaf(tree);
  Scanner.GetToken();
  while (Scanner.Token != tk_RBra) {
    ParseNode* item = ClassItemLeaf(tree);
    n = tree.MakeNode(nk_Union, n, item);
    Scanner.GetToken();
  }
  return n;
}

ParseNode* TREParser::ClassItemLeaf(TREParseTree& tree) {
  if (Scanner.Token == tk_CharRange) return tree.MakeLeaf(Scanner.Code, Scanner.CodeEnd);
  return tree.MakeLeaf(Scanner.Code, Scanner.Code);
}

ParseNode* TREParser::NegCharClass() {
  TREParseTree items;
  TREParseTree all;
  items.Root = CharClass(items);
  items.MakeLeavesDisjoint();
  all.MakeAnyCharNode();
  for (const auto& leaf : items.LeafList) SubtractRange(*leaf, all);
  if (all.LeafList.empty()) return nullptr;
  ParseNode* result = ParseTree.MakeLeaf(all.LeafList[0]->lo, all.LeafList[0]->hi);
  for (std::size_t i = 1; i < all.LeafList.size(); ++i) {
    ParseNode* leaf = ParseTree.MakeLeaf(all.LeafList[i]->lo, all.LeafList[i]->hi);
    result = ParseTree.MakeNode(nk_Union, result, leaf);
  }
  return result;
}

}  // namespace SjisRegExp
