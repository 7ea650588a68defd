// The one-pass search over NFA sets: threads of sets in start order, one per distinct set.
#include "SetScan.h"

#include <algorithm>
#include <cstring>

#include "DFA.h"

namespace SjisRegExp {

namespace {

// Threads of the set form, in start order, their sets side by side in one byte array; a
// thread whose set equals one already there is not added (the earlier start keeps it).
class SetThreads {
 public:
  explicit SetThreads(std::size_t setBytes) : width_(setBytes) {}

  void Clear() {
    starts_.clear();
    bytes_.clear();
    hashes_.clear();
    if (++stamp_ == 0) {
      std::fill(slotStamp_.begin(), slotStamp_.end(), 0u);
      stamp_ = 1;
    }
  }
  // Adds the set unless it is there already.
  void Add(const std::uint8_t* set, const char* start) {
    const std::uint64_t h = HashStateSet(set, width_);
    if (2 * (starts_.size() + 1) > slots_.size()) Grow();
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = h & mask;; slot = (slot + 1) & mask) {
      if (slotStamp_[slot] != stamp_) {
        slotStamp_[slot] = stamp_;
        slots_[slot] = static_cast<std::uint32_t>(starts_.size());
        break;
      }
      const std::uint32_t other = slots_[slot];
      if (hashes_[other] == h && std::memcmp(Set(other), set, width_) == 0) return;
    }
    starts_.push_back(start);
    hashes_.push_back(h);
    bytes_.insert(bytes_.end(), set, set + width_);
  }
  std::size_t Size() const { return starts_.size(); }
  const char* Start(std::size_t i) const { return starts_[i]; }
  const std::uint8_t* Set(std::size_t i) const { return bytes_.data() + i * width_; }

 private:
  void Grow() {
    const std::size_t size = std::max<std::size_t>(64, slots_.size() * 2);
    slots_.assign(size, 0);
    slotStamp_.assign(size, 0);
    stamp_ = 1;
    const std::size_t mask = size - 1;
    for (std::size_t i = 0; i < starts_.size(); ++i) {
      std::size_t slot = hashes_[i] & mask;
      while (slotStamp_[slot] == stamp_) slot = (slot + 1) & mask;
      slotStamp_[slot] = stamp_;
      slots_[slot] = static_cast<std::uint32_t>(i);
    }
  }

  std::size_t width_;
  std::vector<const char*> starts_;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint64_t> hashes_;
  std::vector<std::uint32_t> slots_;
  std::vector<std::uint32_t> slotStamp_;
  std::uint32_t stamp_ = 1;
};

}  // namespace

template <bool kZeroEnds>
MatchSpan ContinueBySets(TRE_DFA& dfa, const char* pos, const char* end, bool lineHead,
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
  const auto hasTail = [&](const std::uint8_t* set) {
    return rules.lineTailRule && dfa.StepSet(set, rules.lineTailCode, nullptr);
  };
  for (;;) {
    const bool atEnd = AtTextEnd<kZeroEnds>(pos, end);
    if (best.start == nullptr) {
      if (lineHead && hasHead) current.Add(head.data(), pos);
      current.Add(initial.data(), pos);
    }
    for (std::size_t i = 0; i < current.Size(); ++i) {
      if (dfa.SetAccepting(current.Set(i))) Record(best, current.Start(i), pos);
    }
    if (atEnd) {
      for (std::size_t i = 0; i < current.Size(); ++i) {
        if (best.start != nullptr && current.Start(i) > best.start) break;
        if (hasTail(current.Set(i))) Record(best, current.Start(i), pos);
      }
      break;
    }
    const char* after = pos;
    const CharCode code = ReadChar<kZeroEnds>(after, end);
    next.Clear();
    for (std::size_t i = 0; i < current.Size(); ++i) {
      if (best.start != nullptr && current.Start(i) > best.start) break;
      if (!dfa.StepSet(current.Set(i), code, target.data())) {
        if (rules.separator != 0 && code == rules.separator && hasTail(current.Set(i))) {
          Record(best, current.Start(i), pos);
        }
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

template MatchSpan ContinueBySets<true>(TRE_DFA&, const char*, const char*, bool, const ScanRules&,
                                        const std::vector<LinearScanScratch::Thread>&, MatchSpan);
template MatchSpan ContinueBySets<false>(TRE_DFA&, const char*, const char*, bool, const ScanRules&,
                                         const std::vector<LinearScanScratch::Thread>&, MatchSpan);

}  // namespace SjisRegExp
