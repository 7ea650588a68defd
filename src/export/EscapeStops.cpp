// The special-byte search, 16 bytes at a time where SSE2 is there.
#include "export/EscapeStops.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sorbit::exporter {

namespace {

bool IsStop(char c, const EscapeStops& special) {
  if (static_cast<unsigned char>(c) < 0x20) return true;
  for (char other : special.others) {
    if (c == other) return true;
  }
  return false;
}

}  // namespace

const char* FindEscapeStop(const char* begin, const char* end, const EscapeStops& special) {
  const char* p = begin;
#if defined(__SSE2__)
  if (end - p >= 16) {
    const __m128i control_max = _mm_set1_epi8(0x1F);
    __m128i others[5];
    for (int k = 0; k < 5; ++k) others[k] = _mm_set1_epi8(special.others[k]);
    for (; end - p >= 16; p += 16) {
      const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
      // A byte is at most 0x1F when the unsigned minimum with 0x1F is the byte itself.
      __m128i hit = _mm_cmpeq_epi8(_mm_min_epu8(bytes, control_max), bytes);
      for (const __m128i& other : others) hit = _mm_or_si128(hit, _mm_cmpeq_epi8(bytes, other));
      const int mask = _mm_movemask_epi8(hit);
      if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask));
    }
  }
#endif
  for (; p != end; ++p) {
    if (IsStop(*p, special)) return p;
  }
  return end;
}

}  // namespace sorbit::exporter
