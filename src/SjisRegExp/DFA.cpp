// The subset construction of TRE_DFA, whole at compile time or state by state on demand,
// with the tables the scans read and the NFA-set step of a search that stops caching.
#include "DFA.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <unordered_map>

#include "Parser.h"

namespace SjisRegExp {

namespace {

std::uint64_t HashSet(const TRE_NFAStateSet& set) {
  std::uint64_t h = 0xcbf29ce484222325ull;  // FNV-1a
  const std::uint8_t* b = set.Bytes();
  for (std::size_t i = 0, n = set.Size(); i < n; ++i) {
    h ^= b[i];
    h *= 0x100000001b3ull;
  }
  return h ^ (h >> 29);
}

// Calls f(i) for each member of the set, in ascending order.
template <typename F>
void ForEachMember(const std::uint8_t* b, std::size_t n, F&& f) {
  for (std::size_t byte = 0; byte < n; ++byte) {
    unsigned bits = b[byte];
    while (bits != 0) {
      const int bit = __builtin_ctz(bits);
      bits &= bits - 1;
      f(static_cast<std::int32_t>(byte * 8 + static_cast<std::size_t>(bit)));
    }
  }
}

template <typename F>
void ForEachMember(const TRE_NFAStateSet& set, F&& f) {
  ForEachMember(set.Bytes(), set.Size(), f);
}

}  // namespace

// Thrown inside Build when the whole construction passes the eager budget.
struct EagerBudgetExceeded {};

void TRE_DFA::CountWork(std::uint64_t units) {
  work_ += units;
  if (building_ && work_ > limits_.eagerWork) throw EagerBudgetExceeded{};
}

void TRE_DFA::Build() {
  lineHeadMark_ = nfa_->LineHeadMark();
  lineTailMark_ = nfa_->LineTailMark();
  nfaStates_ = nfa_->StateCount();
  nfaExit_ = nfa_->ExitState();
  IndexNFA();
  building_ = true;
  try {
    TRE_NFAStateSet initial(nfaStates_);
    initial.Include(nfa_->EntryState());
    Closure(initial);
    FindOrAddState(initial);
    // States are appended while the loop runs and expanded in creation order.
    for (std::size_t k = 0; k < states_.size(); ++k) Expand(static_cast<std::int32_t>(k));
  } catch (const EagerBudgetExceeded&) {
    building_ = false;
    StartLazy();
    return;
  }
  building_ = false;
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
  FreeBuildData();
}

void TRE_DFA::FreeBuildData() {
  epsBegin_ = {};
  epsTargets_ = {};
  charBegin_ = {};
  charMoves_ = {};
  ranges_ = {};
  moveOfRange_ = {};
  moves_ = {};
  moveSets_ = {};
  hashTable_ = {};
  stateHashes_ = {};
  worklist_ = {};
}

void TRE_DFA::ClearStates() {
  states_.clear();
  transitions_.clear();
  hashTable_.clear();
  stateHashes_.clear();
  cacheBytes_ = 0;
}

// A lazy automaton starts with its initial state alone, unexpanded. It has no tables: the
// scans that use them are not run on it, and every byte may begin a match for all that
// the stop table knows.
void TRE_DFA::StartLazy() {
  lazy_ = true;
  plainSearch_ = kOnePass;
  literalPrefix_.clear();
  stepSet_ = TRE_NFAStateSet(nfaStates_);
  ClearStates();
  TRE_NFAStateSet initial(nfaStates_);
  initial.Include(0);
  Closure(initial);
  FindOrAddState(initial);
  for (std::uint8_t& stop : stopByte_) stop = 1;
  for (std::uint8_t& entry : firstByte_) entry = 0;
  stopListSize_ = 0;
  startCodes_.clear();
  dense_.clear();
  acceptingFlags_.clear();
}

void TRE_DFA::Expand(std::int32_t s) {
  const auto k = static_cast<std::size_t>(s);
  states_[k].expanded = 0xFFFF;
  ComputeMoves(s);
  // The move list holds the newest move first; targets are found in that order (which
  // numbers the new states), and each transition is put in front of the state's list,
  // which leaves the list in move-creation order; then it is sorted by start code,
  // stably.
  std::vector<std::int32_t> targets(moves_.size(), kNoState);
  for (std::size_t m = moves_.size(); m-- > 0;) {
    TRE_NFAStateSet& set = moveSets_[moves_[m].set];
    Closure(set);
    targets[m] = FindOrAddState(set);
  }
  states_[k].firstTransition = static_cast<std::uint32_t>(transitions_.size());
  states_[k].transitionCount = static_cast<std::uint32_t>(moves_.size());
  for (std::size_t m = 0; m < moves_.size(); ++m) {
    transitions_.push_back({moves_[m].range, targets[m]});
  }
  cacheBytes_ += moves_.size() * sizeof(DFATransition);
  if (building_ && cacheBytes_ > limits_.eagerBytes) throw EagerBudgetExceeded{};
  auto* begin = transitions_.data() + states_[k].firstTransition;
  std::stable_sort(
      begin, begin + states_[k].transitionCount,
      [](const DFATransition& a, const DFATransition& b) { return a.range.start < b.range.start; });
#ifndef NDEBUG
  for (const auto* t = begin; t + 1 < begin + states_[k].transitionCount; ++t) {
    assert(t->range.start <= t[1].range.start);
  }
  for (const auto* t = begin; t < begin + states_[k].transitionCount; ++t) {
    assert(t->range.start <= t->range.end && t->target >= 0);
  }
#endif
}

void TRE_DFA::ExpandOnDemand(std::int32_t s) const {
  // Only a lazy automaton has unexpanded states after Build. It is created and owned as
  // a mutable object by its cache entry; growing it is part of matching, which the
  // component does for one caller at a time.
  assert(lazy_);
  const_cast<TRE_DFA*>(this)->Expand(s);
}

bool TRE_DFA::StepSet(const std::uint8_t* from, CharCode code, std::uint8_t* to) const {
  assert(lazy_);
  // The transition the sorted walk takes is the first, by start code and then by the
  // order in which ComputeMoves meets the ranges, whose range holds the code: members in
  // ascending order, each one's transitions in list order, as below.
  std::int32_t chosen = -1;
  ForEachMember(from, SetBytes(), [&](std::int32_t i) {
    const auto k = static_cast<std::size_t>(i);
    for (std::uint32_t c = charBegin_[k]; c < charBegin_[k + 1]; ++c) {
      const auto r = static_cast<std::int32_t>(charMoves_[c].range);
      const CharRange& range = ranges_[static_cast<std::size_t>(r)];
      if (range.start <= code && code <= range.end &&
          (chosen < 0 || range.start < ranges_[static_cast<std::size_t>(chosen)].start)) {
        chosen = r;
      }
    }
  });
  if (chosen < 0) return false;
  if (to == nullptr) return true;
  auto* self = const_cast<TRE_DFA*>(this);
  TRE_NFAStateSet& set = self->stepSet_;
  set.Clear();
  ForEachMember(from, SetBytes(), [&](std::int32_t i) {
    const auto k = static_cast<std::size_t>(i);
    for (std::uint32_t c = charBegin_[k]; c < charBegin_[k + 1]; ++c) {
      if (static_cast<std::int32_t>(charMoves_[c].range) == chosen)
        set.Include(charMoves_[c].target);
    }
  });
  self->Closure(set);
  std::memcpy(to, set.Bytes(), set.Size());
  return true;
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
  for (std::size_t i = 0; i < count; ++i) ids[i] = self->FindOrAddState(keep[i]);
  ++cacheResets_;
}

void TRE_DFA::IndexNFA() {
  const std::size_t n = nfaStates_;
  epsBegin_.assign(n + 1, 0);
  charBegin_.assign(n + 1, 0);
  std::unordered_map<std::uint32_t, std::uint32_t> rangeIds;
  for (std::size_t i = 0; i < n; ++i) {
    epsBegin_[i] = static_cast<std::uint32_t>(epsTargets_.size());
    charBegin_[i] = static_cast<std::uint32_t>(charMoves_.size());
    for (std::int32_t t = nfa_->FirstTransition(static_cast<std::int32_t>(i)); t >= 0;) {
      const NFATransition& tr = nfa_->Transition(t);
      t = tr.next;
      CountWork(1);
      if (tr.range.start == EpsilonCode) {
        epsTargets_.push_back(tr.target);
        continue;
      }
      const std::uint32_t key = static_cast<std::uint32_t>(tr.range.start) << 16 | tr.range.end;
      const auto [it, added] = rangeIds.emplace(key, static_cast<std::uint32_t>(ranges_.size()));
      if (added) ranges_.push_back(tr.range);
      charMoves_.push_back({it->second, tr.target});
    }
  }
  epsBegin_[n] = static_cast<std::uint32_t>(epsTargets_.size());
  charBegin_[n] = static_cast<std::uint32_t>(charMoves_.size());
  moveOfRange_.assign(ranges_.size(), -1);
}

void TRE_DFA::Closure(TRE_NFAStateSet& set) {
  // Any visiting order gives the same set: every state reachable over empty
  // transitions from a member, cycles ending where a state is already included.
  worklist_.clear();
  CountWork(set.Size());
  ForEachMember(set, [this](std::int32_t i) { worklist_.push_back(i); });
  while (!worklist_.empty()) {
    const auto i = static_cast<std::size_t>(worklist_.back());
    worklist_.pop_back();
    CountWork(1 + epsBegin_[i + 1] - epsBegin_[i]);
    for (std::uint32_t e = epsBegin_[i]; e < epsBegin_[i + 1]; ++e) {
      const std::int32_t target = epsTargets_[e];
      if (!set.Has(target)) {
        set.Include(target);
        worklist_.push_back(target);
      }
    }
  }
}

void TRE_DFA::ComputeMoves(std::int32_t s) {
  moves_.clear();
  const std::size_t n = nfaStates_;
  const TRE_NFAStateSet& set = states_[static_cast<std::size_t>(s)].states;
  CountWork(set.Size());
  ForEachMember(set, [&](std::int32_t state) {
    const auto i = static_cast<std::size_t>(state);
    CountWork(1 + charBegin_[i + 1] - charBegin_[i]);
    for (std::uint32_t c = charBegin_[i]; c < charBegin_[i + 1]; ++c) {
      const CharMove& cm = charMoves_[c];
      const std::int32_t existing = moveOfRange_[cm.range];
      if (existing >= 0) {
        moveSets_[moves_[static_cast<std::size_t>(existing)].set].Include(cm.target);
        continue;
      }
      const std::size_t index = moves_.size();
      if (moveSets_.size() <= index) {
        moveSets_.emplace_back(n);
      } else {
        moveSets_[index].Clear();
      }
      CountWork(moveSets_[index].Size());
      moveSets_[index].Include(cm.target);
      moves_.push_back({ranges_[cm.range], cm.range, index});
      moveOfRange_[cm.range] = static_cast<std::int32_t>(index);
    }
  });
  for (const Move& m : moves_) moveOfRange_[m.rangeId] = -1;
}

std::int32_t TRE_DFA::FindOrAddState(TRE_NFAStateSet& set) {
  // Equal sets are found through their hash; there is never more than one state per
  // set, so this is the state a search of the list in order would find.
  CountWork(set.Size());
  const std::uint64_t hash = HashSet(set);
  if (!hashTable_.empty()) {
    const std::size_t mask = hashTable_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::int32_t s = hashTable_[slot];
      if (s == kNoState) break;
      if (stateHashes_[static_cast<std::size_t>(s)] == hash &&
          states_[static_cast<std::size_t>(s)].states.Equals(set)) {
        CountWork(set.Size());
        return s;
      }
    }
  }
  if (building_ && states_.size() >= limits_.eagerStates) throw EagerBudgetExceeded{};
  cacheBytes_ += set.Size() + sizeof(DFAState) + 2 * sizeof(std::int32_t) + sizeof(std::uint64_t);
  if (building_ && cacheBytes_ > limits_.eagerBytes) throw EagerBudgetExceeded{};
  states_.emplace_back(set);
  DFAState& added = states_.back();
  added.accepting = set.Has(nfaExit_) ? 0xFFFF : 0;
  stateHashes_.push_back(hash);
  const auto index = static_cast<std::int32_t>(states_.size() - 1);

  if (states_.size() * 2 > hashTable_.size()) {
    // Grow to keep the table at most half full, and re-place every state.
    hashTable_.assign(std::max<std::size_t>(64, hashTable_.size() * 2), kNoState);
    const std::size_t mask = hashTable_.size() - 1;
    for (std::size_t s = 0; s < states_.size(); ++s) {
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
