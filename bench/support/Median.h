// The median of a benchmark's repeated measurements: the middle one in the order `less`
// gives (of an even number, the upper of the two middle ones).
#pragma once

#include <algorithm>
#include <functional>
#include <vector>

namespace sorbit::bench {

template <typename T, typename Less = std::less<T>>
T Median(std::vector<T> values, Less less = {}) {
  std::sort(values.begin(), values.end(), less);
  return values[values.size() / 2];
}

}  // namespace sorbit::bench
