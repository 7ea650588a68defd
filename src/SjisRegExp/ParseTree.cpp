// The nodes of TREParseTree and the splitting that makes its leaf ranges disjoint.
#include "ParseTree.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace SjisRegExp {

ParseNode* TREParseTree::MakeNode(NodeKind kind, ParseNode* left, ParseNode* right) {
  auto node = std::make_unique<ParseNode>();
  node->Kind = kind;
  node->left = left;
  node->right = right;
  NodeList.push_back(std::move(node));
  return NodeList.back().get();
}

ParseNode* TREParseTree::MakeLeaf(CharCode lo, CharCode hi) {
  const auto found = leafByRange_.find(RangeKey(lo, hi));
  if (found != leafByRange_.end()) return found->second;
  auto leaf = std::make_unique<ParseNode>();
  leaf->Kind = nk_Char;
  leaf->lo = lo;
  leaf->hi = hi;
  LeafList.push_back(std::move(leaf));
  ParseNode* result = LeafList.back().get();
  leafByRange_.emplace(RangeKey(lo, hi), result);
  return result;
}

ParseNode* TREParseTree::MakeLeafIfValid(std::int32_t lo, std::int32_t hi) {
  if (hi < lo || lo < 0 || hi > 0xFFFF) return nullptr;
  return MakeLeaf(static_cast<CharCode>(lo), static_cast<CharCode>(hi));
}

ParseNode* TREParseTree::MakeLineHeadNode(CharCode code) {
  ParseNode* node = MakeNode(nk_LineHead, nullptr, nullptr);
  node->lo = node->hi = code;
  return node;
}

ParseNode* TREParseTree::MakeLineTailNode(CharCode code) {
  ParseNode* node = MakeNode(nk_LineTail, nullptr, nullptr);
  node->lo = node->hi = code;
  return node;
}

ParseNode* TREParseTree::MakeAnyCharNode() {
  // The leaves are made in this order on purpose: LeafList order decides how later
  // subtraction and splitting proceed.
  ParseNode* vtab = MakeLeaf(0x0B, 0x0C);
  ParseNode* controls = MakeLeaf(0x01, 0x09);
  ParseNode* rest = MakeLeaf(0x0E, 0xFCFC);
  return MakeNode(nk_Union, MakeNode(nk_Union, controls, vtab), rest);
}

void TREParseTree::RemoveFromLeafIndex(const ParseNode* leaf) {
  const auto found = leafByRange_.find(RangeKey(leaf->lo, leaf->hi));
  if (found != leafByRange_.end() && found->second == leaf) leafByRange_.erase(found);
}

void TREParseTree::ReplaceLeaf(ParseNode* leaf, ParseNode* left, ParseNode* right) {
  if (left == nullptr || right == nullptr) {
    throw std::runtime_error("TREParseTree : 致命的エラー");
  }
  const auto it = std::find_if(LeafList.begin(), LeafList.end(),
                               [leaf](const auto& p) { return p.get() == leaf; });
  if (it == LeafList.end()) throw std::runtime_error("TREParseTree : 致命的エラー");
  RemoveFromLeafIndex(leaf);
  NodeList.push_back(std::move(*it));
  LeafList.erase(it);
  leaf->Kind = nk_Union;
  leaf->lo = leaf->hi = 0;
  leaf->left = left;
  leaf->right = right;
}

void TREParseTree::DiscardLeaf(std::size_t index) {
  RemoveFromLeafIndex(LeafList[index].get());
  LeafList.erase(LeafList.begin() + static_cast<std::ptrdiff_t>(index));
}

bool TREParseTree::SplitOverlap(ParseNode* a, ParseNode* b) {
  if (a->lo > b->lo) std::swap(a, b);
  if (b->lo > a->hi || (a->lo == b->lo && a->hi == b->hi)) return false;
  const std::int32_t m = b->lo;
  const std::int32_t low = std::min(a->hi, b->hi);
  const std::int32_t high = std::max(a->hi, b->hi);
  // Keep what the replacements below need: MakeLeaf may hand back a or b itself.
  const bool aEndsHigh = a->hi == high;
  ParseNode* p1 = MakeLeafIfValid(a->lo, m - 1);
  ParseNode* p2 = MakeLeafIfValid(m, low);
  ParseNode* p3 = MakeLeafIfValid(low + 1, high);
  if (p1 == nullptr) {
    // Both start at m; the longer one is split into the shorter one and the rest.
    ReplaceLeaf(aEndsHigh ? a : b, p2, p3);
  } else if (p3 == nullptr) {
    ReplaceLeaf(a, p1, p2);
  } else if (aEndsHigh) {
    ReplaceLeaf(a, MakeNode(nk_Union, p1, p2), p3);
  } else {
    ReplaceLeaf(a, p1, p2);
    ReplaceLeaf(b, p2, p3);
  }
  return true;
}

void TREParseTree::MakeLeavesDisjoint() {
  // The pairwise walk below costs the square of the number of leaves even when it
  // finds nothing to split; a long pattern of distinct characters (one leaf each) is
  // recognised as already disjoint by sorting instead, and the walk would change
  // nothing for it.
  std::vector<std::pair<CharCode, CharCode>> ranges;
  ranges.reserve(LeafList.size());
  for (const auto& leaf : LeafList) ranges.emplace_back(leaf->lo, leaf->hi);
  std::sort(ranges.begin(), ranges.end());
  bool disjoint = true;
  for (std::size_t k = 1; k < ranges.size() && disjoint; ++k) {
    disjoint = ranges[k].first > ranges[k - 1].second;
  }
  if (disjoint) return;

  std::size_t i = 0;
  while (i < LeafList.size()) {
    bool split = false;
    for (std::size_t j = i + 1; j < LeafList.size(); ++j) {
      if (SplitOverlap(LeafList[j].get(), LeafList[i].get())) {
        split = true;
        break;
      }
    }
    if (!split) ++i;
  }
}

void TREParseTree::ClearTree() {
  Root = nullptr;
  NodeList.clear();
  LeafList.clear();
  leafByRange_.clear();
}

}  // namespace SjisRegExp
