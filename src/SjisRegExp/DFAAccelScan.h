// The scans' hot loops over DFAAccel's tables: the two finders of candidate starts
// (stop bytes, sixteen at a time where the processor has SSE2; the literal prefix by
// memchr and memcmp) and the walk over the dense rows. Included by the scans only; the
// finders know nothing of character boundaries, which are the scans' to decide.
#pragma once

#include <array>
#include <cstring>

#include "DFA.h"
#include "DFAAccel.h"
#include "LiteralSearch.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace SjisRegExp {

// Finds the next stop byte of a plain scan: the first byte at or after p, before end, that
// the stop table marks, or a place at or after end (end, or p if that is later) when there
// is none. It reads only bytes of [begin, end), begin given when it is made.
class DFAAccel::StopBytes {
 public:
  StopBytes(const DFAAccel& accel, const char* begin)
      : stop_(accel.stopByte_),
        begin_(begin),
        keys_(accel.stopListSize_ != 0 ? accel.stopKeys_[0] : nullptr) {}

  const char* NextCandidate(const char* p, const char* end) const {
#ifdef __SSE2__
    if (keys_ != nullptr) {
      // Two blocks a step while the text lasts: one branch for thirty-two bytes.
      while (end - p >= 32) {
        const unsigned m = Mask(p) | Mask(p + 16) << 16;
        if (m != 0) return p + __builtin_ctz(m);
        p += 32;
      }
      if (end - p >= 16) {
        if (const unsigned m = Mask(p); m != 0) return p + __builtin_ctz(m);
        p += 16;
      }
      if (p >= end) return p;
      // The last bytes: one more block, ending at end, if the text is that long; the
      // bytes before p in it were looked at already.
      if (end - begin_ >= 16) {
        const char* last = end - 16;
        const unsigned m = Mask(last) >> (p - last);
        return m != 0 ? p + __builtin_ctz(m) : end;
      }
    }
#endif
    // Four bytes a step while none of them stops the scan, then byte by byte.
    const auto at = [this](const char* x) { return stop_[static_cast<unsigned char>(*x)]; };
    while (end - p >= 4 && (at(p) | at(p + 1) | at(p + 2) | at(p + 3)) == 0) p += 4;
    while (p < end && at(p) == 0) ++p;
    return p;
  }

 private:
#ifdef __SSE2__
  // One bit for each of the sixteen bytes from x that is a stop byte.
  unsigned Mask(const char* x) const {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x));
    const auto key = [this](int i) {
      return _mm_load_si128(reinterpret_cast<const __m128i*>(keys_ + 16 * i));
    };
    const __m128i hit =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, key(0)), _mm_cmpeq_epi8(v, key(1))),
                     _mm_or_si128(_mm_cmpeq_epi8(v, key(2)), _mm_cmpeq_epi8(v, key(3))));
    return static_cast<unsigned>(_mm_movemask_epi8(hit));
  }
#endif

  const std::uint8_t* stop_;
  const char* begin_;
  const std::uint8_t* keys_;  // the comparison blocks, one of 16 after another; or null
};

// The finder of a pattern whose matches all begin with LiteralPrefix (FindLiteral): the next
// place where that text stands at or after p, or (where kZeroEnds) an earlier zero byte, or a
// place at or after end when there is neither.
class DFAAccel::Literal {
 public:
  Literal(const DFAAccel& accel, const char*) : literal_(accel.literal_) {}

  template <bool kZeroEnds = true>
  const char* NextCandidate(const char* p, const char* end) const {
    if (p >= end) return p;
    const char* candidate = FindLiteral(literal_, p, end);
    if (!kZeroEnds) return candidate != nullptr ? candidate : end;
    // The text ends at its first zero byte: one before the candidate ends the search.
    const char* to = candidate != nullptr ? candidate : end;
    const void* zero = std::memchr(p, 0, static_cast<std::size_t>(to - p));
    return zero != nullptr ? static_cast<const char*>(zero) : to;
  }

 private:
  const LiteralText& literal_;
};

// The finder of the byte prefix: the first place at or after p, before end, at which every
// set of the byte prefix holds for its byte, or null. Its two probes are tested sixteen
// starts at a time where the processor has SSE2; each set is at most three ranges of byte
// values, a value lying in a range when (value - lo) <= width unsigned.
class DFAAccel::Prefix {
 public:
  explicit Prefix(const DFAAccel& accel) : accel_(accel) {}

