// The CP932 decoder and encoder over the generated code tables.
#include "text/Cp932.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/Cp932Table.h"

namespace sorbit::text {

namespace {

using detail::kCp932Double;
using detail::kCp932LeadRows;
using detail::kCp932None;
using detail::kCp932Single;

// The decoder writes one 32-bit step per character, read from a table derived from the code
// tables at compile time:
//   bits 0-23   the character's UTF-8 bytes, in memory order (stored as 4 bytes, of which
//               the first `length` count)
//   bits 24-25  length: UTF-8 bytes written (1 to 3)
//   bit  28     lossy: the step writes U+FFFD for one undecodable byte
// Rows 0-59 of the table hold the pairs of each lead byte (0x81-0x9F, then 0xE0-0xFC) by trail
// byte; row 60 the single bytes. A lead byte whose pair does not decode has the lossy step
// U+FFFD, and only then does the decoder take one byte for a lead byte.
//
// What bounds the speed is the chain from one character's start to the next: when it runs
// through a load of the text (is this byte a lead byte?) each character waits for that load.
// So the lead bytes of 64 bytes are found at once into a bit mask (with SSE2, 16 bytes an
// instruction), and the chain is a shift and an add on that mask; the table loads and stores
// of successive characters then overlap. Decoding with iconv costs a call, a module dispatch
// and a state machine per character, several times more.
using Step = std::uint32_t;
constexpr Step kLengthShift = 24;
constexpr Step kLossyBit = Step{1} << 28;
constexpr int kSingleRow = kCp932LeadRows;

constexpr Step StepFor(char32_t code_point) {
  Step bytes = 0;
  Step length = 0;
  if (code_point < 0x80) {
    bytes = code_point;
    length = 1;
  } else if (code_point < 0x800) {
    bytes = (0xC0 | (code_point >> 6)) | (0x80 | (code_point & 0x3F)) << 8;
    length = 2;
  } else {
    bytes = (0xE0 | (code_point >> 12)) | (0x80 | ((code_point >> 6) & 0x3F)) << 8 |
            (0x80 | (code_point & 0x3F)) << 16;
    length = 3;
  }
  return bytes | length << kLengthShift;
}

// U+FFFD for one undecodable byte.
constexpr Step kBadByte = StepFor(0xFFFD) | kLossyBit;

constexpr int LeadRow(unsigned char lead) { return lead < 0xA0 ? lead - 0x81 : lead - 0xE0 + 31; }

constexpr std::array<Step, (kCp932LeadRows + 1) * 256> MakeSteps() {
  std::array<Step, (kCp932LeadRows + 1) * 256> steps{};
  for (int row = 0; row < kCp932LeadRows; ++row) {
    for (int trail = 0; trail < 256; ++trail) {
      const char16_t code_point = kCp932Double[row][trail];
      steps[row * 256 + trail] = code_point == kCp932None ? kBadByte : StepFor(code_point);
    }
  }
  for (int b = 0; b < 256; ++b) {
    const char16_t code_point = kCp932Single[b];
    steps[kSingleRow * 256 + b] = code_point == kCp932None ? kBadByte : StepFor(code_point);
  }
  return steps;
}

// Where a first byte's steps start in kSteps: its row of pairs for a lead byte (the trail byte
// is then added), its own step in the single-byte row otherwise.
constexpr std::array<std::uint16_t, 256> MakeStepBases() {
  std::array<std::uint16_t, 256> bases{};
  for (int b = 0; b < 256; ++b) {
    const auto byte = static_cast<unsigned char>(b);
    bases[b] = static_cast<std::uint16_t>(IsCp932LeadByte(byte) ? LeadRow(byte) * 256
                                                                : kSingleRow * 256 + b);
  }
  return bases;
}

constexpr std::array<Step, (kCp932LeadRows + 1)* 256> kSteps = MakeSteps();
constexpr std::array<std::uint16_t, 256> kStepBases = MakeStepBases();

static_assert(std::endian::native == std::endian::little,
              "a step's UTF-8 bytes are stored with their first byte lowest");
constexpr bool NoPairEndsInZero() {
  for (int row = 0; row < kCp932LeadRows; ++row) {
    if (kCp932Double[row][0] != kCp932None) return false;
  }
  return true;
}
static_assert(NoPairEndsInZero(), "the decoder pads the text's end with a zero byte");
static_assert(LeadRow(0x9F) == 30 && LeadRow(0xE0) == 31 && LeadRow(0xFC) == kCp932LeadRows - 1);

// Bit i set when bytes[i] is a lead byte, for i < 64.
[[gnu::always_inline]] inline std::uint64_t LeadMask64(const unsigned char* bytes) {
#if defined(__SSE2__)
  std::uint64_t mask = 0;
  // With the top bit flipped, unsigned order is signed order: 0x81-0x9F becomes 1-31 and
  // 0xE0-0xFC becomes 0x60-0x7C.
  const __m128i flip = _mm_set1_epi8(static_cast<char>(0x80));
  for (int k = 0; k < 4; ++k) {
    const __m128i x =
        _mm_xor_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * k)), flip);
    const __m128i low =
        _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(0)), _mm_cmplt_epi8(x, _mm_set1_epi8(32)));
    const __m128i high = _mm_and_si128(_mm_cmpgt_epi8(x, _mm_set1_epi8(0x5F)),
                                       _mm_cmplt_epi8(x, _mm_set1_epi8(0x7D)));
    mask |= static_cast<std::uint64_t>(
                static_cast<std::uint16_t>(_mm_movemask_epi8(_mm_or_si128(low, high))))
            << (16 * k);
  }
  return mask;
