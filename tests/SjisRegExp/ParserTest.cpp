#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "SjisRegExp/Parser.h"
#include "TreeText.h"

namespace SjisRegExp {
namespace {

using testing::LeafListText;
using testing::TreeText;

std::string Shape(const std::string& pattern) {
  TREParser parser(pattern);
  parser.Parse();
  return TreeText(parser.ParseTree.Root);
}

std::string Leaves(const std::string& pattern) {
  TREParser parser(pattern);
  parser.Parse();
  return LeafListText(parser.ParseTree);
}

struct ShapeRow {
  std::string pattern;
  std::string shape;
};

TEST(ParserTest, TreeShapes) {
  const std::string any = "U(U([1-9],[B-C]),[E-FCFC])";
  const ShapeRow rows[] = {
      {"", "E"},
      {"a|", "U('a',E)"},
      {"()", "E"},
      {"(|a)", "U(E,'a')"},
      {"ab|c", "U(C('a','b'),'c')"},
      {"a|b|c", "U(U('a','b'),'c')"},
      {"abc", "C(C('a','b'),'c')"},
      {"a+", "C('a',*('a'))"},
      {"a?", "U('a',E)"},
      {"(ab)*", "*(C('a','b'))"},
      {"^a$", "C(C(^,'a'),$)"},
      {"a^", "C('a',^)"},
      {"^*", "*(^)"},
      {".", any},
      {"[abc]", "U(U('a','b'),'c')"},
      {"[^\\x01-\\x09\\x0B\\x0C]", "[E-FCFC]"},
      {"[^a]", "U(U(U([B-C],[1-9]),[E-60]),[62-FCFC])"},
      {"[^\\n]", "U(U([B-C],[1-9]),[E-FCFC])"},
      {"[^\\x01-\\xFCFC]", "-"},
      {"a[^\\x01-\\xFCFC]*", "C('a',*(-))"},
      {"\x82\xA0*", "*([82A0-82A0])"},
      {"[Rr][Ee][ :>\\[#]+[0-9]+",
       "C(C(C(U('R','r'),U('E','e')),C(U(U(U(U([20-20],':'),'>'),'['),'#'),*(U(U(U(U([20-20],"
       "':'),'>'),'['),'#')))),C([30-39],*([30-39])))"},
  };
  for (const ShapeRow& r : rows) EXPECT_EQ(Shape(r.pattern), r.shape) << r.pattern;
}

TEST(ParserTest, RepeatedOperandsAndRangesShareOneNode) {
  TREParser plus("a+");
  plus.Parse();
  const ParseNode* root = plus.ParseTree.Root;
  ASSERT_EQ(root->Kind, nk_Concat);
  ASSERT_EQ(root->right->Kind, nk_Closure);
  EXPECT_EQ(root->left, root->right->left);
  EXPECT_EQ(plus.ParseTree.LeafList.size(), 1u);

  TREParser twice("aa");
  twice.Parse();
  EXPECT_EQ(twice.ParseTree.Root->left, twice.ParseTree.Root->right);
  EXPECT_EQ(twice.ParseTree.LeafList.size(), 1u);
}

TEST(ParserTest, AnchorsKeepTheirCodeAndStayOutOfTheLeafList) {
  TREParser parser("^a$");
  parser.Parse();
  const ParseNode* head = parser.ParseTree.Root->left->left;
  const ParseNode* tail = parser.ParseTree.Root->right;
  EXPECT_EQ(head->lo, 0x5E);
  EXPECT_EQ(tail->lo, 0x24);
  EXPECT_EQ(LeafListText(parser.ParseTree), "'a'");
}

TEST(ParserTest, OverlappingRangesAreSplitInPlace) {
  for (const char* pattern : {"[a-c][b-d]", "[a-c]|[b-d]"}) {
    TREParser parser(pattern);
    parser.Parse();
    EXPECT_EQ(LeafListText(parser.ParseTree), "'a' [62-63] 'd'") << pattern;
  }
  // The former leaves a..c and b..d became unions sharing b..c.
  EXPECT_EQ(Shape("[a-c]|[b-d]"), "U(U('a',[62-63]),U([62-63],'d'))");
  // One range inside another: the outer one splits into three.
  EXPECT_EQ(Shape("[a-e]c"), "C(U(U([61-62],'c'),[64-65]),'c')");
  // Both start at the same code: the longer one splits at the shorter one's end.
  EXPECT_EQ(Shape("[a-e][a-b]"), "C(U([61-62],[63-65]),[61-62])");
  // Both end at the same code.
  EXPECT_EQ(Shape("[a-e][d-e]"), "C(U([61-63],[64-65]),[64-65])");
}

TEST(ParserTest, RangesAtTheBoundsOfTheCodeSpace) {
  EXPECT_EQ(Leaves("[\\0-\\xFFFF]a"), "'a' [0-60] [62-FFFF]");
  EXPECT_EQ(Leaves("[\\0-\\xFFFF]\\0"), "[0-0] [1-FFFF]");
  EXPECT_EQ(Leaves("[\\0-\\xFFFF]\\xFFFF"), "[FFFF-FFFF] [0-FFFE]");
  EXPECT_EQ(Shape("[^\\0-\\xFFFF]"), "-");
  EXPECT_EQ(Shape("[^\\0]"), "U(U([B-C],[1-9]),[E-FCFC])");
  EXPECT_EQ(Shape("[^\\xFFFF]"), "U(U([B-C],[1-9]),[E-FCFC])");
}

struct ErrorRow {
  std::string pattern;
  std::string message;
  int pos;
};

TEST(ParserTest, SyntaxErrorsAndPositions) {
  const std::string extra = "正規表現に余分な文字があります";
  const std::string paren = "右(閉じ)括弧が必要です";
  const std::string primary = "普通の文字、または左括弧\"(\"が必要です";
  const std::string klass = "不正なキャラクタクラス指定です。";
  const ErrorRow rows[] = {
      {"a)", extra, 3},
      {"(a", paren, 3},
      {"*a", primary, 2},
      {"a**", primary, 4},
      {"a+?", primary, 4},
      {"a|*", primary, 4},
      {"]", primary, 2},
      {"[]", klass, 3},
      {"[^]", klass, 4},
      {"((a)", paren, 5},
      {"a)b", extra, 3},
      {"+", primary, 2},
      {"[a", "右ブラケット\"]\"が必要です", 3},
      {"(\\", "\"\\\"の次には文字が必要です。", 3},
      {"[z-a]", "不正なキャラクタ範囲です", 5},
  };
  for (const ErrorRow& r : rows) {
    TREParser parser(r.pattern);
    try {
      parser.Parse();
      ADD_FAILURE() << "no error for " << r.pattern;
    } catch (const ERegExpParser& e) {
      EXPECT_EQ(e.what(), r.message) << r.pattern;
      EXPECT_EQ(e.ErrorPos(), r.pos) << r.pattern;
    }
  }
}

TEST(ParserTest, PositionsBeyond65535Saturate) {
  TREParser parser(std::string(70000, 'a') + ")");
  try {
    parser.Parse();
    FAIL() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_STREQ(e.what(), "正規表現に余分な文字があります");
    EXPECT_EQ(e.ErrorPos(), 65535);
  }
}

TEST(ParserTest, ReplaceLeafRejectsAMissingPart) {
  TREParseTree tree;
  ParseNode* leaf = tree.MakeLeaf('a', 'a');
  try {
    tree.ReplaceLeaf(leaf, nullptr, leaf);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "TREParseTree : 致命的エラー");
    EXPECT_EQ(dynamic_cast<const ERegExpParser*>(&e), nullptr);
  }
}

TEST(ParserTest, MakeLeafFindsTheExistingLeaf) {
  TREParseTree tree;
  ParseNode* a = tree.MakeLeaf('a', 'c');
  EXPECT_EQ(tree.MakeLeaf('a', 'c'), a);
  EXPECT_NE(tree.MakeLeaf('a', 'b'), a);
  EXPECT_EQ(tree.MakeLeafIfValid('c', 'b'), nullptr);
  EXPECT_EQ(tree.MakeLeafIfValid(-1, 5), nullptr);
  EXPECT_EQ(tree.MakeLeafIfValid(0x10000, 0x10000), nullptr);
  EXPECT_EQ(tree.LeafList.size(), 2u);
  tree.ClearTree();
  EXPECT_TRUE(tree.LeafList.empty());
  EXPECT_EQ(tree.Root, nullptr);
}

TEST(ParserTest, GroupNestingIsBounded) {
  const std::string ok = std::string(kMaxGroupDepth, '(') + "a" + std::string(kMaxGroupDepth, ')');
  EXPECT_EQ(Shape(ok), "'a'");
  const std::string deep =
      std::string(kMaxGroupDepth + 1, '(') + "a" + std::string(kMaxGroupDepth + 1, ')');
  TREParser parser(deep);
  try {
    parser.Parse();
    FAIL() << "no error";
  } catch (const ERegExpParser& e) {
    EXPECT_STREQ(e.what(), kMsgTooComplex);
  }
}

// Every code covered by some leaf of the class items, by brute force.
std::set<int> Covered(const std::vector<std::pair<int, int>>& ranges) {
  std::set<int> codes;
  for (auto [lo, hi] : ranges)
    for (int c = lo; c <= hi; ++c) codes.insert(c);
  return codes;
}

TEST(ParserTest, LeavesEndPairwiseDisjointAndCoverTheSameCodes) {
  std::mt19937 rng(12345);
  for (int round = 0; round < 300; ++round) {
    std::vector<std::pair<int, int>> ranges;
    std::string pattern;
    const int items = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < items; ++i) {
      int lo = 'a' + static_cast<int>(rng() % 20);
      int hi = lo + static_cast<int>(rng() % 6);
      ranges.emplace_back(lo, hi);
      pattern += "[" + std::string(1, char(lo)) + "-" + std::string(1, char(hi)) + "]";
      if (rng() % 3 == 0) pattern += "|";
    }
    if (pattern.back() == '|') pattern += "x", ranges.emplace_back('x', 'x');
    TREParser parser(pattern);
    parser.Parse();
    std::set<int> leafCodes;
    const auto& leaves = parser.ParseTree.LeafList;
    for (std::size_t i = 0; i < leaves.size(); ++i) {
      for (std::size_t j = i + 1; j < leaves.size(); ++j) {
        EXPECT_TRUE(leaves[i]->hi < leaves[j]->lo || leaves[j]->hi < leaves[i]->lo) << pattern;
      }
      for (int c = leaves[i]->lo; c <= leaves[i]->hi; ++c) leafCodes.insert(c);
    }
    EXPECT_EQ(leafCodes, Covered(ranges)) << pattern;
  }
}

}  // namespace
}  // namespace SjisRegExp
