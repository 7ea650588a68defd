// PatternTree: one pattern as sjisgrep reads GNU grep's extended syntax, before it is written
// in the library's syntax (PatternTranslator.h). Characters are already what they match: each
// literal, bracket expression or class is a CodeSet of CP932 codes (a character in all its
// codes, with -i its other cases too); "." is kAny, the library's own any-character.
//
// Nodes live in one vector and name their children by index; a child always has a smaller
// index than its parent, so the tree has no cycle and the root is the last node. Anchors and
// word assertions are nodes of their own that match the empty string where they hold.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "CodeSet.h"

namespace sjisgrep {

enum class WordAssertion : std::uint8_t {
  kWordStart,    // \<  a word character follows, none precedes
  kWordEnd,      // \>  a word character precedes, none follows
  kBoundary,     // \b  either of those
  kNotBoundary,  // \B  neither
};

struct PatternNode {
  enum class Kind : std::uint8_t {
    kEmpty,          // the empty string
    kSet,            // one character of `set`
    kAny,            // any character but LF and CR
    kConcat,         // children in order
    kUnion,          // any one child
    kRepeat,         // the one child, from `min` to `max` times (max -1: no limit)
    kLineHead,       // ^
    kLineTail,       // $
    kWordAssertion,  // `assertion`
  };
  Kind kind = Kind::kEmpty;
  CodeSet set;
  std::vector<int> children;
  int min = 0;
  int max = -1;
  WordAssertion assertion = WordAssertion::kBoundary;
  std::size_t column = 0;  // the typed character (0-based) the node came from, for messages

  static PatternNode Make(Kind kind, std::vector<int> children = {}, std::size_t column = 0) {
    PatternNode node;
    node.kind = kind;
    node.children = std::move(children);
    node.column = column;
    return node;
  }
};

struct PatternTree {
  std::vector<PatternNode> nodes;

  int Add(PatternNode node) {
    for ([[maybe_unused]] int child : node.children) {
      assert(child >= 0 && child < static_cast<int>(nodes.size()));  // children come first
    }
    nodes.push_back(std::move(node));
    return static_cast<int>(nodes.size()) - 1;
  }
  int Root() const { return static_cast<int>(nodes.size()) - 1; }
  const PatternNode& operator[](int index) const { return nodes[static_cast<std::size_t>(index)]; }
};

}  // namespace sjisgrep
