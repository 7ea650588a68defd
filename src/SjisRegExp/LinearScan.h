// LinearScan: the leftmost-longest search of the matching core in one pass over the text,
// for texts on which starting the automaton afresh at every character would cost the
// text's length times the longest failed walk.
//
// The restart scan runs one DFA walk per start position. This pass runs all of them
// side by side, a character at a time: a thread is (DFA state, start), kept in start
// order. Two walks that reach the same DFA state have the same future (acceptance, death
// and the line-tail rule depend on the state and the text ahead only), so of two threads
// in one state only the one with the earlier start is kept: whatever the later one would
// still find, the earlier one finds at the same places, and the earlier start wins. So
// at most one thread per DFA state is alive, and the pass costs the text's length times
// the number of live states. Once some start is known to match, later starts are
// dropped; the pass ends when no thread with an earlier or equal start is alive.
//
// Every rule of the restart scan is kept, walk by walk: a match is an accepting state or,
// where a walk dies on the line separator or at the end of the text in a state with a
// line-tail transition, the position before that byte; a line-head position (the scan's
// start when asked, and just after every single-byte LF when the pattern has a line-head
// mark) starts a second walk from the line-head transition of the initial state, and its
// start's result is the longer of the two readings; starts step over whole characters,
// and the end of the text is a start of its own.
//
// On a lazy automaton the pass grows the automaton as it goes; LazyCachePolicy (in
// LinearScan.cpp) clears its cache when full and, when the cache thrashes, hands the rest of
// the text to the same pass over NFA sets (SetScan.h), which caches nothing.
#pragma once

#include <cstdint>
#include <vector>

#include "Chars.h"

namespace SjisRegExp {

class TRE_DFA;

// A match as [start, end) in the text; start is null when there is none.
struct MatchSpan {
  const char* start = nullptr;
  const char* end = nullptr;
};

// What a scan needs to know besides the automaton: the codes of the anchor transitions,
// the byte that ends a line for the line tail (0: none), whether line heads start a
// second reading (the pattern's line-head mark) and whether the line-tail rule applies
// (the plain scan walks without it).
struct ScanRules {
  CharCode lineHeadCode = LineHeadCode;
  CharCode lineTailCode = LineTailCode;
  CharCode separator = 13;
  bool lineHeadMark = false;
  bool lineTailRule = true;
};

// Working memory of LinearScan, kept in a search cache so that a search of a small pattern
// allocates nothing once it has been sized.
struct LinearScanScratch {
  struct Thread {
    std::int32_t state;
    const char* start;
  };
  std::vector<Thread> current;
  std::vector<Thread> next;
  std::vector<std::uint32_t> seen;  // per DFA state: the stamp of the step that claimed it
  std::vector<std::int32_t> ids;    // the threads' states while a lazy cache is cleared
  std::uint32_t stamp = 0;
  std::size_t uncachedSearches = 0;  // searches that went on over NFA sets

  // Room for stateCount threads (never more are alive) and a mark per state.
  void Prepare(std::size_t stateCount);
  std::uint32_t NewStamp();
};

// The leftmost-longest match whose start is a character start at or after p, before or
// at the end of the text (read as AtTextEnd<kZeroEnds> says), under the restart scan's
// rules; p itself counts as a line head when lineHeadAtP. p must be a character start.
// Automaton is const TRE_DFA (eager) or TRE_DFA (lazy, grown by the pass).
template <bool kZeroEnds, typename Automaton>
MatchSpan LinearScan(Automaton& dfa, LinearScanScratch& scratch, const char* p, const char* end,
                     bool lineHeadAtP, const ScanRules& rules);

}  // namespace SjisRegExp
