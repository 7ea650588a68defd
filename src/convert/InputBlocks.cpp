// Loading and marking the blocks of input the log reader cuts into lines.
#include "convert/InputBlocks.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace sorbit {

constexpr char kCR = '\r';
constexpr char kCtrlZ = '\x1a';

namespace detail {

#if defined(__SSE2__)
// Sets the words of `bits` for the whole 64-byte blocks of data[0, size); returns how many.
std::size_t MarkWholeWordsSse2(const char* data, std::size_t size, std::uint64_t* bits) {
  const __m128i cr = _mm_set1_epi8(kCR);
  const auto mask16 = [cr](const char* p) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    return static_cast<std::uint64_t>(
        static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, cr))));
  };
  std::size_t w = 0;
  for (; (w + 1) * 64 <= size; ++w) {
    const char* p = data + w * 64;
    bits[w] = mask16(p) | mask16(p + 16) << 16 | mask16(p + 32) << 32 | mask16(p + 48) << 48;
  }
  return w;
}
#endif

#if SORBIT_HAVE_AVX2_PATH
bool HaveAvx2() { return __builtin_cpu_supports("avx2"); }

// The same with 32 bytes a compare, for processors that have AVX2 (chosen at run time).
[[gnu::target("avx2")]] std::size_t MarkWholeWordsAvx2(const char* data, std::size_t size,
                                                       std::uint64_t* bits) {
  const __m256i cr = _mm256_set1_epi8(kCR);
  std::size_t w = 0;
  for (; (w + 1) * 64 <= size; ++w) {
    const char* p = data + w * 64;
    const __m256i low = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    const __m256i high = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    const auto low_bits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(low, cr)));
    const auto high_bits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(high, cr)));
    bits[w] = std::uint64_t{low_bits} | std::uint64_t{high_bits} << 32;
  }
  return w;
}
#endif

}  // namespace detail

namespace {

// Sets bit i of `bits` (64 to a word) for every CR at data[i]; the bits of the last word
// past `size` are cleared.
void MarkCarriageReturns(const char* data, std::size_t size, std::uint64_t* bits) {
  std::size_t w = 0;
#if SORBIT_HAVE_AVX2_PATH
  static const bool avx2 = detail::HaveAvx2();
  w = avx2 ? detail::MarkWholeWordsAvx2(data, size, bits)
           : detail::MarkWholeWordsSse2(data, size, bits);
#elif defined(__SSE2__)
  w = detail::MarkWholeWordsSse2(data, size, bits);
#endif
  for (; w * 64 < size; ++w) {
    const std::size_t n = std::min<std::size_t>(64, size - w * 64);
    std::uint64_t word = 0;
    for (std::size_t i = 0; i < n; ++i) {
      word |= static_cast<std::uint64_t>(data[w * 64 + i] == kCR) << i;
    }
    bits[w] = word;
  }
  if (size % 64 == 0) bits[size / 64] = 0;
}

}  // namespace

InputBlock::InputBlock(std::size_t capacity_bytes)
    : capacity(std::max<std::size_t>(capacity_bytes, 1)),
      bytes(std::make_unique_for_overwrite<char[]>(capacity)),
      cr_bits(std::make_unique_for_overwrite<std::uint64_t[]>(capacity / 64 + 1)) {}

void LoadInputBlock(InputFile& file, InputBlock& block) {
  std::size_t got = file.Read(block.bytes.get(), block.capacity);
  assert(got <= block.capacity);
  block.text_ended = got == 0;
  // Nothing after a Ctrl-Z is ever read: cut the block there and stop reading the file.
  const char* stop = static_cast<const char*>(std::memchr(block.bytes.get(), kCtrlZ, got));
  if (stop != nullptr) {
    got = static_cast<std::size_t>(stop - block.bytes.get());
    block.text_ended = true;
  }
  block.size = got;
  const char* nul = static_cast<const char*>(std::memchr(block.bytes.get(), '\0', got));
  block.first_nul = nul ? static_cast<std::size_t>(nul - block.bytes.get()) : got;
  MarkCarriageReturns(block.bytes.get(), got, block.cr_bits.get());
  block.cr_bits[got / 64] |= std::uint64_t{1} << (got % 64);
}

SequentialBlocks::SequentialBlocks(InputFile& file, std::size_t buffer_bytes)
    : file_(file), block_(buffer_bytes) {}

const InputBlock& SequentialBlocks::Next() {
  assert(!block_.text_ended);
  LoadInputBlock(file_, block_);
  return block_;
}

}  // namespace sorbit
