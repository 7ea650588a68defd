// TRE_DFA: its construction through TRE_DFABuilder, whole or started lazily, and the
// on-demand steps and cache clearing of a lazy automaton.
#include "DFA.h"

#include <cassert>

#include "DFABuilder.h"

namespace SjisRegExp {

TRE_DFA::TRE_DFA(const TRE_NFAIndex& index, DFALimits limits) : index_(index), limits_(limits) {}

TRE_DFA::~TRE_DFA() = default;

void TRE_DFA::Build() {
  builder_ = std::make_unique<TRE_DFABuilder>(index_, limits_);
  if (!builder_->BuildWhole(*this)) {
    StartLazy();
    return;
  }
  accel_.Build(*this);
  builder_.reset();
}

void TRE_DFA::BuildLazy() {
  builder_ = std::make_unique<TRE_DFABuilder>(index_, limits_);
  StartLazy();
}

// A lazy automaton starts with its initial state alone, unexpanded. It has no tables: the
// scans that use them are not run on it, and every byte may begin a match for all that
// the stop table knows.
void TRE_DFA::StartLazy() {
  lazy_ = true;
  accel_.Clear();
  builder_->Restart(*this);
}

void TRE_DFA::ExpandOnDemand(std::int32_t s) {
  // Only a lazy automaton has unexpanded states after Build.
  assert(lazy_);
  builder_->Expand(*this, s);
}

bool TRE_DFA::StepSet(const std::uint8_t* from, CharCode code, std::uint8_t* to) {
  assert(lazy_);
  return builder_->StepSet(from, code, to);
}

void TRE_DFA::ResetCache(std::int32_t* ids, std::size_t count) {
  assert(lazy_);
  std::vector<TRE_NFAStateSet> keep;
  keep.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    keep.push_back(states_[static_cast<std::size_t>(ids[i])].states);
  }
  StartLazy();
  for (std::size_t i = 0; i < count; ++i) ids[i] = builder_->FindOrAddState(*this, keep[i]);
  ++cacheResets_;
}

}  // namespace SjisRegExp
