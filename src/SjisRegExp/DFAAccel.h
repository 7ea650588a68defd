// DFAAccel: the speed tricks of one eager TRE_DFA, made once when the automaton is built
// and read by the scans through this interface only. Each gives exactly what the sorted
// walk of the automaton gives; none changes a result.
//
// - Dense rows: for each state (at most kMaxDenseStates of them) a row of 256 targets, the
//   walk's result for every single-byte code. A step on a single byte, by far the most
//   common, is then one load instead of a walk of the state's transitions.
// - Start codes: one bit per character code, set when the initial state's walk yields a
//   state for it (every bit, when the initial state accepts). A plain scan does not start
//   a walk at a character that cannot begin a match.
// - Stop bytes: the first bytes of such characters (and the zero byte), at which a plain
//   scan must stop and look; a text without one costs only the search for it. When there
//   are at most kMaxStopList of them they are also kept as 16-byte comparison blocks, and
//   the search compares sixteen bytes of text against each at once.
// - Literal prefix: when every match begins with the same text of two bytes or more, the
//   search for candidates is memchr on its least common byte and memcmp on the rest.
//
// The scans ask NextCandidate of one of the two finders below for the next place to look;
// whether that place begins a character is theirs to decide (the finders know nothing of
// character boundaries). A lazy automaton has none of these tables: PlainSearch says
// kOnePass and every byte is a stop byte.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Chars.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace SjisRegExp {

class TRE_DFA;

class DFAAccel {
 public:
  // Makes every table from the states of an eager automaton.
  void Build(const TRE_DFA& dfa);
  // No tables: the state of a lazy automaton.
  void Clear();

  // How the plain scan looks for starts: by the stop bytes, by the literal prefix, or not
  // at all (a lazy automaton, searched in one pass).
  enum PlainSearchKind : std::uint8_t { kByStopBytes, kByLiteral, kOnePass };
  PlainSearchKind PlainSearch() const { return plainSearch_; }

  // The dense row entry of state s for the single-byte code, when HasDenseRows.
  bool HasDenseRows() const { return !dense_.empty(); }
  std::int32_t DenseNext(std::int32_t s, CharCode code) const {
    return dense_[static_cast<std::size_t>(s) * 256 + code];
  }
  // The rows as one table (state * 256 + code), or null when there are none.
  const std::int32_t* DenseTable() const { return dense_.empty() ? nullptr : dense_.data(); }
  // Whether each state accepts, one byte (1 or 0) a state, for walks that test it at every
  // step; with the dense rows only.
  const std::uint8_t* AcceptingFlags() const { return acceptingFlags_.data(); }

  // Whether a match can begin with this character code: whether the initial state's
  // walk yields a state for it (always true when the initial state accepts).
  bool CanStartWith(CharCode code) const {
    return startCodes_.empty() || ((startCodes_[code >> 6] >> (code & 63)) & 1u) != 0;
  }
  // CanStartWith summed up by first byte (the stop bytes are made from it):
  //   1  a single-byte character that cannot start a match (step 1)
  //   2  a lead byte none of whose two-byte codes can start one (step 2)
  //   3  a lead byte some of whose codes can: ask CanStartWith
  //   0  anything else: the zero byte, a character that can start a match, and every
  //      byte when the initial state accepts.
  const std::uint8_t* FirstByteTable() const { return firstByte_; }
  // 1 for the bytes at which a plain scan must stop and look: the zero byte, every
  // byte whose FirstByteTable entry is 0 or 3, and a lead byte that can start a match
  // as a lone byte at the end of the text.
  const std::uint8_t* StopByteTable() const { return stopByte_; }
  // The same stop bytes as a list: StopListSize() of them, the zero byte first, or 0 when
  // there are more than kMaxStopList. Entries past the size repeat the zero byte.
  static constexpr int kMaxStopList = 4;
  int StopListSize() const { return stopListSize_; }
  const std::uint8_t* StopList() const { return stopList_; }

  // The text every match begins with, when every match must begin with the same two bytes
  // or more (the initial state's walk is one character at a time, without acceptance or a
  // choice), else empty; and the index of its byte least common in logs.
  const std::string& LiteralPrefix() const { return literalPrefix_; }
  std::size_t RareIndex() const { return rareIndex_; }

  // Finds the next stop byte of a plain scan: the first byte at or after p, before end,
  // that the stop table marks, or end when there is none. It reads only bytes of
  // [begin, end), begin given when it is made.
  class StopBytes {
   public:
    StopBytes(const DFAAccel& accel, const char* begin)
        : stop_(accel.stopByte_),
          begin_(begin),
          keys_(accel.stopListSize_ != 0 ? accel.stopKeys_[0] : nullptr) {}

    const char* NextCandidate(const char* p, const char* end) const {
#ifdef __SSE2__
      if (keys_ != nullptr) {
        while (end - p >= 16) {
          if (const unsigned m = Mask(p); m != 0) return p + __builtin_ctz(m);
          p += 16;
        }
        if (p >= end) return end;
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

  // The finder of a pattern whose matches all begin with LiteralPrefix: the next place
  // where that text stands, or an earlier zero byte, or end. memchr finds the literal's
  // least common byte and memcmp confirms the rest.
  class Literal {
   public:
    Literal(const DFAAccel& accel, const char*)
        : literal_(accel.literalPrefix_), rare_(accel.rareIndex_) {}

    const char* NextCandidate(const char* p, const char* end) const {
      const std::size_t size = literal_.size();
      const char* checkedForZero = p;
      for (;;) {
        const char* from = p + rare_;
        if (from >= end) return ZeroBefore(checkedForZero, end);
        const void* hit = std::memchr(from, literal_[rare_], static_cast<std::size_t>(end - from));
        if (hit == nullptr) return ZeroBefore(checkedForZero, end);
        const char* candidate = static_cast<const char*>(hit) - rare_;
        if (static_cast<std::size_t>(end - candidate) >= size &&
            std::memcmp(candidate, literal_.data(), size) == 0) {
          // The text ends at its first zero byte: one before the candidate ends the search.
          const char* zero = ZeroBefore(checkedForZero, candidate);
          return zero != candidate ? zero : candidate;
        }
        p = candidate + 1;
      }
    }

   private:
    // The first zero byte in [from, to), or to.
    static const char* ZeroBefore(const char* from, const char* to) {
      const void* zero = std::memchr(from, 0, static_cast<std::size_t>(to - from));
      return zero != nullptr ? static_cast<const char*>(zero) : to;
    }

    const std::string& literal_;
    std::size_t rare_;
  };

 private:
  void BuildDenseTable(const TRE_DFA& dfa);
  void BuildStartCodes(const TRE_DFA& dfa);
  void BuildStopList();
  void BuildLiteralPrefix(const TRE_DFA& dfa);

  std::vector<std::int32_t> dense_;
  std::vector<std::uint8_t> acceptingFlags_;
  std::vector<std::uint64_t> startCodes_;  // one bit per code; empty: every code
  std::uint8_t firstByte_[256] = {};
  std::uint8_t stopByte_[256] = {};
  std::uint8_t stopList_[kMaxStopList] = {};
  alignas(16) std::uint8_t stopKeys_[kMaxStopList][16] = {};
  int stopListSize_ = 0;
  std::string literalPrefix_;
  PlainSearchKind plainSearch_ = kByStopBytes;
  std::size_t rareIndex_ = 0;
};

}  // namespace SjisRegExp
