// The engine's byte-level fast paths, kept here so that the domain files read plainly:
// listing the CR bytes of an input block, 16 bytes a compare, and copying the short pieces of
// a record's header lines without a call each.
//
// Why: the log reader finds every line end in a list of CRs that one pass over a block makes,
// at a fraction of a search per line and without a hard-to-predict branch per line; a header
// line is a dozen pieces of a few bytes, for which a library call costs more than the copy.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace sorbit {

// Writes the positions of the CR bytes in data[0, size), ascending, from `positions` on (room
// for size + 4: a few entries past the last may be overwritten); returns the list's end.
std::uint32_t* ListCarriageReturns(const char* data, std::size_t size, std::uint32_t* positions);

// Copies `bytes` to `at` and returns the byte after them.
inline char* CopyShort(char* at, std::string_view bytes) {
  const char* from = bytes.data();
  const std::size_t n = bytes.size();
  if (n > 16) {
    std::memcpy(at, from, n);
  } else if (n >= 8) {  // two words that may overlap
    std::uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(at, &head, 8);
    std::memcpy(at + n - 8, &tail, 8);
  } else if (n >= 4) {
    std::uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(at, &head, 4);
    std::memcpy(at + n - 4, &tail, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) at[i] = from[i];
  }
  return at + n;
}

}  // namespace sorbit
