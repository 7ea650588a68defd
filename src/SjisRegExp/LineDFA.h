// TRE_LineDFA: the automaton that finds, in one pass over a block of lines, the first line
// that holds a match; one byte costs one table look-up once the states it meets are built.
//
// The text of a line is the line up to its LF, without a CR just before that LF (FindInLines'
// lines). A line holds a match when some character start of its text (its end included) begins
// a walk that reaches an accepting state, or that is alive at the text's end in a state with a
// line-tail transition; the line start also begins the anchored reading. This automaton runs
// all those walks at once as one set of NFA states, the union of the walks' sets with the
// fresh start's closure added at every character start, and stops at the first character
// start where the union holds the NFA's exit, or at a line's end where it holds a state with
// a line-tail transition. So it needs no start positions and no order among the walks: it
// is the classic unanchored DFA of the NFA, stepped a byte at a time.
//
// The same automaton also tells whether a text holds any match at all (MayMatch), for Match
// and Find: there LF is a character after which the line-head reading starts again, the
// separator byte (CR or LF) ends a line for a walk in a state with a line-tail transition,
// and Match's texts end at a zero byte. A walk there may go on through the separator where
// the restart scan's walk would have ended, so this answer is a superset: no means no match.
//
// Bytes: the automaton reads bytes, not characters. A state is either at a character start
// (a "boundary" state: a set of NFA states) or just after a lead byte (a "pending" state: the
// transitions of the set that a code of that lead byte could take, the lead byte's class,
// and whether the lead byte read as a character of its own would match at the line's end,
// which it is when the line ends right after it). Bytes are grouped in classes (LineDFAPlan)
// that no range of the pattern tells apart in any role: as a character of one byte, as a lead
// byte and as a trail byte. LF, CR and the zero byte have classes of their own, which stop the
// table walk: LF ends a line, CR ends one when an LF follows it, and otherwise each is read
// as a character (or as a trail byte) through a column of its own at the end of each row.
//
// The union of walks answers exactly when the ranges of the pattern do not overlap; where an
// anchor character matched literally lies inside another range (NFAIndex.h), the union may
// take a transition that the automaton's own walk would not, and the line it finds is only a
// candidate (TRE_LineDFA::Exact says which).
//
// States are built the first time a byte leads to them, into a cache of at most
// kMaxLineDFABytes; a full cache is cleared and the current state built again. Every byte
// builds at most one state, whose cost is bounded by the NFA's size: the pass stays linear.
#pragma once

#include <cstdint>
#include <vector>

#include "NFAIndex.h"

namespace SjisRegExp {

inline constexpr std::size_t kMaxLineDFABytes = 16u << 20;

// What a line automaton of one pattern needs that never changes: the byte classes and the
// NFA sets it starts from. Made once per compiled pattern.
struct LineDFAPlan {
  LineDFAPlan(const TRE_NFAIndex& index, CharCode lineHeadCode, CharCode lineTailCode);

  std::uint8_t classOf[256];
  std::vector<std::uint8_t> representative;  // a byte of each class
  std::vector<bool> leadClass;               // whether the class's bytes are lead bytes
  int lineFeedClass = 0;
  int carriageReturnClass = 0;
  int zeroClass = 0;
  std::size_t classCount = 0;
  // The closure of the entry state; the anchored reading's first set (empty without a
  // line-head mark); the sets a line starts with (both); the NFA states that have a line-tail
  // transition.
  TRE_NFAStateSet entry{0};
  TRE_NFAStateSet headReading{0};
  TRE_NFAStateSet lineStart{0};
  TRE_NFAStateSet tailStates{0};
  bool exact = true;
};

class TRE_LineDFA {
 public:
  TRE_LineDFA(const TRE_NFAIndex& index, const LineDFAPlan& plan,
              std::size_t budget = kMaxLineDFABytes);

  // The start of the first line in [begin, end) that holds a match, or null; begin is a line
  // start. An empty range holds no line.
  const char* FindLine(const char* begin, const char* end);
  // Whether the text from p (a character start; a line start when lineHeadAtP) to end may hold
  // a match that starts at or after p, under the separator byte and, where zeroEnds, with the
  // text ending at its first zero byte (above).
  bool MayMatch(const char* p, const char* end, bool lineHeadAtP, CharCode separator,
                bool zeroEnds);

  // Whether a line FindLine finds holds a match for certain (see above).
  bool Exact() const { return plan_.exact; }
  std::size_t CacheBytes() const { return bytes_; }
  std::size_t Resets() const { return resets_; }

 private:
  // Transition values: a row's offset in the table, or one of these.
  static constexpr std::int32_t kUnknown = -1;
  static constexpr std::int32_t kStop = -2;   // LF or CR: the scan decides
  static constexpr std::int32_t kFound = -3;  // the union holds the exit: a match ends here

  struct State {
    std::uint32_t key;       // offset of its key in keys_
    std::int16_t leadClass;  // -1 for a boundary state
    bool endMatches;         // a match ends when the line's text ends here
  };

  // The row of the state with this key, built when new (which may clear the cache: rows held
  // before are void then, but for the one handed in as keep, whose new row is returned there).
  std::int32_t FindOrAdd(const std::uint8_t* key, std::int16_t leadClass, bool endMatches,
                         std::int32_t* keep);
  // The transition of the row on the class (kUnknown in the table until computed), or on a
  // stopping byte read as a character (or trail byte): the columns after the classes.
  std::int32_t Transition(std::int32_t& row, std::size_t cls);
  std::size_t ColumnOf(unsigned char stopByte) const {
    return plan_.classCount + (stopByte == '\r' ? 0 : stopByte == '\n' ? 1 : 2);
  }
  std::int32_t Compute(std::int32_t& row, std::size_t cls);
  // From a set of NFA states reached at a character start: kFound when it holds the exit,
  // else its boundary state's row.
  std::int32_t Boundary(TRE_NFAStateSet& set, std::int32_t* keep);
  void Reset();
  const State& StateOf(std::int32_t row) const {
    return states_[static_cast<std::size_t>(row) / stride_];
  }

  const TRE_NFAIndex& index_;
  const LineDFAPlan& plan_;
  std::size_t budget_;
  std::size_t stride_;     // classCount + 3: CR, LF and the zero byte read as characters
  std::size_t setBytes_;   // a boundary key: an NFA set
  std::size_t moveBytes_;  // a pending key: a set of transition numbers
  std::vector<std::int32_t> table_;
  std::vector<State> states_;
  std::vector<std::uint8_t> keys_;
  std::vector<std::int32_t> slots_;  // open addressing over the states, -1 free
  std::vector<std::uint64_t> hashes_;
  std::size_t bytes_ = 0;
  std::size_t resets_ = 0;
  std::int32_t startRow_ = kUnknown;  // the line start's row, or kFound
  std::int32_t entryRow_ = kUnknown;  // the row of a start that is no line start, or kFound
  // Working sets.
  TRE_NFAStateSet work_{0};
  std::vector<std::uint8_t> moves_;
  std::vector<std::int32_t> worklist_;
};

}  // namespace SjisRegExp
