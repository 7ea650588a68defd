// DFAAccel: the speed tricks of one eager TRE_DFA, made once when the automaton is built.
// The scans reach them through this class only; each gives exactly what the sorted walk
// of the automaton gives, and none changes a result.
//
// - Dense rows: for each state (at most kMaxDenseStates of them) a row of 256 targets, the
//   walk's result for every single-byte code. A step on a single byte, by far the most
//   common, is then one load instead of a walk of the state's transitions.
// - Start codes: one bit per character code, set when the initial state's walk yields a
//   state for it (every bit, when the initial state accepts). A plain scan does not start
//   a walk at a character that cannot begin a match.
// - Stop bytes: the first bytes of such characters (and the zero byte), at which a plain
//   scan must stop and look; a text without one costs only the search for it. When there
//   are at most kMaxStopList of them the search compares sixteen bytes of text against
//   each at once.
// - Literal prefix: when every match begins with the same text of two bytes or more, the
//   search for candidates is memchr on its least common byte and memcmp on the rest.
// - Byte prefix: the set of bytes each of the first few bytes of every match lies in
//   ("[A-Z][0-9]+" begins with one of A-Z and one of 0-9). Where two of those sets are
//   together rare in logs, a block search tests them sixteen starts at a time and finds
//   the few places a match can begin, over text whose every trail byte a one-byte set
//   would stop at.
//
// This header holds the tables and the questions the rest of the library asks of them.
// The scans' hot loops over them (the two finders of candidate starts and the walk over
// the dense rows) are in DFAAccelScan.h, which only the scans include: it is where the
// vector instructions are, and it is not part of the installed interface.
//
// Invariants, asserted by Build in debug builds: each dense row equals the sorted walk
// for every single-byte code; CanStartWith equals the initial state's walk; a byte is a
// stop byte exactly when it is zero or some character beginning with it can start a match
// (a lead byte also as a lone character at the end of a text).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Chars.h"
#include "LiteralSearch.h"

namespace SjisRegExp {

class TRE_DFA;

class DFAAccel {
 public:
  // Makes every table from the states of an eager automaton, which must outlive this.
  void Build(const TRE_DFA& dfa);
  // No tables: the state of a lazy automaton.
  void Clear();

  // How the plain scan looks for starts:
  //   kByStopBytes  the stop bytes, then a walk over the dense rows at each candidate;
  //   kByLiteral    the literal prefix, then a walk over the dense rows;
  //   kOtherwise    anything else, out of the usual scan's way: an initial state that
  //                 accepts, no dense rows, or a lazy automaton (which has none of these
  //                 tables and is searched in one pass).
  enum PlainSearchKind : std::uint8_t { kByStopBytes, kByLiteral, kOtherwise };
  PlainSearchKind PlainSearch() const { return plainSearch_; }

  // The dense row entry of state s for the single-byte code, when HasDenseRows.
  bool HasDenseRows() const { return !dense_.empty(); }
  std::int32_t DenseNext(std::int32_t s, CharCode code) const {
    return dense_[static_cast<std::size_t>(s) * 256 + code];
  }

  // Whether a match can begin with this character code: whether the initial state's
  // walk yields a state for it (always true when the initial state accepts).
  bool CanStartWith(CharCode code) const {
    return startCodes_.empty() || ((startCodes_[code >> 6] >> (code & 63)) & 1u) != 0;
  }
  // Whether a plain scan stops at this byte to look (every byte of a lazy automaton).
  bool IsStopByte(unsigned char b) const { return stopByte_[b] != 0; }
  // Whether the stop bytes are few enough to be searched for sixteen bytes at a time.
  static constexpr int kMaxStopList = 4;
  bool SearchesStopBytesByBlock() const { return stopListSize_ != 0; }

  // The text every match begins with, when every match must begin with the same two bytes
  // or more (the initial state's walk is one character at a time, without acceptance or a
  // choice), else empty.
  const std::string& LiteralPrefix() const { return literalPrefix_; }

  // The byte prefix (above): for each of the first BytePrefix().size() bytes of every match
  // (at most kMaxBytePrefix), the set of values it may take, as 256 bits. Empty when a
  // match may be shorter than one byte. Whether it is rare enough to search for, by the
  // fixed estimate of byte frequencies in logs (LiteralSearch.h).
  static constexpr std::size_t kMaxBytePrefix = 8;
  struct ByteSet {
    std::uint64_t bits[4] = {};
    bool Has(unsigned char b) const { return ((bits[b >> 6] >> (b & 63)) & 1u) != 0; }
  };
  const std::vector<ByteSet>& BytePrefix() const { return bytePrefix_; }
  bool SearchesBytePrefix() const { return probeCount_ != 0; }
  // The scans' side (defined in DFAAccelScan.h): the next place a plain scan looks, by
  // stop bytes or by the literal prefix; and one walk over the dense rows.
  class StopBytes;
  class Literal;
  class Prefix;
  // Walks from `state` at `cursor` while the state lives, a character at a time: sets
  // `found` to each position at which the state accepts, and stops at the end of the text
  // (AtTextEnd<kZeroEnds>), when the state dies, or when the cursor has reached `limit`
  // (at or before end) with the state alive, which is what it returns true for. With
  // dense rows only.
  template <bool kZeroEnds>
  inline bool WalkDense(std::int32_t& state, const char*& cursor, const char*& found,
                        const char* limit, const char* end) const;

 private:
  void BuildDenseTable(const TRE_DFA& dfa);
  void BuildStartCodes(const TRE_DFA& dfa);
  void BuildStopList();
  void BuildLiteralPrefix(const TRE_DFA& dfa);
  void BuildBytePrefix(const TRE_DFA& dfa);
  void ChooseProbes();

  const TRE_DFA* dfa_ = nullptr;
  std::vector<std::int32_t> dense_;
  std::vector<std::uint8_t> acceptingFlags_;  // 1 for each accepting state: one load a step
  std::vector<std::uint64_t> startCodes_;     // one bit per code; empty: every code
  std::uint8_t stopByte_[256] = {};
  alignas(16) std::uint8_t stopKeys_[kMaxStopList][16] = {};  // each stop byte 16 times
  int stopListSize_ = 0;
  std::string literalPrefix_;
  LiteralText literal_;  // literalPrefix_ as the literal search takes it
  std::vector<ByteSet> bytePrefix_;
  // The two rarest sets of the byte prefix, each as at most kMaxProbeRanges ranges of byte
  // values (lo, lo + width): what the block search tests.
  static constexpr int kMaxProbeRanges = 3;
  struct Probe {
    std::size_t offset = 0;
    int rangeCount = 0;
    std::uint8_t lo[kMaxProbeRanges] = {};
    std::uint8_t width[kMaxProbeRanges] = {};
  };
  Probe probes_[2];
  int probeCount_ = 0;
  PlainSearchKind plainSearch_ = kOtherwise;
};

}  // namespace SjisRegExp
