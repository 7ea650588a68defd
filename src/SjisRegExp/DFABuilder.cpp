// The subset construction of TRE_DFA: the move lists, the state hash table and the work
// count, used whole at compile time or state by state on demand.
#include "DFABuilder.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace SjisRegExp {

namespace {

// Thrown inside BuildWhole when the whole construction passes the eager budget.
struct EagerBudgetExceeded {};

}  // namespace

void TRE_DFABuilder::CountWork(std::uint64_t units) {
  work_ += units;
  if (building_ && work_ > limits_.eagerWork) throw EagerBudgetExceeded{};
}

TRE_DFABuilder::TRE_DFABuilder(const TRE_NFAIndex& index, const DFALimits& limits)
    : index_(index), limits_(limits) {
  CountWork(index.TransitionCount());
  moveOfRange_.assign(index.Ranges().size(), -1);
}

bool TRE_DFABuilder::BuildWhole(TRE_DFA& dfa) {
  building_ = true;
  try {
    TRE_NFAStateSet initial(index_.StateCount());
    initial.Include(index_.Entry());
    Closure(initial);
    FindOrAddState(dfa, initial);
    // States are appended while the loop runs and expanded in creation order.
    for (std::size_t k = 0; k < dfa.states_.size(); ++k) {
      Expand(dfa, static_cast<std::int32_t>(k));
    }
  } catch (const EagerBudgetExceeded&) {
    building_ = false;
    return false;
  }
  building_ = false;
  return true;
}

void TRE_DFABuilder::Restart(TRE_DFA& dfa) {
  dfa.states_.clear();
  dfa.transitions_.clear();
  hashTable_.clear();
  stateHashes_.clear();
  dfa.cacheBytes_ = 0;
  stepSet_ = TRE_NFAStateSet(index_.StateCount());
  TRE_NFAStateSet initial(index_.StateCount());
  initial.Include(index_.Entry());
  Closure(initial);
  FindOrAddState(dfa, initial);
}

void TRE_DFABuilder::Expand(TRE_DFA& dfa, std::int32_t s) {
  auto& states = dfa.states_;
  auto& transitions = dfa.transitions_;
  const auto k = static_cast<std::size_t>(s);
  states[k].expanded = 0xFFFF;
  ComputeMoves(dfa, s);
  // The move list holds the newest move first; targets are found in that order (which
  // numbers the new states), and each transition is put in front of the state's list,
  // which leaves the list in move-creation order; then it is sorted by start code,
  // stably.
  std::vector<std::int32_t> targets(moves_.size(), kNoState);
  for (std::size_t m = moves_.size(); m-- > 0;) {
    TRE_NFAStateSet& set = moveSets_[moves_[m].set];
    Closure(set);
    targets[m] = FindOrAddState(dfa, set);
  }
  states[k].firstTransition = static_cast<std::uint32_t>(transitions.size());
  states[k].transitionCount = static_cast<std::uint32_t>(moves_.size());
  for (std::size_t m = 0; m < moves_.size(); ++m) {
    transitions.push_back({moves_[m].range, targets[m]});
  }
  dfa.cacheBytes_ += moves_.size() * sizeof(DFATransition);
  if (building_ && dfa.cacheBytes_ > limits_.eagerBytes) throw EagerBudgetExceeded{};
  auto* begin = transitions.data() + states[k].firstTransition;
  std::stable_sort(
      begin, begin + states[k].transitionCount,
      [](const DFATransition& a, const DFATransition& b) { return a.range.start < b.range.start; });
#ifndef NDEBUG
  for (const auto* t = begin; t + 1 < begin + states[k].transitionCount; ++t) {
    assert(t->range.start <= t[1].range.start);
  }
  for (const auto* t = begin; t < begin + states[k].transitionCount; ++t) {
    assert(t->range.start <= t->range.end && t->target >= 0);
  }
#endif
}

