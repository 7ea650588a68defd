// SetScan: the rest of a one-pass search (LinearScan) over NFA sets, for a lazy automaton whose
// cache thrashes. The threads are the same, in the same start order, each with the NFA set
// of its DFA state instead of the state; they step with TRE_DFA::StepSet, which moves a set
// exactly as NextState moves its state, so the result is the same. Nothing is cached: a step
// costs the NFA's size for each thread, and memory stays at the threads' sets.
#pragma once

#include <vector>

#include "LinearScan.h"

namespace SjisRegExp {

// Goes on from pos (a character start; lineHead when it follows an LF that is a line head)
// with the given threads, in start order, and the best match found so far.
template <bool kZeroEnds>
MatchSpan ContinueBySets(TRE_DFA& dfa, const char* pos, const char* end, bool lineHead,
                         const ScanRules& rules,
                         const std::vector<LinearScanScratch::Thread>& threads, MatchSpan best);

// The best of two matches: the earlier start, then the longer end.
inline void Record(MatchSpan& best, const char* start, const char* end) {
  if (best.start == nullptr || start < best.start) {
    best = {start, end};
  } else if (start == best.start && end > best.end) {
    best.end = end;
  }
}

}  // namespace SjisRegExp
