// TRE_DFA: the deterministic automaton of one NFA, built completely at compile time
// by subset construction and only read while matching.
//
// States are numbered in creation order; state 0 is the initial state. Each state
// names its set of NFA states, says whether that set holds the NFA exit (accepting),
// and owns a block of transitions sorted by start code (stable, so equal start codes
// keep their construction order). The ranges of one state are disjoint except for the
// single code of an anchor character matched literally, which may lie inside another
// range; NextState then takes whichever comes first in the sorted order.
//
// Size bounds: a construction that would exceed kMaxDFAStates states (or the memory
// and work bounds below) is refused as too complex with an ERegExpParser.
//
// Accelerator: for DFAs of at most kMaxDenseStates states, every state also has a
// 256-entry table for the single-byte codes, filled from the sorted-list walk itself,
// so that NextState on a single byte is one load and gives the walk's result. The
// initial state also gets a bitmap of the codes it can take (again the walk's result),
// with which a plain scan steps over positions where no match can begin.
#pragma once

#include <cstdint>
#include <vector>

#include "LinearScan.h"
#include "NFA.h"

namespace SjisRegExp {

inline constexpr std::size_t kMaxDFAStates = 100'000;
inline constexpr std::size_t kMaxDFATransitions = 4'000'000;
inline constexpr std::size_t kMaxDFASetBytes = 64u << 20;
// Bytes of state sets scanned plus NFA transitions visited while building.
inline constexpr std::uint64_t kMaxDFAWork = 2'000'000'000;
inline constexpr std::size_t kMaxDenseStates = 4096;

inline constexpr std::int32_t kNoState = -1;

struct DFATransition {
  CharRange range;
  std::int32_t target = kNoState;
};

struct DFAState {
  explicit DFAState(TRE_NFAStateSet set) : states(std::move(set)) {}
  TRE_NFAStateSet states;
  std::uint16_t expanded = 0;   // 0xFFFF once its transitions are computed
  std::uint16_t accepting = 0;  // 0xFFFF when the set holds the NFA exit state
  std::uint32_t firstTransition = 0;
  std::uint32_t transitionCount = 0;
};

class TRE_DFA {
 public:
  explicit TRE_DFA(const TRE_NFA& nfa) : nfa_(&nfa) {}

  // The whole construction; throws ERegExpParser ("too complex") past the bounds.
  // The NFA is not read after Build returns.
  void Build();

  std::size_t StateCount() const { return states_.size(); }
  const DFAState& State(std::int32_t s) const { return states_[s]; }
  bool Accepting(std::int32_t s) const { return states_[s].accepting != 0; }
  const DFATransition* TransitionsBegin(std::int32_t s) const {
    return transitions_.data() + states_[s].firstTransition;
  }
  const DFATransition* TransitionsEnd(std::int32_t s) const {
    return TransitionsBegin(s) + states_[s].transitionCount;
  }
  std::size_t TransitionCount() const { return transitions_.size(); }
  bool LineHeadMark() const { return lineHeadMark_; }
  bool LineTailMark() const { return lineTailMark_; }
  bool HasDenseTable() const { return !dense_.empty(); }

  // Whether a match can begin with this character code: whether the initial state's
  // walk yields a state for it (always true when the initial state accepts). A plain
  // scan steps over start positions for which this is false.
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
  // The same stop bytes as a list, for scans that compare a block of text against each of
  // them at once: StopListSize() of them, the zero byte first, or 0 when there are more
  // than kMaxStopList. Entries past the size repeat the zero byte. StopKeys() holds each
  // entry sixteen times over (16-byte aligned), ready to load as a comparison block.
  static constexpr int kMaxStopList = 4;
  int StopListSize() const { return stopListSize_; }
  const std::uint8_t* StopList() const { return stopList_; }
  const std::uint8_t* StopKeys(int i) const { return stopKeys_[i]; }

  // The 256-entry rows that NextState reads for single-byte codes (state * 256 + code), or
  // null when the DFA has too many states for them.
  const std::int32_t* DenseTable() const { return dense_.empty() ? nullptr : dense_.data(); }
  // Accepting(s) as one byte a state (1 or 0), for walks that test it at every step.
  const std::uint8_t* AcceptingFlags() const { return acceptingFlags_.data(); }

  // Working memory of the one-pass search (LinearScan) over this automaton. Matching is
  // otherwise read-only; a component, and so its automata, is used by one thread at a time.
  LinearScanScratch& Scratch() const { return scratch_; }

  // The walk over the sorted list: stop with none below a start code, with the
  // target at or below an end code.
  std::int32_t NextStateByWalk(std::int32_t s, CharCode code) const {
    for (const DFATransition *t = TransitionsBegin(s), *e = TransitionsEnd(s); t != e; ++t) {
      if (code < t->range.start) return kNoState;
      if (code <= t->range.end) return t->target;
    }
    return kNoState;
  }
  // The same result, by table for single-byte codes when the table exists.
  std::int32_t NextState(std::int32_t s, CharCode code) const {
    if (code < 256 && !dense_.empty()) return dense_[static_cast<std::size_t>(s) * 256 + code];
    return NextStateByWalk(s, code);
  }

 private:
  void IndexNFA();
  void Closure(TRE_NFAStateSet& set);
  std::int32_t FindOrAddState(TRE_NFAStateSet& set);
  void ComputeMoves(std::int32_t s);
  void SortTransitions();
  void BuildDenseTable();
  void BuildStartCodes();
  void BuildStopList();
  void CountWork(std::uint64_t units);
  [[noreturn]] void TooComplex() const;

  struct Move {
    CharRange range;
    std::uint32_t rangeId;
    std::size_t set;  // index into moveSets_
  };

  const TRE_NFA* nfa_;
  std::vector<DFAState> states_;
  std::vector<DFATransition> transitions_;
  std::vector<std::int32_t> dense_;
  std::vector<std::uint64_t> startCodes_;  // one bit per code; empty: every code
  std::uint8_t firstByte_[256] = {};
  std::uint8_t stopByte_[256] = {};
  std::uint8_t stopList_[kMaxStopList] = {};
  alignas(16) std::uint8_t stopKeys_[kMaxStopList][16] = {};
  int stopListSize_ = 0;
  std::vector<std::uint8_t> acceptingFlags_;
  bool lineHeadMark_ = false;
  bool lineTailMark_ = false;
  mutable LinearScanScratch scratch_;

  // Working data of Build only.
  // The NFA's transitions split by kind, each state's in its list order: empty ones
  // as targets, the others as (range id, target) with the distinct ranges numbered.
  std::vector<std::uint32_t> epsBegin_;
  std::vector<std::int32_t> epsTargets_;
  struct CharMove {
    std::uint32_t range;
    std::int32_t target;
  };
  std::vector<std::uint32_t> charBegin_;
  std::vector<CharMove> charMoves_;
  std::vector<CharRange> ranges_;
  std::vector<std::int32_t> moveOfRange_;  // per range id: its move this step, or -1
  std::vector<Move> moves_;                // in creation order; the move list is this reversed
  std::vector<TRE_NFAStateSet> moveSets_;
  std::vector<std::int32_t> hashTable_;  // open addressing over states_, -1 free
  std::vector<std::uint64_t> stateHashes_;
  std::vector<std::int32_t> worklist_;
  std::size_t setBytes_ = 0;
  std::uint64_t work_ = 0;
};

}  // namespace SjisRegExp
