// TRE_DFABuilder: the working data of the subset construction of one TRE_DFA, kept apart
// from the automaton, which holds only what matching reads.
//
// The builder reads the NFA through its index (NFAIndex.h), which the compiled pattern
// shares with every automaton built from it. One step (Expand) computes a DFA state's moves
// (ComputeMoves: one move per distinct range, its set the targets on that range), closes
// each move's set over empty transitions (the index's Closure) and finds or adds the state
// of that set (FindOrAddState), through a hash table over the states' sets that holds every
// state of the automaton once: there is never more than one state per NFA set.
//
// While BuildWhole runs the eager budget of DFALimits applies (states, bytes of the
// automaton, units of work); past it BuildWhole gives up and the automaton starts over
// lazily. An eager automaton frees its builder once built. A lazy one keeps it, to expand
// states the first time a walk leaves them, to clear its cache (Restart) and to step NFA
// sets without making states when its cache thrashes (StepSet).
#pragma once

#include <cstdint>
#include <vector>

#include "DFA.h"
#include "NFAIndex.h"

namespace SjisRegExp {

class TRE_DFABuilder {
 public:
  // The index's transitions count towards the eager budget's work bound.
  TRE_DFABuilder(const TRE_NFAIndex& index, const DFALimits& limits);

  // The whole construction of dfa's states in creation order, from the NFA's entry state.
  // False when it passed the eager budget; the automaton's states are then incomplete and
  // must be restarted.
  bool BuildWhole(TRE_DFA& dfa);
  // Clears dfa's states and leaves the initial one alone, unexpanded; every state id held
  // before is void.
  void Restart(TRE_DFA& dfa);
  // Computes the sorted transitions of state s, adding the states they lead to.
  void Expand(TRE_DFA& dfa, std::int32_t s);
  // The state of the set (closed), added when there is none yet.
  std::int32_t FindOrAddState(TRE_DFA& dfa, TRE_NFAStateSet& set);
  // What dfa.NextState does for the state of the set `from`, without making the state:
  // writes the target's set to `to` (when not null) and returns true, or false for none.
  bool StepSet(const std::uint8_t* from, CharCode code, std::uint8_t* to);

 private:
  void Closure(TRE_NFAStateSet& set);
  void ComputeMoves(const TRE_DFA& dfa, std::int32_t s);
  void CountWork(std::uint64_t units);

  struct Move {
    CharRange range;
    std::uint32_t rangeId;
    std::size_t set;  // index into moveSets_
  };
  const TRE_NFAIndex& index_;
  DFALimits limits_;
  bool building_ = false;                  // within BuildWhole: the eager budget applies
  std::vector<std::int32_t> moveOfRange_;  // per range id: its move this step, or -1
  std::vector<Move> moves_;                // in creation order; the move list is this reversed
  std::vector<TRE_NFAStateSet> moveSets_;
  std::vector<std::int32_t> hashTable_;  // open addressing over the states, -1 free
  std::vector<std::uint64_t> stateHashes_;
  std::vector<std::int32_t> worklist_;
  std::uint64_t work_ = 0;
  TRE_NFAStateSet stepSet_{0};
};

}  // namespace SjisRegExp
