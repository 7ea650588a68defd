// Test helper: a parse tree written out as text, so that tests can state shapes.
//   leaf  'a' for a printable single code, [61-63] (hex) for a range
//   ^ $   anchors;  E empty;  U(x,y) union;  C(x,y) concatenation;  *(x) closure
//   -     a null node (a fragment that never matches)
#pragma once

#include <cstdio>
#include <string>

#include "SjisRegExp/ParseTree.h"

namespace SjisRegExp::testing {

inline std::string RangeText(CharCode lo, CharCode hi) {
  if (lo == hi && lo > 0x20 && lo < 0x7F) return std::string("'") + char(lo) + "'";
  char buf[24];
  std::snprintf(buf, sizeof buf, "[%X-%X]", lo, hi);
  return buf;
}

inline std::string TreeText(const ParseNode* n) {
  if (n == nullptr) return "-";
  switch (n->Kind) {
    case nk_Char:
      return RangeText(n->lo, n->hi);
    case nk_LineHead:
      return "^";
    case nk_LineTail:
      return "$";
    case nk_Empty:
      return "E";
    case nk_Union:
      return "U(" + TreeText(n->left) + "," + TreeText(n->right) + ")";
    case nk_Concat:
      return "C(" + TreeText(n->left) + "," + TreeText(n->right) + ")";
    case nk_Closure:
      return "*(" + TreeText(n->left) + ")";
  }
  return "?";
}

inline std::string LeafListText(const TREParseTree& tree) {
  std::string out;
  for (const auto& leaf : tree.LeafList) {
    if (!out.empty()) out += " ";
    out += RangeText(leaf->lo, leaf->hi);
  }
  return out;
}

}  // namespace SjisRegExp::testing
