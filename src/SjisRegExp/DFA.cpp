// TRE_DFA: its construction through TRE_DFABuilder, whole or started lazily, the tables
// the scans read, and the on-demand steps and cache clearing of a lazy automaton.
#include "DFA.h"

#include <algorithm>
#include <cassert>
#include <cstring>

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
  BuildDenseTable();
  BuildStartCodes();
#ifndef NDEBUG
  // Where the initial state does not accept, the bitmap gives the walk's result.
  for (std::uint32_t c = 0; c < 65536 && !Accepting(0); c += 7) {
    assert(CanStartWith(static_cast<CharCode>(c)) ==
           (NextStateBySortedList(0, static_cast<CharCode>(c)) != kNoState));
  }
#endif
  BuildStopList();
  BuildLiteralPrefix();
  acceptingFlags_.resize(states_.size());
  for (std::size_t i = 0; i < states_.size(); ++i) {
    acceptingFlags_[i] = Accepting(static_cast<std::int32_t>(i)) ? 1 : 0;
  }
  // Small automata get the one-pass search's memory now, so that no match allocates.
  if (states_.size() <= kMaxDenseStates) scratch_.Prepare(states_.size());
  builder_.reset();
}

// A lazy automaton starts with its initial state alone, unexpanded. It has no tables: the
// scans that use them are not run on it, and every byte may begin a match for all that
// the stop table knows.
void TRE_DFA::StartLazy() {
  lazy_ = true;
  plainSearch_ = kOnePass;
  literalPrefix_.clear();
  builder_->Restart(*this);
  for (std::uint8_t& stop : stopByte_) stop = 1;
  for (std::uint8_t& entry : firstByte_) entry = 0;
  stopListSize_ = 0;
  startCodes_.clear();
  dense_.clear();
  acceptingFlags_.clear();
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

void TRE_DFA::BuildDenseTable() {
  if (states_.size() > kMaxDenseStates) return;
  dense_.assign(states_.size() * 256, kNoState);
  // The walk's result, range by range: the walk hands a code to the first transition
  // (in sorted order) whose end is at or above it, and takes it when the code is also
  // at or above that start. So each transition decides the codes between the largest
  // end before it and its own end.
  for (std::size_t s = 0; s < states_.size(); ++s) {
    const auto si = static_cast<std::int32_t>(s);
    std::int32_t decidedUpTo = -1;
    for (const DFATransition* t = TransitionsBegin(si); t != TransitionsEnd(si); ++t) {
      if (decidedUpTo >= 255) break;
      const std::int32_t from = std::max<std::int32_t>(decidedUpTo + 1, t->range.start);
      const std::int32_t to = std::min<std::int32_t>(t->range.end, 255);
      for (std::int32_t c = from; c <= to; ++c)
        dense_[s * 256 + static_cast<std::size_t>(c)] = t->target;
      decidedUpTo = std::max<std::int32_t>(decidedUpTo, t->range.end);
    }
  }
#ifndef NDEBUG
  // Each row gives the walk's result for every single-byte code.
  for (std::size_t st = 0; st < states_.size(); ++st) {
    for (CharCode c = 0; c < 256; ++c) {
      assert(dense_[st * 256 + c] == NextStateBySortedList(static_cast<std::int32_t>(st), c));
    }
  }
#endif
}

void TRE_DFA::BuildStartCodes() {
  for (std::uint8_t& stop : stopByte_) stop = 1;
  if (Accepting(0)) return;
  startCodes_.assign(65536 / 64, 0);
  // The walk hands a code to the first transition (in sorted order) whose end is at
  // or above it, and succeeds when the code is also at or above that start. So each
  // transition decides the codes between the largest end before it and its own end.
  std::int32_t decidedUpTo = -1;
  for (const DFATransition* t = TransitionsBegin(0); t != TransitionsEnd(0); ++t) {
    const std::int32_t from = std::max<std::int32_t>(decidedUpTo + 1, t->range.start);
    for (std::int32_t c = from; c <= t->range.end;) {
      const auto word = static_cast<std::size_t>(c) >> 6;
      const int bit = c & 63;
      const int count = std::min<std::int32_t>(64 - bit, t->range.end - c + 1);
      const std::uint64_t mask =
          count == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << count) - 1);
      startCodes_[word] |= mask << bit;
      c += count;
    }
    decidedUpTo = std::max<std::int32_t>(decidedUpTo, t->range.end);
  }
  for (unsigned b = 1; b < 256; ++b) {
    if (!IsLeadByte(static_cast<unsigned char>(b))) {
      firstByte_[b] = CanStartWith(static_cast<CharCode>(b)) ? 0 : 1;
      continue;
    }
    // The 256 codes of this lead are the four words b * 4 .. b * 4 + 3.
    bool any = false;
    bool all = true;
    for (std::size_t w = b * 4; w < b * 4 + 4; ++w) {
      any = any || startCodes_[w] != 0;
      all = all && startCodes_[w] == ~std::uint64_t{0};
    }
    firstByte_[b] = all ? 0 : (any ? 3 : 2);
  }
  // A lead byte also stops the scan when it could start a match as a character of its
  // own, which it is when nothing follows it.
  for (unsigned b = 1; b < 256; ++b) {
    stopByte_[b] = firstByte_[b] == 0 || firstByte_[b] == 3 ||
                   (IsLeadByte(static_cast<unsigned char>(b)) && CanStartWith(CharCode(b)));
  }
}

