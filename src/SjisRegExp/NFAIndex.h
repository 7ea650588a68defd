// TRE_NFAIndex: the transitions of one NFA split by kind, made once when a pattern is compiled
// and read by every automaton built from it. It never changes afterwards, so searches on any
// number of threads may read it.
//
// For each NFA state, in its list order: the targets of its empty transitions, and its other
// transitions as (range id, target), the distinct ranges numbered in order of first use. The
// anchor transitions (LineHeadCode, LineTailCode) are ranges like any other here.
//
// The parser makes the ranges of a pattern's characters pairwise disjoint; only the single
// code of an anchor character matched literally ("^" or "$" away from the pattern's ends) may
// lie inside another range. Where that happens (RangesOverlap), the DFA takes for a code
// the range that comes first in its sorted order and the others not (StepLikeDFA), which a
// union of NFA states cannot follow; so the automata that step unions of sets (the search
// automaton) only give a superset of the matches then.
//
// Sets of NFA states are TRE_NFAStateSet bit arrays of SetBytes() bytes; HashStateSet is the
// one hash over them that every table of sets uses.
#pragma once

#include <cstdint>
#include <vector>

#include "NFA.h"

namespace SjisRegExp {

// The hash of a set of NFA states (any byte array): FNV-1a with a final mix, so that the low
// bits serve as a table index.
inline std::uint64_t HashStateSet(const std::uint8_t* bytes, std::size_t size) {
  std::uint64_t h = 0xcbf29ce484222325ull;
  for (std::size_t i = 0; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001b3ull;
  return h ^ (h >> 29);
}

// Calls f(i) for each member of the set, in ascending order.
template <typename F>
void ForEachMember(const std::uint8_t* bytes, std::size_t size, F&& f) {
  for (std::size_t byte = 0; byte < size; ++byte) {
    unsigned bits = bytes[byte];
    while (bits != 0) {
      const int bit = __builtin_ctz(bits);
      bits &= bits - 1;
      f(static_cast<std::int32_t>(byte * 8 + static_cast<std::size_t>(bit)));
    }
  }
}

class TRE_NFAIndex {
 public:
  explicit TRE_NFAIndex(const TRE_NFA& nfa);

  struct CharMove {
    std::uint32_t range;
    std::int32_t target;
  };

  std::size_t StateCount() const { return stateCount_; }
  std::size_t TransitionCount() const { return epsTargets_.size() + charMoves_.size(); }
  std::size_t SetBytes() const { return stateCount_ / 8 + 1; }
  std::int32_t Entry() const { return entry_; }
  std::int32_t Exit() const { return exit_; }
  bool LineHeadMark() const { return lineHeadMark_; }
  bool LineTailMark() const { return lineTailMark_; }

  const std::vector<CharRange>& Ranges() const { return ranges_; }
  bool RangesOverlap() const { return rangesOverlap_; }
  const std::int32_t* EpsBegin(std::size_t state) const {
    return epsTargets_.data() + epsBegin_[state];
  }
  const std::int32_t* EpsEnd(std::size_t state) const {
    return epsTargets_.data() + epsBegin_[state + 1];
  }
  const CharMove* MovesBegin(std::size_t state) const {
    return charMoves_.data() + charBegin_[state];
  }
  const CharMove* MovesEnd(std::size_t state) const {
    return charMoves_.data() + charBegin_[state + 1];
  }
  // Every non-empty transition has a number: its place among all of them, a state's in a row
  // from FirstMove(state).
  std::size_t MoveCount() const { return charMoves_.size(); }
  std::uint32_t FirstMove(std::size_t state) const { return charBegin_[state]; }
  const CharMove& Move(std::size_t number) const { return charMoves_[number]; }

  // Adds to the set every state reachable from a member over empty transitions. Returns the
  // work it took (states visited and transitions followed), which the DFA's eager budget
  // counts. The worklist is the caller's scratch.
  std::uint64_t Closure(TRE_NFAStateSet& set, std::vector<std::int32_t>& worklist) const;
  // Includes in `to` the target of every transition of a member of `from` whose range holds
  // the code (`to` is not cleared and not closed). Returns whether there was any.
  bool MoveAll(const std::uint8_t* from, CharCode code, TRE_NFAStateSet& to) const;
  // What the DFA's state for the set `from` does on the code: the members' transitions on the
  // first range in sorted order that holds it. Includes their targets in `to` (not cleared,
  // not closed) when `to` is not null; returns false when no range holds the code.
  bool StepLikeDFA(const std::uint8_t* from, CharCode code, TRE_NFAStateSet* to) const;

 private:
  std::size_t stateCount_ = 0;
  std::int32_t entry_ = 0;
  std::int32_t exit_ = 1;
  bool lineHeadMark_ = false;
  bool lineTailMark_ = false;
  bool rangesOverlap_ = false;
  std::vector<std::uint32_t> epsBegin_;
  std::vector<std::int32_t> epsTargets_;
  std::vector<std::uint32_t> charBegin_;
  std::vector<CharMove> charMoves_;
  std::vector<CharRange> ranges_;
};

}  // namespace SjisRegExp
