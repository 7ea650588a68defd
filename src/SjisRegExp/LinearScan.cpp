// The one-pass leftmost-longest search: every start's DFA walk run side by side, one
// thread per live DFA state.
#include "LinearScan.h"

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

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

namespace {

// Threads of the set form, in start order, their sets side by side in one byte array; a
// thread whose set equals one already there is not added (the earlier start keeps it).
class SetThreads {
 public:
  explicit SetThreads(std::size_t setBytes) : width_(setBytes) {}

  struct Thread {
    std::size_t offset;
    const char* start;
  };

  void Clear() {
    threads_.clear();
    bytes_.clear();
    hashes_.clear();
    if (++stamp_ == 0) {
      std::fill(slotStamp_.begin(), slotStamp_.end(), 0u);
      stamp_ = 1;
    }
  }
  // Adds the set unless it is there already.
  void Add(const std::uint8_t* set, const char* start) {
    std::uint64_t h = 0xcbf29ce484222325ull;
    for (std::size_t i = 0; i < width_; ++i) h = (h ^ set[i]) * 0x100000001b3ull;
    if (2 * (threads_.size() + 1) > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = h & mask;; slot = (slot + 1) & mask) {
      if (slotStamp_[slot] != stamp_) {
        slotStamp_[slot] = stamp_;
        slots_[slot] = static_cast<std::uint32_t>(threads_.size());
        break;
      }
      const std::uint32_t other = slots_[slot];
      if (hashes_[other] == h && std::memcmp(Set(other), set, width_) == 0) return;
    }
    threads_.push_back({bytes_.size(), start});
    hashes_.push_back(h);
    bytes_.insert(bytes_.end(), set, set + width_);
  }
  std::size_t Size() const { return threads_.size(); }
  const char* Start(std::size_t i) const { return threads_[i].start; }
  const std::uint8_t* Set(std::size_t i) const { return bytes_.data() + threads_[i].offset; }

 private:
  void Grow() {
    const std::size_t size = std::max<std::size_t>(64, slots_.size() * 2);
    slots_.assign(size, 0);
    slotStamp_.assign(size, 0);
    stamp_ = 1;
    const std::size_t mask = size - 1;
    for (std::size_t i = 0; i < threads_.size(); ++i) {
      std::size_t slot = hashes_[i] & mask;
      while (slotStamp_[slot] == stamp_) slot = (slot + 1) & mask;
      slotStamp_[slot] = stamp_;
      slots_[slot] = static_cast<std::uint32_t>(i);
    }
  }

  std::size_t width_;
  std::vector<Thread> threads_;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint64_t> hashes_;
  std::vector<std::uint32_t> slots_;
  std::vector<std::uint32_t> slotStamp_;
  std::uint32_t stamp_ = 1;
};

// The rest of LinearScan from pos when a lazy automaton's cache thrashes (it fills again
// before the text has advanced ten bytes per state it holds): the same threads, each with
// the NFA set of its state instead of a cached state, stepped with StepSet. The steps
// are those of the DFA walk, so the result is the same; only nothing is cached.
MatchSpan ContinueBySets(const TRE_DFA& dfa, const char* pos, const char* end, bool lineHead,
                         const ScanRules& rules,
                         const std::vector<LinearScanScratch::Thread>& threads, MatchSpan best) {
  const std::size_t width = dfa.SetBytes();
  SetThreads current(width);
  SetThreads next(width);
  current.Clear();
  for (const auto& t : threads) current.Add(dfa.SetOf(t.state), t.start);
  const std::vector<std::uint8_t> initial(dfa.SetOf(0), dfa.SetOf(0) + width);
  std::vector<std::uint8_t> head(width);
  const bool hasHead =
      rules.lineHeadMark && dfa.StepSet(initial.data(), rules.lineHeadCode, head.data());
  std::vector<std::uint8_t> target(width);
  const auto record = [&best](const char* s, const char* e) {
    if (best.start == nullptr || s < best.start) {
      best = {s, e};
    } else if (s == best.start && e > best.end) {
      best.end = e;
    }
  };
  const auto hasTail = [&](const std::uint8_t* set) {
    return rules.lineTailRule && dfa.StepSet(set, rules.lineTailCode, nullptr);
  };
  for (;;) {
    const bool atEnd = pos >= end || *pos == 0;
    if (best.start == nullptr) {
      if (lineHead && hasHead) current.Add(head.data(), pos);
      current.Add(initial.data(), pos);
    }
    for (std::size_t i = 0; i < current.Size(); ++i) {
      if (dfa.SetAccepting(current.Set(i))) record(current.Start(i), pos);
    }
    if (atEnd) {
      for (std::size_t i = 0; i < current.Size(); ++i) {
        if (best.start != nullptr && current.Start(i) > best.start) break;
        if (hasTail(current.Set(i))) record(current.Start(i), pos);
      }
      break;
    }
    const char* after = pos;
    const CharCode code = NextChar(after, end);
    next.Clear();
    for (std::size_t i = 0; i < current.Size(); ++i) {
      if (best.start != nullptr && current.Start(i) > best.start) break;
      if (!dfa.StepSet(current.Set(i), code, target.data())) {
        if (code == rules.separator && hasTail(current.Set(i))) record(current.Start(i), pos);
        continue;
      }
      next.Add(target.data(), current.Start(i));
    }
    std::swap(current, next);
    pos = after;
    lineHead = rules.lineHeadMark && code == '\n';
    if (best.start != nullptr && current.Size() == 0) break;
  }
  return best;
}

}  // namespace

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
  // A lazy automaton is looked at each time its cache has grown by an eighth of its bound:
  // if this search has built a state for less than every thrashBytesPerState bytes it
  // advanced, caching does not pay and the search goes on without it; otherwise a full
  // cache is cleared, keeping the threads' states.
  const std::size_t bound = dfa.Limits().cacheBytes;
  const auto nextCheckAfter = [&dfa, bound] {
    return dfa.Lazy() ? std::min(dfa.CacheBytes() + bound / 8, bound) : SIZE_MAX;
  };
  std::size_t nextCheck = nextCheckAfter();
  const char* since = p;
  std::size_t statesBefore = dfa.StateCount();
  for (;;) {
    if (dfa.CacheBytes() > nextCheck) {
      const std::size_t built = dfa.StateCount() - std::min(statesBefore, dfa.StateCount());
      if (static_cast<std::size_t>(pos - since) < dfa.Limits().thrashBytesPerState * built) {
        dfa.NoteUncachedSearch();
        return ContinueBySets(dfa, pos, end, lineHead, rules, current, best);
      }
      if (dfa.CacheFull()) {
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
        since = pos;
        statesBefore = dfa.StateCount();
      }
      nextCheck = nextCheckAfter();
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