namespace {

// How often a byte turns up in the logs this library searches, roughly: ASCII lower case,
// space and the hiragana and katakana lead bytes most, kanji lead bytes and trail-only
// values less, control characters and rare symbols least.
int Commonness(unsigned char b) {
  if (b == ' ' || (b >= 'a' && b <= 'z') || b == 0x81 || b == 0x82 || b == 0x83) return 9;
  if (b >= '0' && b <= '9') return 7;
  if (b >= 'A' && b <= 'Z') return 6;
  if (b >= 0x40 && b <= 0xFC) return 5;  // trail bytes, kanji leads, half-width kana
  return 3;
}

}  // namespace

void TRE_DFA::BuildLiteralPrefix() {
  literalPrefix_.clear();
  rareIndex_ = 0;
  if (Accepting(0)) return;
  // From the initial state, while a state does not accept and has exactly one transition
  // and that transition is on one character that a text can hold, every match begins with
  // that character.
  std::int32_t s = 0;
  for (std::size_t steps = 0; steps < 64 && !Accepting(s) && states_[s].transitionCount == 1;
       ++steps) {
    const DFATransition& t = *TransitionsBegin(s);
    const CharCode c = t.range.start;
    if (t.range.end != c) break;
    const auto hi = static_cast<unsigned char>(c >> 8);
    const auto lo = static_cast<unsigned char>(c & 0xFF);
    if (c < 256 && lo != 0 && !IsLeadByte(lo)) {
      literalPrefix_ += static_cast<char>(lo);
    } else if (IsLeadByte(hi) && lo != 0) {
      literalPrefix_ += static_cast<char>(hi);
      literalPrefix_ += static_cast<char>(lo);
    } else {
      break;
    }
    s = t.target;
  }
  if (literalPrefix_.size() < 2) {
    literalPrefix_.clear();
    return;
  }
  plainSearch_ = kByLiteral;
  for (std::size_t i = 1; i < literalPrefix_.size(); ++i) {
    if (Commonness(static_cast<unsigned char>(literalPrefix_[i])) <
        Commonness(static_cast<unsigned char>(literalPrefix_[rareIndex_]))) {
      rareIndex_ = i;
    }
  }
}

void TRE_DFA::BuildStopList() {
  int count = 0;
  for (unsigned b = 0; b < 256; ++b) {
    if (stopByte_[b] == 0) continue;
    if (count == kMaxStopList) {
      stopListSize_ = 0;
      for (std::uint8_t& entry : stopList_) entry = 0;
      return;
    }
    stopList_[count++] = static_cast<std::uint8_t>(b);
  }
  stopListSize_ = count;
  for (int i = 0; i < kMaxStopList; ++i) {
    for (std::uint8_t& key : stopKeys_[i]) key = stopList_[i];
  }
}

}  // namespace SjisRegExp
