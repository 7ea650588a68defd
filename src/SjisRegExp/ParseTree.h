// The parse tree of one pattern: union, concatenation, closure, empty and anchor
// nodes over character-range leaves.
//
// The tree is a DAG: "X+" refers to the node X twice, and every use of a range refers
// to its one leaf. Every node is owned by the tree, in one of two lists:
//   LeafList  the current nk_Char leaves, at most one per distinct range;
//   NodeList  everything else: inner nodes, anchors and leaves turned into unions.
// After MakeLeavesDisjoint the ranges of the leaves in LeafList are pairwise
// disjoint, so the automata see a partition of the character codes. Anchors keep the
// code of their own character and take no part in that refinement.
//
// A null node reference stands for a fragment that never matches (a negated class
// that excludes every character); the NFA construction adds nothing for it.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "Chars.h"

namespace SjisRegExp {

enum NodeKind : std::uint8_t {
  nk_Char = 0,
  nk_LineHead = 1,
  nk_LineTail = 2,
  nk_Concat = 3,
  nk_Union = 4,
  nk_Closure = 5,
  nk_Empty = 6,
};

struct ParseNode {
  NodeKind Kind = nk_Empty;
  // nk_Char, nk_LineHead, nk_LineTail: the range lo..hi.
  CharCode lo = 0;
  CharCode hi = 0;
  // nk_Concat, nk_Union: left then right; nk_Closure: left only.
  ParseNode* left = nullptr;
  ParseNode* right = nullptr;
};

class TREParseTree {
 public:
  TREParseTree() = default;
  virtual ~TREParseTree() = default;
  TREParseTree(const TREParseTree&) = delete;
  TREParseTree& operator=(const TREParseTree&) = delete;

  ParseNode* MakeNode(NodeKind kind, ParseNode* left, ParseNode* right);
  // The existing leaf of exactly lo..hi, or a new one appended to LeafList.
  ParseNode* MakeLeaf(CharCode lo, CharCode hi);
  // Null for an empty or out-of-range piece (hi < lo, or outside 0..0xFFFF), so that
  // arithmetic at the bounds of the code space can never produce a leaf.
  ParseNode* MakeLeafIfValid(std::int32_t lo, std::int32_t hi);
  ParseNode* MakeLineHeadNode(CharCode code);
  ParseNode* MakeLineTailNode(CharCode code);
  // Every code from 0x01 to 0xFCFC except LF and CR.
  virtual ParseNode* MakeAnyCharNode();
  // The leaf becomes nk_Union(left, right) in place, so every parent sees the union;
  // it moves from LeafList to NodeList. Throws std::runtime_error on a null part.
  void ReplaceLeaf(ParseNode* leaf, ParseNode* left, ParseNode* right);
  // Removes the leaf at the index of LeafList and frees it. Only for trees whose
  // inner nodes are no longer read (the working trees of a negated class).
  void DiscardLeaf(std::size_t index);
  void MakeLeavesDisjoint();
  void ClearTree();

  ParseNode* Root = nullptr;
  std::vector<std::unique_ptr<ParseNode>> NodeList;
  std::vector<std::unique_ptr<ParseNode>> LeafList;

 private:
  bool SplitOverlap(ParseNode* a, ParseNode* b);
  void RemoveFromLeafIndex(const ParseNode* leaf);
  static std::uint32_t RangeKey(CharCode lo, CharCode hi) {
    return static_cast<std::uint32_t>(lo) << 16 | hi;
  }
  // LeafList by range: finds the one leaf of a range without a linear search.
  std::unordered_map<std::uint32_t, ParseNode*> leafByRange_;
};

}  // namespace SjisRegExp
