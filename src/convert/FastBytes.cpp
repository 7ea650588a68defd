// The CR marks of a block: SSE2 where the processor has it (every x86-64 does), bytes one by
// one elsewhere and for the tail.
#include "convert/FastBytes.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sorbit {

void MarkCarriageReturns(const char* data, std::size_t size, std::uint64_t* bits) {
  std::size_t w = 0;
#if defined(__SSE2__)
  const __m128i cr = _mm_set1_epi8('\r');
  const auto mask16 = [cr](const char* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint64_t>(
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr))));
  };
  for (; (w + 1) * 64 <= size; ++w) {
    const char* p = data + w * 64;
    bits[w] = mask16(p) | mask16(p + 16) << 16 | mask16(p + 32) << 32 | mask16(p + 48) << 48;
  }
#endif
  for (; w * 64 < size; ++w) {
    const std::size_t n = std::min<std::size_t>(64, size - w * 64);
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < n; ++i) {
      word |= static_cast<std::uint64_t>(data[w * 64 + i] == '\r') << i;
    }
    bits[w] = word;
  }
  if (size % 64 == 0) bits[size / 64] = 0;
}

}  // namespace sorbit