  const char* Find(const char* p, const char* end) const {
    const std::size_t n = accel_.bytePrefix_.size();
    if (end - p < static_cast<std::ptrdiff_t>(n)) return nullptr;
    const char* last = end - n;  // the last start at which the prefix fits
#ifdef __SSE2__
    const Probe& a = accel_.probes_[0];
    const Probe& b = accel_.probes_[1];
    const bool two = accel_.probeCount_ == 2;
    // Sixteen starts a step, all of whose prefixes fit.
    while (last - p >= 15) {
      unsigned m = Mask(a, p);
      if (m != 0 && two) m &= Mask(b, p);
      while (m != 0) {
        const char* at = p + __builtin_ctz(m);
        if (HoldsAt(at)) return at;
        m &= m - 1;
      }
      p += 16;
    }
#endif
    for (; p <= last; ++p) {
      if (HoldsAt(p)) return p;
    }
    return nullptr;
  }

 private:
#ifdef __SSE2__
  // One bit for each of the sixteen starts from x whose byte at the probe's offset it holds.
  static unsigned Mask(const Probe& probe, const char* x) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + probe.offset));
    __m128i hit = _mm_setzero_si128();
    for (int r = 0; r < probe.rangeCount; ++r) {
      // v - lo <= width, unsigned: the minimum of the two is the difference itself.
      const __m128i d = _mm_sub_epi8(v, _mm_set1_epi8(static_cast<char>(probe.lo[r])));
      const __m128i w = _mm_set1_epi8(static_cast<char>(probe.width[r]));
      hit = _mm_or_si128(hit, _mm_cmpeq_epi8(_mm_min_epu8(d, w), d));
    }
    return static_cast<unsigned>(_mm_movemask_epi8(hit));
  }
#endif
  bool HoldsAt(const char* x) const {
    for (std::size_t i = 0; i < accel_.bytePrefix_.size(); ++i) {
      if (!accel_.bytePrefix_[i].Has(static_cast<unsigned char>(x[i]))) return false;
    }
    return true;
  }

  const DFAAccel& accel_;
};

namespace accel_detail {

enum ByteKind : std::uint8_t { kSingle, kLead, kZero };

// The kind of each byte: the zero byte ends a text where kZeroEnds and is a character of its
// own otherwise.
template <bool kZeroEnds>
constexpr std::array<ByteKind, 256> MakeByteKinds() {
  std::array<ByteKind, 256> kinds{};
  for (unsigned b = 0; b < 256; ++b) {
    kinds[b] = b == 0 ? (kZeroEnds ? kZero : kSingle)
                      : (IsLeadByte(static_cast<unsigned char>(b)) ? kLead : kSingle);
  }
  return kinds;
}
template <bool kZeroEnds>
inline constexpr std::array<ByteKind, 256> kByteKinds = MakeByteKinds<kZeroEnds>();

// The state after a two-byte character; out of line, it keeps the walk's loop small, and of
// internal linkage, each scan's file keeps a copy of its own next to its walk.
[[gnu::noinline]] static std::int32_t NextStateOnPair(const TRE_DFA& dfa, std::int32_t state,
                                                      const char* pair) {
  return dfa.NextStateBySortedList(state,
                                   static_cast<CharCode>(static_cast<unsigned char>(pair[0]) << 8 |
                                                         static_cast<unsigned char>(pair[1])));
}

}  // namespace accel_detail

// ReadChar and NextState done by hand: a single byte (a lone lead byte at the end
// included) is one load from its state's row, and one table look-up tells it from a lead
// byte and the zero byte.
template <bool kZeroEnds>
inline bool DFAAccel::WalkDense(std::int32_t& state, const char*& cursor, const char*& found,
                                const char* limit, const char* end) const {
  constexpr const auto& kByteKinds = accel_detail::kByteKinds<kZeroEnds>;
  const TRE_DFA& dfa = *dfa_;
  const std::int32_t* dense = dense_.data();
  const std::uint8_t* accepting = acceptingFlags_.data();
  std::int32_t s = state;
  const char* c = cursor;
  bool cut = false;
  for (;;) {
    if (accepting[s] != 0) found = c;
    if (c >= limit) {
      cut = c < end;
      break;
    }
    const auto b = static_cast<unsigned char>(*c);
    if (kByteKinds[b] != accel_detail::kSingle) {
      if (kByteKinds[b] == accel_detail::kZero) break;
      if (c + 1 < end && (!kZeroEnds || c[1] != 0)) {
        s = accel_detail::NextStateOnPair(dfa, s, c);
        c += 2;
        if (s == kNoState) break;
        continue;
      }
    }
    s = dense[static_cast<std::size_t>(s) * 256 + b];
    ++c;
    if (s == kNoState) break;
  }
  state = s;
  cursor = c;
  return cut;
}

}  // namespace SjisRegExp
