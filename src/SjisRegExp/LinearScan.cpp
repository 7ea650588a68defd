// The one-pass leftmost-longest search: every start's DFA walk run side by side, one
// thread per live DFA state.
#include "LinearScan.h"

#include <algorithm>
#include <cassert>

#include "DFA.h"

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

MatchSpan LinearScan(const TRE_DFA& dfa, const char* p, const char* end, bool lineHeadAtP,
                     const ScanRules& rules) {
  LinearScanScratch& scratch = dfa.Scratch();
  scratch.Prepare(dfa.StateCount());
  auto& current = scratch.current;
  auto& next = scratch.next;
  current.clear();
  std::uint32_t* seen = scratch.seen.data();

  MatchSpan best;
  // A match of start s ending at e: the earliest start wins, then the longest end.
  const auto record = [&best](const char* s, const char* e) {
    if (best.start == nullptr || s < best.start) {
      best = {s, e};
    } else if (s == best.start && e > best.end) {
      best.end = e;
    }
  };
  std::int32_t headState = rules.lineHeadMark ? dfa.NextState(0, rules.lineHeadCode) : kNoState;
  std::uint32_t stamp = scratch.NewStamp();
  bool lineHead = lineHeadAtP;
  const char* pos = p;
  for (;;) {
    if (dfa.CacheFull()) {
      // A lazy automaton's cache is cleared between steps, keeping the threads' states.
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
      headState = rules.lineHeadMark ? dfa.NextState(0, rules.lineHeadCode) : kNoState;
    }
    const bool atEnd = pos >= end || *pos == 0;
    // New starts, while no start is known to match (a later one could not win).
    if (best.start == nullptr) {
      const auto start = [&](std::int32_t state) {
        if (state == kNoState) return;
        if (static_cast<std::size_t>(state) >= scratch.seen.size()) {
          scratch.seen.resize(std::max(dfa.StateCount(), 2 * scratch.seen.size()), 0);
          seen = scratch.seen.data();
        }
        if (seen[state] != stamp) {
          seen[state] = stamp;
          current.push_back({state, pos});
        }
      };
      if (lineHead) start(headState);
      start(0);
    }
    for (const auto& t : current) {
      if (dfa.Accepting(t.state)) record(t.start, pos);
    }
    if (atEnd) {
      // Every walk dies at the end of the text; one in a state with a line-tail
      // transition matches up to here.
      for (const auto& t : current) {
        if (best.start != nullptr && t.start > best.start) break;
        if (rules.lineTailRule && dfa.NextState(t.state, rules.lineTailCode) != kNoState) {
          record(t.start, pos);
        }
      }
      break;
    }
    const char* after = pos;
    const CharCode code = NextChar(after, end);
    stamp = scratch.NewStamp();
    next.clear();
    for (const auto& t : current) {
      // Threads are in start order: past the matching start, nothing can win.
      if (best.start != nullptr && t.start > best.start) break;
      const std::int32_t target = dfa.NextState(t.state, code);
      if (target == kNoState) {
        if (rules.lineTailRule && code == rules.separator &&
            dfa.NextState(t.state, rules.lineTailCode) != kNoState) {
          record(t.start, pos);
        }
        continue;
      }
      if (static_cast<std::size_t>(target) >= scratch.seen.size()) {
        // A lazy automaton has grown during this step.
        scratch.seen.resize(std::max(dfa.StateCount(), 2 * scratch.seen.size()), 0);
        seen = scratch.seen.data();
      }
      if (seen[target] != stamp) {
        seen[target] = stamp;
        next.push_back({target, t.start});
      }
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

}  // namespace SjisRegExp
