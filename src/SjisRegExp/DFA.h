// TRE_DFA: the deterministic automaton of one NFA, built by subset construction: whole at
// compile time (eager), or state by state by the searches that need them (lazy).
//
// States are numbered in creation order; state 0 is the initial state. Each state
// names its set of NFA states, says whether that set holds the NFA exit (accepting),
// and owns a block of transitions sorted by start code (stable, so equal start codes
// keep their construction order). The ranges of one state are disjoint except for the
// single code of an anchor character matched literally, which may lie inside another
// range; NextState then takes whichever comes first in the sorted order.
//
// Size bounds: the automaton is built whole at compile time while it stays within the
// eager budget (DFALimits: kMaxEagerDFAStates states, kMaxEagerDFABytes bytes of state
// sets and transitions, kMaxEagerDFAWork units of construction work); then it is read-only
// and any number of searches may share it. A pattern whose automaton passes the budget is
// not refused: each search cache (Program.h) then holds an automaton of its own whose
// states are built on demand while matching, the first time a walk leaves them, in at most
// kMaxDFACacheBytes (plus what one step of a search adds before it can be cleared); a full
// cache is cleared and refilled from the states the search holds, and a search whose cache
// thrashes goes on over NFA sets (SetScan.h). Such an automaton is
// "lazy"; every state it builds is the state the whole construction would have built for
// the same NFA set, with the same sorted transitions, so every walk gives the same result as
// the eager automaton. Only a lazy automaton changes while it is searched, so only its
// stepping functions (NextStateGrowing, ResetCache) are non-const.
//
// The working data of the construction (the move lists, the state hash table, the work
// count) lives in TRE_DFABuilder (DFABuilder.h); the NFA is read through its index
// (NFAIndex.h). An eager automaton frees its builder once built; a lazy one keeps it to
// build states while matching. The scans' speed tricks (dense rows, start codes, stop
// bytes, the literal prefix) live in DFAAccel (DFAAccel.h), which Build makes for an eager
// automaton.
#pragma once

#include <cassert>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "DFAAccel.h"
#include "NFAIndex.h"

namespace SjisRegExp {

inline constexpr std::size_t kMaxEagerDFAStates = 10'000;
inline constexpr std::size_t kMaxEagerDFABytes = 16u << 20;
// Bytes of state sets scanned plus NFA transitions visited while building.
inline constexpr std::uint64_t kMaxEagerDFAWork = 200'000'000;
inline constexpr std::size_t kMaxDFACacheBytes = 32u << 20;
inline constexpr std::size_t kMaxDenseStates = 4096;

struct DFALimits {
  std::size_t eagerStates = kMaxEagerDFAStates;
  std::size_t eagerBytes = kMaxEagerDFABytes;
  std::uint64_t eagerWork = kMaxEagerDFAWork;
  std::size_t cacheBytes = kMaxDFACacheBytes;
  // A search whose cache fills again before the text has advanced this many bytes per
  // cached state goes on without caching (0: never).
  std::size_t thrashBytesPerState = 10;
};

inline constexpr std::int32_t kNoState = -1;

struct DFATransition {
  CharRange range;
  std::int32_t target = kNoState;
};

struct DFAState {
  explicit DFAState(TRE_NFAStateSet set) : states(std::move(set)) {}
  TRE_NFAStateSet states;
  std::uint16_t expanded = 0;   // 0xFFFF once its transitions are computed
  std::uint16_t accepting = 0;  // 0xFFFF when the set holds the NFA exit state
  std::uint32_t firstTransition = 0;
  std::uint32_t transitionCount = 0;
};

class TRE_DFABuilder;

class TRE_DFA {
 public:
  // The index must outlive the automaton.
  explicit TRE_DFA(const TRE_NFAIndex& index, DFALimits limits = {});
  ~TRE_DFA();
  TRE_DFA(const TRE_DFA&) = delete;
  TRE_DFA& operator=(const TRE_DFA&) = delete;

  // The whole construction; past the eager budget, the start of a lazy automaton.
  void Build();
  // Starts a lazy automaton without trying the whole construction.
  void BuildLazy();

