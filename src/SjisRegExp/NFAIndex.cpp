// TRE_NFAIndex: the NFA's transitions split by kind, and the set operations on them.
#include "NFAIndex.h"

#include <algorithm>
#include <cassert>
#include <unordered_map>

namespace SjisRegExp {

TRE_NFAIndex::TRE_NFAIndex(const TRE_NFA& nfa)
    : stateCount_(nfa.StateCount()),
      entry_(nfa.EntryState()),
      exit_(nfa.ExitState()),
      lineHeadMark_(nfa.LineHeadMark()),
      lineTailMark_(nfa.LineTailMark()) {
  const std::size_t n = stateCount_;
  epsBegin_.assign(n + 1, 0);
  charBegin_.assign(n + 1, 0);
  std::unordered_map<std::uint32_t, std::uint32_t> rangeIds;
  for (std::size_t i = 0; i < n; ++i) {
    epsBegin_[i] = static_cast<std::uint32_t>(epsTargets_.size());
    charBegin_[i] = static_cast<std::uint32_t>(charMoves_.size());
    for (std::int32_t t = nfa.FirstTransition(static_cast<std::int32_t>(i)); t >= 0;) {
      const NFATransition& tr = nfa.Transition(t);
      t = tr.next;
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
  std::vector<CharRange> sorted = ranges_;
  std::sort(sorted.begin(), sorted.end(),
            [](const CharRange& a, const CharRange& b) { return a.start < b.start; });
  for (std::size_t i = 1; i < sorted.size(); ++i) {
    if (sorted[i].start <= sorted[i - 1].end) rangesOverlap_ = true;
  }
}

std::uint64_t TRE_NFAIndex::Closure(TRE_NFAStateSet& set,
                                    std::vector<std::int32_t>& worklist) const {
  // Any visiting order gives the same set: every state reachable over empty transitions from
  // a member, cycles ending where a state is already included.
  std::uint64_t work = set.Size();
  worklist.clear();
  ForEachMember(set.Bytes(), set.Size(), [&worklist](std::int32_t i) { worklist.push_back(i); });
  while (!worklist.empty()) {
    const auto i = static_cast<std::size_t>(worklist.back());
    worklist.pop_back();
    work += 1 + epsBegin_[i + 1] - epsBegin_[i];
    for (const std::int32_t* e = EpsBegin(i); e != EpsEnd(i); ++e) {
      if (!set.Has(*e)) {
        set.Include(*e);
        worklist.push_back(*e);
      }
    }
  }
  return work;
}

bool TRE_NFAIndex::MoveAll(const std::uint8_t* from, CharCode code, TRE_NFAStateSet& to) const {
  bool any = false;
  ForEachMember(from, SetBytes(), [&](std::int32_t i) {
    const auto k = static_cast<std::size_t>(i);
    for (const CharMove* m = MovesBegin(k); m != MovesEnd(k); ++m) {
      const CharRange& range = ranges_[m->range];
      if (range.start <= code && code <= range.end) {
        to.Include(m->target);
        any = true;
      }
    }
  });
  return any;
}

bool TRE_NFAIndex::StepLikeDFA(const std::uint8_t* from, CharCode code, TRE_NFAStateSet* to) const {
  // The transition the sorted walk takes is the first, by start code and then by the order in
  // which the DFA's construction meets the ranges, whose range holds the code: members in
  // ascending order, each one's transitions in list order, as below.
  std::int64_t chosen = -1;
  ForEachMember(from, SetBytes(), [&](std::int32_t i) {
    const auto k = static_cast<std::size_t>(i);
    for (const CharMove* m = MovesBegin(k); m != MovesEnd(k); ++m) {
      const CharRange& range = ranges_[m->range];
      if (range.start <= code && code <= range.end &&
          (chosen < 0 || range.start < ranges_[static_cast<std::size_t>(chosen)].start)) {
        chosen = m->range;
      }
    }
  });
  if (chosen < 0) return false;
  if (to == nullptr) return true;
  ForEachMember(from, SetBytes(), [&](std::int32_t i) {
    const auto k = static_cast<std::size_t>(i);
    for (const CharMove* m = MovesBegin(k); m != MovesEnd(k); ++m) {
      if (m->range == chosen) to->Include(m->target);
    }
  });
  return true;
}

}  // namespace SjisRegExp
