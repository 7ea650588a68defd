// The one-pass leftmost-longest search: every start's DFA walk run side by side, one
// thread per live DFA state; and the policy for a lazy automaton's cache during the pass.
#include "LinearScan.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <type_traits>

#include "DFA.h"
#include "SetScan.h"

namespace SjisRegExp {

void LinearScanScratch::Prepare(std::size_t stateCount) {
  // One thread per state, and one more for the second reading of a line-head start
  // before it is merged.
  if (current.capacity() < stateCount + 2) {
    current.reserve(stateCount + 2);
    next.reserve(stateCount + 2);
  }
  if (seen.size() < stateCount) seen.resize(stateCount, 0);
}

std::uint32_t LinearScanScratch::NewStamp() {
  if (++stamp == 0) {
    std::fill(seen.begin(), seen.end(), 0u);
    stamp = 1;
  }
  return stamp;
}

namespace {

// What the pass does with a lazy automaton's cache. It looks each time the cache has grown
// by an eighth of its bound: if the pass has built a state for less than every
// thrashBytesPerState bytes it advanced since the last look, caching does not pay and the
// pass goes on over NFA sets (kGiveUp); otherwise a cache past its bound is cleared
// (kClear), keeping the threads' states.
class LazyCachePolicy {
 public:
  enum Decision { kGoOn, kClear, kGiveUp };

  LazyCachePolicy(const TRE_DFA& dfa, const char* start)
      : bound_(dfa.Limits().cacheBytes),
        since_(start),
        statesBefore_(dfa.StateCount()),
        nextCheck_(NextCheck(dfa)) {}

  Decision Look(const TRE_DFA& dfa, const char* pos) {
    if (dfa.CacheBytes() <= nextCheck_) return kGoOn;
    const std::size_t built = dfa.StateCount() - std::min(statesBefore_, dfa.StateCount());
    if (static_cast<std::size_t>(pos - since_) < dfa.Limits().thrashBytesPerState * built) {
      return kGiveUp;
    }
    nextCheck_ = NextCheck(dfa);
    return dfa.CacheFull() ? kClear : kGoOn;
  }
  // After the cache was cleared at pos.
  void Cleared(const TRE_DFA& dfa, const char* pos) {
    since_ = pos;
    statesBefore_ = dfa.StateCount();
    nextCheck_ = NextCheck(dfa);
  }

 private:
  std::size_t NextCheck(const TRE_DFA& dfa) const {
    return std::min(dfa.CacheBytes() + bound_ / 8, bound_);
  }

  std::size_t bound_;
  const char* since_;
  std::size_t statesBefore_;
  std::size_t nextCheck_;
};

}  // namespace

template <bool kZeroEnds, typename Automaton>
MatchSpan LinearScan(Automaton& dfa, LinearScanScratch& scratch, const char* p, const char* end,
                     bool lineHeadAtP, const ScanRules& rules) {
  constexpr bool kLazy = !std::is_const_v<Automaton>;
  assert(kLazy == dfa.Lazy());
  scratch.Prepare(dfa.StateCount());
  auto& current = scratch.current;
  auto& next = scratch.next;
  current.clear();
  std::uint32_t* seen = scratch.seen.data();

  MatchSpan best;
  std::int32_t headState = rules.lineHeadMark ? Step(dfa, 0, rules.lineHeadCode) : kNoState;
  std::uint32_t stamp = scratch.NewStamp();
  bool lineHead = lineHeadAtP;
  const char* pos = p;
  LazyCachePolicy policy(dfa, p);
  // Marks a thread's state as taken this step; a lazy automaton may have grown past the marks.
  const auto claim = [&](std::int32_t state) {
    if constexpr (kLazy) {
      if (static_cast<std::size_t>(state) >= scratch.seen.size()) {
        scratch.seen.resize(std::max(dfa.StateCount(), 2 * scratch.seen.size()), 0);
        seen = scratch.seen.data();
      }
    }
    if (seen[state] == stamp) return false;
    seen[state] = stamp;
    return true;
  };
  for (;;) {
    if constexpr (kLazy) {
      switch (policy.Look(dfa, pos)) {
        case LazyCachePolicy::kGoOn:
          break;
        case LazyCachePolicy::kGiveUp:
          ++scratch.uncachedSearches;
          return ContinueBySets<kZeroEnds>(dfa, pos, end, lineHead, rules, current, best);
        case LazyCachePolicy::kClear: {
          auto& ids = scratch.ids;
          ids.clear();
          for (const auto& t : current) ids.push_back(t.state);
          dfa.ResetCache(ids.data(), ids.size());
          stamp = scratch.NewStamp();
          seen = scratch.seen.data();
          for (std::size_t i = 0; i < current.size(); ++i) {
            current[i].state = ids[i];
            seen[ids[i]] = stamp;
          }
          headState = rules.lineHeadMark ? Step(dfa, 0, rules.lineHeadCode) : kNoState;
          policy.Cleared(dfa, pos);
          break;
        }
      }
    }
    const bool atEnd = AtTextEnd<kZeroEnds>(pos, end);
    // New starts, while no start is known to match (a later one could not win).
    if (best.start == nullptr) {
      if (lineHead && headState != kNoState && claim(headState))
        current.push_back({headState, pos});
      if (claim(0)) current.push_back({0, pos});
    }
    for (const auto& t : current) {
      if (dfa.Accepting(t.state)) Record(best, t.start, pos);
    }
    if (atEnd) {
      // Every walk dies at the end of the text; one in a state with a line-tail
      // transition matches up to here.
      for (const auto& t : current) {
        if (best.start != nullptr && t.start > best.start) break;
        if (rules.lineTailRule && Step(dfa, t.state, rules.lineTailCode) != kNoState) {
          Record(best, t.start, pos);
        }
      }
      break;
    }
    const char* after = pos;
    const CharCode code = ReadChar<kZeroEnds>(after, end);
    stamp = scratch.NewStamp();
    next.clear();
    for (const auto& t : current) {
      // Threads are in start order: past the matching start, nothing can win.
      if (best.start != nullptr && t.start > best.start) break;
      const std::int32_t target = Step(dfa, t.state, code);
      if (target == kNoState) {
        if (rules.lineTailRule && rules.separator != 0 && code == rules.separator &&
            Step(dfa, t.state, rules.lineTailCode) != kNoState) {
          Record(best, t.start, pos);
        }
        continue;
      }
      if (claim(target)) next.push_back({target, t.start});
    }
    current.swap(next);
    assert(std::is_sorted(current.begin(), current.end(),
                          [](const auto& a, const auto& b) { return a.start < b.start; }));
    pos = after;
    lineHead = rules.lineHeadMark && code == '\n';
    if (best.start != nullptr && current.empty()) break;
  }
  return best;
}

template MatchSpan LinearScan<true, const TRE_DFA>(const TRE_DFA&, LinearScanScratch&, const char*,
                                                   const char*, bool, const ScanRules&);
template MatchSpan LinearScan<false, const TRE_DFA>(const TRE_DFA&, LinearScanScratch&, const char*,
                                                    const char*, bool, const ScanRules&);
template MatchSpan LinearScan<true, TRE_DFA>(TRE_DFA&, LinearScanScratch&, const char*, const char*,
                                             bool, const ScanRules&);
template MatchSpan LinearScan<false, TRE_DFA>(TRE_DFA&, LinearScanScratch&, const char*,
                                              const char*, bool, const ScanRules&);

}  // namespace SjisRegExp
