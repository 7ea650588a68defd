// TRE_DFA: its construction through TRE_DFABuilder, whole or started lazily, and the
// on-demand steps and cache clearing of a lazy automaton.
#include "DFA.h"

#include <cassert>

#include "DFABuilder.h"

namespace SjisRegExp {

TRE_DFA::TRE_DFA(const TRE_NFA& nfa, DFALimits limits) : nfa_(&nfa), limits_(limits) {}

TRE_DFA::~TRE_DFA() = default;

void TRE_DFA::Build() {
  lineHeadMark_ = nfa_->LineHeadMark();
  lineTailMark_ = nfa_->LineTailMark();
  nfaStates_ = nfa_->StateCount();
  nfaExit_ = nfa_->ExitState();
  builder_ = std::make_unique<TRE_DFABuilder>(*nfa_, limits_);
  if (!builder_->BuildWhole(*this)) {
    StartLazy();
    return;
  }
  accel_.Build(*this);
  // Small automata get the one-pass search's memory now, so that no match allocates.
  if (states_.size() <= kMaxDenseStates) scratch_.Prepare(states_.size());
  builder_.reset();
}

// A lazy automaton starts with its initial state alone, unexpanded. It has no tables: the
// scans that use them are not run on it, and every byte may begin a match for all that
// the stop table knows.
void TRE_DFA::StartLazy() {
  lazy_ = true;
  accel_.Clear();
  builder_->Restart(*this);
}

void TRE_DFA::ExpandOnDemand(std::int32_t s) const {
  // Only a lazy automaton has unexpanded states after Build. It is created and owned as
  // a mutable object by its cache entry; growing it is part of matching, which the
  // component does for one caller at a time.
  assert(lazy_);
  builder_->Expand(const_cast<TRE_DFA&>(*this), s);
}

bool TRE_DFA::StepSet(const std::uint8_t* from, CharCode code, std::uint8_t* to) const {
  assert(lazy_);
  return builder_->StepSet(*this, from, code, to);
}

void TRE_DFA::ResetCache(std::int32_t* ids, std::size_t count) const {
  assert(lazy_);
  auto* self = const_cast<TRE_DFA*>(this);
  std::vector<TRE_NFAStateSet> keep;
  keep.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    keep.push_back(states_[static_cast<std::size_t>(ids[i])].states);
  }
  self->StartLazy();
  for (std::size_t i = 0; i < count; ++i) ids[i] = builder_->FindOrAddState(*self, keep[i]);
  ++cacheResets_;
}

}  // namespace SjisRegExp
