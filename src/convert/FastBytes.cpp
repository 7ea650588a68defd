// The CR list of a block: SSE2 marks where the processor has it (every x86-64 does), bytes one
// by one elsewhere and for the tail.
#include "convert/FastBytes.h"

#include <algorithm>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace sorbit {

std::uint32_t* ListCarriageReturns(const char* data, std::size_t size, std::uint32_t* positions) {
  // Lists the CRs of 64 bytes from `base` on, marked in `word`: four without a test, as a word
  // rarely holds more (an entry past the last is overwritten next; the top bit spares
  // countr_zero its own test for zero), then any others.
  const auto list = [](std::uint64_t word, std::uint32_t base, std::uint32_t* out) {
    for (int i = 0; i < 4; ++i, word &= word - 1) {
      *out = base + static_cast<std::uint32_t>(std::countr_zero(word | std::uint64_t{1} << 63));
      out += word != 0;
    }
    for (; word != 0; word &= word - 1) *out++ = base + std::countr_zero(word);
    return out;
  };
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
    positions = list(mask16(p) | mask16(p + 16) << 16 | mask16(p + 32) << 32 | mask16(p + 48) << 48,
                     static_cast<std::uint32_t>(w * 64), positions);
  }
#endif
  for (; w * 64 < size; ++w) {
    const std::size_t n = std::min<std::size_t>(64, size - w * 64);
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < n; ++i) {
      word |= static_cast<std::uint64_t>(data[w * 64 + i] == '\r') << i;
    }
    positions = list(word, static_cast<std::uint32_t>(w * 64), positions);
  }
  return positions;
}

}  // namespace sorbit