#else
  std::uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) mask |= std::uint64_t{IsCp932LeadByte(bytes[i])} << i;
  return mask;
#endif
}

// Whether [p, end), at most 64 bytes, is ASCII.
bool IsAscii(const unsigned char* p, const unsigned char* end) {
  std::uint64_t high = 0;
  for (; end - p >= 8; p += 8) {
    std::uint64_t word;
    std::memcpy(&word, p, 8);
    high |= word;
  }
  for (; p < end; ++p) high |= *p;
  return (high & 0x8080808080808080u) == 0;
}

// Writes the step of the character at p, whose first byte is a lead byte when `lead` is 1;
// p[1] must be readable (it is ignored for a single byte).
inline Step WriteStep(const unsigned char* p, std::uint64_t lead, char*& out) {
  const Step step = kSteps[kStepBases[p[0]] + (p[1] & (0 - static_cast<unsigned>(lead)))];
  std::memcpy(out, &step, 4);  // little-endian: the UTF-8 bytes come first
  out += (step >> kLengthShift) & 3;
  return step;
}

// Decodes the characters that start in bytes [0, limit) of p, where p[limit] is readable when
// a lead byte stands at limit - 1, taking the byte after a lead byte only when the pair
// decodes. Returns the bytes taken (limit or limit + 1).
std::size_t DecodeCarefully(const unsigned char* p, std::size_t limit, char*& out, Step& seen) {
  std::size_t i = 0;
  while (i < limit) {
    const std::uint64_t lead = IsCp932LeadByte(p[i]) ? 1 : 0;
    const Step step = WriteStep(p + i, lead, out);
    seen |= step;
    // A lead byte whose pair does not decode is one bad byte: the trail byte starts afresh.
    i += (step & kLossyBit) != 0 ? 1 : 1 + lead;
  }
  return i;
}

}  // namespace

char32_t Cp932CodePoint(Cp932Code code) {
  char16_t code_point = kCp932None;
  if (code < 0x100) {
    code_point = kCp932Single[code];
  } else if (IsCp932LeadByte(static_cast<unsigned char>(code >> 8))) {
    code_point = kCp932Double[LeadRow(static_cast<unsigned char>(code >> 8))][code & 0xFF];
  }
  return code_point == kCp932None ? kNoCodePoint : code_point;
}

