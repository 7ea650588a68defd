// Range-list operations of CodeSet.
#include "CodeSet.h"

#include <algorithm>
#include <cassert>

namespace sjisgrep {

void CodeSet::AssertShape() const {
#ifndef NDEBUG
  for (std::size_t k = 0; k < ranges_.size(); ++k) {
    assert(ranges_[k].first <= ranges_[k].last);
    // Sorted, disjoint and not touching: the next range starts at least two codes later.
    if (k > 0) assert(ranges_[k - 1].last + 1 < ranges_[k].first);
  }
#endif
}

void CodeSet::AddRange(std::uint16_t first, std::uint16_t last) {
  assert(first <= last);
  // The ranges that touch or overlap [first, last] merge with it into one.
  auto from = std::lower_bound(ranges_.begin(), ranges_.end(), first,
                               [](const Range& r, int f) { return r.last + 1 < f; });
  auto to = from;
  Range merged{first, last};
  while (to != ranges_.end() && to->first <= last + 1) {
    merged.first = std::min(merged.first, to->first);
    merged.last = std::max(merged.last, to->last);
    ++to;
  }
  from = ranges_.erase(from, to);
  ranges_.insert(from, merged);
  AssertShape();
}

void CodeSet::AddSet(const CodeSet& other) {
  if (ranges_.empty()) {
    ranges_ = other.ranges_;
    return;
  }
  for (const Range& r : other.ranges_) AddRange(r.first, r.last);
}

bool CodeSet::Contains(std::uint16_t code) const {
  auto at = std::upper_bound(ranges_.begin(), ranges_.end(), code,
                             [](std::uint16_t c, const Range& r) { return c < r.first; });
  return at != ranges_.begin() && std::prev(at)->last >= code;
}

CodeSet CodeSet::Complement() const {
  CodeSet result;
  int next = kFirstCode;  // the first code not yet decided
  const auto addGap = [&result](int first, int last) {
    // The gap without LF and CR.
    for (int cut : {'\n', '\r'}) {
      if (first <= cut && cut <= last) {
        if (first < cut) result.ranges_.push_back({std::uint16_t(first), std::uint16_t(cut - 1)});
        first = cut + 1;
      }
    }
    if (first <= last) result.ranges_.push_back({std::uint16_t(first), std::uint16_t(last)});
  };
  for (const Range& r : ranges_) {
    if (r.first > next) addGap(next, std::min<int>(r.first - 1, kLastCode));
    next = std::max<int>(next, r.last + 1);
    if (next > kLastCode) break;
  }
  if (next <= kLastCode) addGap(next, kLastCode);
  result.AssertShape();
  return result;
}

}  // namespace sjisgrep
