// The first-and-last-byte filter of LiteralFinder.
#include "LiteralFinder.h"

#include <cassert>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace sjisgrep {

LiteralFinder::LiteralFinder(std::string literal) : literal_(std::move(literal)) {
  assert(!literal_.empty());
}

const char* LiteralFinder::Find(const char* p, const char* end) const {
  const std::size_t n = literal_.size();
  if (end - p < static_cast<std::ptrdiff_t>(n)) return nullptr;
#ifdef __SSE2__
  if (n >= 2) {
    const __m128i first = _mm_set1_epi8(literal_[0]);
    const __m128i last = _mm_set1_epi8(literal_[n - 1]);
    // Blocks of sixteen candidate starts, while a block's last byte stays inside.
    while (end - p >= static_cast<std::ptrdiff_t>(n + 15)) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 1));
      auto mask = static_cast<unsigned>(
          _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
      while (mask != 0) {
        const int k = __builtin_ctz(mask);
        if (std::memcmp(p + k + 1, literal_.data() + 1, n - 2) == 0) return p + k;
        mask &= mask - 1;
      }
      p += 16;
    }
  }
#endif
  const void* found =
      memmem(p, static_cast<std::size_t>(end - p), literal_.data(), literal_.size());
  return static_cast<const char*>(found);
}

}  // namespace sjisgrep