char* DecodeCp932Into(const char* cp932, std::size_t size, char* out, bool& lossy) {
  const auto* p = reinterpret_cast<const unsigned char*>(cp932);
  const unsigned char* const end = p + size;
  Step seen = 0;
  // Blocks of 64 possible character starts, with the byte after them readable; a character
  // that starts at the block's last byte takes the next block's first. The fast loop takes
  // every lead byte with its trail byte; a block in which some pair did not decode is done
  // again carefully, which is rare.
  while (end - p > 64) {
    const std::uint64_t mask = LeadMask64(p);
    char* const block_out = out;
    Step block_seen = 0;
    std::size_t i = 0;
    while (i < 64) {
      const std::uint64_t lead = (mask >> i) & 1;
      block_seen |= WriteStep(p + i, lead, out);
      i += 1 + lead;
    }
    if ((block_seen & kLossyBit) != 0) {
      out = block_out;
      i = DecodeCarefully(p, 64, out, block_seen);
    }
    seen |= block_seen;
    p += i;
  }
  if (p < end && IsAscii(p, end)) {
    // Most short fields (numbers, dates, IDs) are ASCII: they are copied as they are.
    std::memcpy(out, p, static_cast<std::size_t>(end - p));
    out += end - p;
  } else if (p < end) {
    // The last bytes (all of a short text) go the same way from a copy with zeros after it:
    // a lead byte at the very end then reads a pair that does not decode, and is done again
    // carefully.
    const auto size_left = static_cast<std::size_t>(end - p);
    unsigned char last[128] = {};
    std::memcpy(last, p, size_left);
    const std::uint64_t mask = LeadMask64(last);
    char* const block_out = out;
    Step block_seen = 0;
    for (std::size_t i = 0; i < size_left;) {
      const std::uint64_t lead = (mask >> i) & 1;
      block_seen |= WriteStep(last + i, lead, out);
      i += 1 + lead;
    }
    if ((block_seen & kLossyBit) != 0) {
      out = block_out;
      DecodeCarefully(last, size_left, out, block_seen);
    }
    seen |= block_seen;
  }
  if ((seen & kLossyBit) != 0) lossy = true;
  return out;
}

bool AppendCp932AsUtf8(std::string_view cp932, std::string& utf8) {
  const std::size_t start = utf8.size();
  utf8.resize(start + Cp932DecodeRoom(cp932.size()));
  bool lossy = false;
  char* const end = DecodeCp932Into(cp932.data(), cp932.size(), utf8.data() + start, lossy);
  utf8.resize(static_cast<std::size_t>(end - utf8.data()));
  return !lossy;
}

std::span<const Cp932Code> Cp932CodesOf(char32_t code_point) {
  const auto range = std::equal_range(std::begin(detail::kCp932EncodeCodePoints),
                                      std::end(detail::kCp932EncodeCodePoints), code_point);
  const auto first = range.first - std::begin(detail::kCp932EncodeCodePoints);
  return {detail::kCp932EncodeCodes + first, static_cast<std::size_t>(range.second - range.first)};
}

std::size_t ReadUtf8Char(std::string_view text, std::size_t offset, char32_t& code_point) {
  if (offset >= text.size()) return 0;
  const auto* p = reinterpret_cast<const unsigned char*>(text.data()) + offset;
  const std::size_t left = text.size() - offset;
  std::size_t length = 0;
  char32_t value = 0;
  char32_t least = 0;  // the smallest value this length may carry (no overlong forms)
  if (p[0] < 0x80) {
    code_point = p[0];
    return 1;
  } else if (p[0] >= 0xC2 && p[0] <= 0xDF) {
    length = 2, value = p[0] & 0x1F, least = 0x80;
  } else if (p[0] >= 0xE0 && p[0] <= 0xEF) {
    length = 3, value = p[0] & 0x0F, least = 0x800;
  } else if (p[0] >= 0xF0 && p[0] <= 0xF4) {
    length = 4, value = p[0] & 0x07, least = 0x10000;
  } else {
    return 0;
  }
  if (left < length) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    value = value << 6 | (p[k] & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  code_point = value;
  return length;
}

std::optional<EncodeFailure> EncodeUtf8AsCp932(std::string_view utf8, std::string& cp932,
                                               std::vector<std::size_t>* cp932_to_utf8_offset) {
  if (cp932_to_utf8_offset != nullptr) cp932_to_utf8_offset->clear();
  std::size_t offset = 0;
  while (offset < utf8.size()) {
    char32_t code_point = kNoCodePoint;
    const std::size_t length = ReadUtf8Char(utf8, offset, code_point);
    if (length == 0) return EncodeFailure{offset, kNoCodePoint};
    const std::span<const Cp932Code> codes = Cp932CodesOf(code_point);
    if (codes.empty()) return EncodeFailure{offset, code_point};
    const Cp932Code code = codes.front();
    const std::size_t before = cp932.size();
    if (code >= 0x100) cp932 += static_cast<char>(code >> 8);
    cp932 += static_cast<char>(code & 0xFF);
    if (cp932_to_utf8_offset != nullptr) {
      cp932_to_utf8_offset->insert(cp932_to_utf8_offset->end(), cp932.size() - before, offset);
    }
    offset += length;
  }
  if (cp932_to_utf8_offset != nullptr) cp932_to_utf8_offset->push_back(utf8.size());
  return std::nullopt;
}

}  // namespace sorbit::text
