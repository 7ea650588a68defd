// The "@" at a line start, found 16 bytes at a time.
#include "archive/LineScan.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sorbit::archive {

const char* FindAtSignAfterLineEnd(const char* begin, const char* end) {
  const char* p = begin;
#if defined(__SSE2__)
  const __m128i lf = _mm_set1_epi8('\n');
  const __m128i at = _mm_set1_epi8('@');
  // Compares bytes p[0..15] with LF and p[1..16] with "@".
  while (end - p > 16) {
    const __m128i here = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i next = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 1));
    const int mask =
        _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(here, lf), _mm_cmpeq_epi8(next, at)));
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask)) + 1;
    p += 16;
  }
#endif
  for (; p + 1 < end; ++p) {
    if (p[0] == '\n' && p[1] == '@') return p + 1;
  }
  return end;
}

}  // namespace sorbit::archive
