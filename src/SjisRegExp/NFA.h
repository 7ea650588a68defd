// TRE_NFA: the nondeterministic automaton of one parse tree, built by expanding every
// node between a given "from" and "to" state. State 0 is the entry, state 1 the exit;
// further states are numbered in creation order, and the transitions of each state
// are kept newest first. The expansion order is fixed, so state numbers (and with them
// the order in which the DFA construction visits states) follow from the tree alone.
//
// Transitions are labelled with a CharRange; start code 0xFFFF marks an empty one,
// 0xFFFD / 0xFFFE the line-head / line-tail anchors (only where the anchor starts at
// the entry state / ends at the exit state; elsewhere ^ and $ are plain characters).
//
// TRE_NFAStateSet: a set of NFA states as a bit array of N / 8 + 1 bytes.
#pragma once

#include <cstdint>
#include <vector>

#include "Chars.h"
#include "ParseTree.h"

namespace SjisRegExp {

class TREParser;

struct CharRange {
  CharCode start = 0;
  CharCode end = 0;
  bool operator==(const CharRange&) const = default;
};

struct NFATransition {
  CharRange range;
  std::int32_t target = 0;
  std::int32_t next = -1;  // index of the next transition of the same state, -1 at the end
};

// The expansion stops with "too complex" once it has done this many steps; a shared
// subtree is expanded once per reference, so nested X+ can grow the NFA exponentially.
inline constexpr std::size_t kMaxNFASteps = 4'000'000;

class TRE_NFA {
 public:
  TRE_NFA(const TREParser& parser, CharCode lineHeadCode, CharCode lineTailCode);

  // Expands the parser's tree from its root between the entry and the exit state.
  // Throws ERegExpParser ("too complex") past kMaxNFASteps, std::runtime_error on a
  // node kind it does not know.
  void Build();

  std::int32_t AddState();
  void AddTransition(std::int32_t from, std::int32_t to, CharRange range);
  // A null node adds nothing: that fragment never matches.
  void GenerateStateList(const ParseNode* node, std::int32_t from, std::int32_t to);

  std::size_t StateCount() const { return stateHeads_.size(); }
  // Index of the newest transition of the state, -1 when it has none.
  std::int32_t FirstTransition(std::int32_t state) const { return stateHeads_[state]; }
  const NFATransition& Transition(std::int32_t index) const { return transitions_[index]; }
  std::size_t TransitionCount() const { return transitions_.size(); }
  std::int32_t EntryState() const { return entry_; }
  std::int32_t ExitState() const { return exit_; }
  bool LineHeadMark() const { return lineHeadMark_; }
  bool LineTailMark() const { return lineTailMark_; }
  // The error position for a pattern refused as too complex: just after its end.
  std::int64_t PatternEndPos() const;

 private:
  std::vector<std::int32_t> stateHeads_;
  std::vector<NFATransition> transitions_;
  std::int32_t entry_ = 0;
  std::int32_t exit_ = 1;
  const TREParser& parser_;
  bool lineHeadMark_ = false;
  bool lineTailMark_ = false;
  CharCode lineHeadCode_;
  CharCode lineTailCode_;
  std::size_t steps_ = 0;
};

class TRE_NFAStateSet {
 public:
  explicit TRE_NFAStateSet(std::size_t stateCount) : bytes_(stateCount / 8 + 1, 0) {}

  void Include(std::int32_t i) { bytes_[i >> 3] |= static_cast<std::uint8_t>(1u << (i & 7)); }
  bool Has(std::int32_t i) const { return (bytes_[i >> 3] >> (i & 7)) & 1u; }
  // Compares the receiver's size in bytes; all sets of one construction share N.
  bool Equals(const TRE_NFAStateSet& other) const;
  std::size_t Size() const { return bytes_.size(); }
  const std::uint8_t* Bytes() const { return bytes_.data(); }
  void Clear() { std::fill(bytes_.begin(), bytes_.end(), std::uint8_t{0}); }
  // Adds the members of a set of the same size.
  void Unite(const TRE_NFAStateSet& other) {
    for (std::size_t i = 0; i < bytes_.size(); ++i) bytes_[i] |= other.bytes_[i];
  }
  bool Intersects(const TRE_NFAStateSet& other) const {
    for (std::size_t i = 0; i < bytes_.size(); ++i) {
      if ((bytes_[i] & other.bytes_[i]) != 0) return true;
    }
    return false;
  }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace SjisRegExp