  // Whether states are built on demand (the pattern passed the eager budget).
  bool Lazy() const { return lazy_; }
  // Lazy automata: whether the cache has passed its bound, so that the search should call
  // ResetCache at its next step; and how often it has been cleared.
  bool CacheFull() const { return lazy_ && cacheBytes_ > limits_.cacheBytes; }
  std::size_t CacheResets() const { return cacheResets_; }
  const DFALimits& Limits() const { return limits_; }
  std::size_t CacheBytes() const { return cacheBytes_; }
  // Clears a lazy automaton's states but those of the given ids (and the initial state,
  // which stays 0), and writes each id's new number in its place. Every other id held
  // before is void afterwards.
  void ResetCache(std::int32_t* ids, std::size_t count);

  // The NFA-set form of a lazy automaton's states, for a search that stops caching them
  // when the cache thrashes. A set is SetBytes() bytes, as TRE_NFAStateSet lays it out.
  std::size_t SetBytes() const { return index_.SetBytes(); }
  const std::uint8_t* SetOf(std::int32_t s) const { return states_[s].states.Bytes(); }
  bool SetAccepting(const std::uint8_t* set) const {
    const std::int32_t exit = index_.Exit();
    return ((set[exit >> 3] >> (exit & 7)) & 1u) != 0;
  }
  // What NextState does for the state of this set, without building the state: writes the
  // target's set to `to` (when not null) and returns true, or returns false for none.
  bool StepSet(const std::uint8_t* from, CharCode code, std::uint8_t* to);

  std::size_t StateCount() const { return states_.size(); }
  const DFAState& State(std::int32_t s) const { return states_[s]; }
  bool Accepting(std::int32_t s) const { return states_[s].accepting != 0; }
  const DFATransition* TransitionsBegin(std::int32_t s) const {
    return transitions_.data() + states_[s].firstTransition;
  }
  const DFATransition* TransitionsEnd(std::int32_t s) const {
    return TransitionsBegin(s) + states_[s].transitionCount;
  }
  std::size_t TransitionCount() const { return transitions_.size(); }
  bool LineHeadMark() const { return index_.LineHeadMark(); }
  bool LineTailMark() const { return index_.LineTailMark(); }

  // The speed tricks the scans use (dense rows, start codes, stop bytes, the literal
  // prefix), made by Build for an eager automaton; none for a lazy one.
  const DFAAccel& Accel() const { return accel_; }

  // The walk over the sorted list, for a lazy automaton: it builds the state's transitions
  // here the first time.
  std::int32_t NextStateGrowing(std::int32_t s, CharCode code) {
    if (states_[s].expanded == 0) ExpandOnDemand(s);
    return NextStateBySortedList(s, code);
  }
  // The walk over the sorted list: stop with none below a start code, with the target at or
  // below an end code. For a state known to be expanded (every state of an eager automaton).
  std::int32_t NextStateBySortedList(std::int32_t s, CharCode code) const {
    assert(states_[s].expanded != 0);
    for (const DFATransition *t = TransitionsBegin(s), *e = TransitionsEnd(s); t != e; ++t) {
      if (code < t->range.start) return kNoState;
      if (code <= t->range.end) return t->target;
    }
    return kNoState;
  }
  // The same result for an eager automaton, by table for single-byte codes when the table
  // exists.
  std::int32_t NextState(std::int32_t s, CharCode code) const {
    if (accel_.HasDenseRows() && code < 256) return accel_.DenseNext(s, code);
    return NextStateBySortedList(s, code);
  }

 private:
  friend class TRE_DFABuilder;

  void ExpandOnDemand(std::int32_t s);
  // Makes the automaton lazy (again): its initial state alone, unexpanded, and no tables.
  void StartLazy();

  const TRE_NFAIndex& index_;
  DFALimits limits_;
  bool lazy_ = false;
  std::size_t cacheBytes_ = 0;
  std::size_t cacheResets_ = 0;
  std::vector<DFAState> states_;
  std::vector<DFATransition> transitions_;
  DFAAccel accel_;
  // Only a lazy automaton keeps its builder after Build.
  std::unique_ptr<TRE_DFABuilder> builder_;
};

// One step of a walk: NextState on an eager automaton, which never changes; NextStateGrowing
// on a lazy one, which the walk owns. The scans that serve both are written once over these.
inline std::int32_t Step(const TRE_DFA& dfa, std::int32_t s, CharCode code) {
  return dfa.NextState(s, code);
}
inline std::int32_t Step(TRE_DFA& dfa, std::int32_t s, CharCode code) {
  return dfa.Lazy() ? dfa.NextStateGrowing(s, code) : dfa.NextState(s, code);
}

}  // namespace SjisRegExp