bool TRE_DFABuilder::StepSet(const std::uint8_t* from, CharCode code, std::uint8_t* to) {
  if (to == nullptr) return index_.StepLikeDFA(from, code, nullptr);
  TRE_NFAStateSet& set = stepSet_;
  set.Clear();
  if (!index_.StepLikeDFA(from, code, &set)) return false;
  Closure(set);
  std::memcpy(to, set.Bytes(), set.Size());
  return true;
}

void TRE_DFABuilder::Closure(TRE_NFAStateSet& set) { CountWork(index_.Closure(set, worklist_)); }

void TRE_DFABuilder::ComputeMoves(const TRE_DFA& dfa, std::int32_t s) {
  moves_.clear();
  const std::size_t n = index_.StateCount();
  const TRE_NFAStateSet& set = dfa.states_[static_cast<std::size_t>(s)].states;
  CountWork(set.Size());
  ForEachMember(set.Bytes(), set.Size(), [&](std::int32_t state) {
    const auto i = static_cast<std::size_t>(state);
    CountWork(1 + static_cast<std::uint64_t>(index_.MovesEnd(i) - index_.MovesBegin(i)));
    for (const auto* cm = index_.MovesBegin(i); cm != index_.MovesEnd(i); ++cm) {
      const std::int32_t existing = moveOfRange_[cm->range];
      if (existing >= 0) {
        moveSets_[moves_[static_cast<std::size_t>(existing)].set].Include(cm->target);
        continue;
      }
      const std::size_t index = moves_.size();
      if (moveSets_.size() <= index) {
        moveSets_.emplace_back(n);
      } else {
        moveSets_[index].Clear();
      }
      CountWork(moveSets_[index].Size());
      moveSets_[index].Include(cm->target);
      moves_.push_back({index_.Ranges()[cm->range], cm->range, index});
      moveOfRange_[cm->range] = static_cast<std::int32_t>(index);
    }
  });
  for (const Move& m : moves_) moveOfRange_[m.rangeId] = -1;
}

std::int32_t TRE_DFABuilder::FindOrAddState(TRE_DFA& dfa, TRE_NFAStateSet& set) {
  auto& states = dfa.states_;
  // Equal sets are found through their hash; there is never more than one state per
  // set, so this is the state a search of the list in order would find.
  CountWork(set.Size());
  const std::uint64_t hash = HashStateSet(set.Bytes(), set.Size());
  if (!hashTable_.empty()) {
    const std::size_t mask = hashTable_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::int32_t s = hashTable_[slot];
      if (s == kNoState) break;
      if (stateHashes_[static_cast<std::size_t>(s)] == hash &&
          states[static_cast<std::size_t>(s)].states.Equals(set)) {
        CountWork(set.Size());
        return s;
      }
    }
  }
  if (building_ && states.size() >= limits_.eagerStates) throw EagerBudgetExceeded{};
  dfa.cacheBytes_ +=
      set.Size() + sizeof(DFAState) + 2 * sizeof(std::int32_t) + sizeof(std::uint64_t);
  if (building_ && dfa.cacheBytes_ > limits_.eagerBytes) throw EagerBudgetExceeded{};
  states.emplace_back(set);
  DFAState& added = states.back();
  added.accepting = set.Has(index_.Exit()) ? 0xFFFF : 0;
  stateHashes_.push_back(hash);
  const auto index = static_cast<std::int32_t>(states.size() - 1);

  if (states.size() * 2 > hashTable_.size()) {
    // Grow to keep the table at most half full, and re-place every state.
    hashTable_.assign(std::max<std::size_t>(64, hashTable_.size() * 2), kNoState);
    const std::size_t mask = hashTable_.size() - 1;
    for (std::size_t s = 0; s < states.size(); ++s) {
      std::size_t slot = stateHashes_[s] & mask;
      while (hashTable_[slot] != kNoState) slot = (slot + 1) & mask;
      hashTable_[slot] = static_cast<std::int32_t>(s);
    }
  } else {
    const std::size_t mask = hashTable_.size() - 1;
    std::size_t slot = hash & mask;
    while (hashTable_[slot] != kNoState) slot = (slot + 1) & mask;
    hashTable_[slot] = index;
  }
  return index;
}

}  // namespace SjisRegExp
