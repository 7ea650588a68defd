// The restart scan: every character start tried in turn, a fresh DFA walk from each,
// following the sorted transition lists and no table. This is how the matching core
// found its matches before it searched in one pass; the library's scans are checked
// against it. Quadratic in the worst case, so only for short texts.
//
// One change from the scan as it was: at the end of the text the initial state is tried
// like any other start, so an empty text matches a pattern that matches the empty string
// also when the pattern has an anchor ("^a$|b?" on "" gives position 1, length 0).
#pragma once

#include <cstring>

#include "ReferenceScan.h"
#include "SjisRegExp/MatchCore.h"

namespace SjisRegExp::testing {

struct RestartRules {
  CharCode separator = 13;  // 13 under mcls_CRLF, 10 under mcls_LF
  bool zeroEnds = true;     // texts end at their first zero byte (Match), or hold it
};

inline RestartRules RulesOf(const TMatchCORE& core) {
  return {static_cast<CharCode>(core.LineSeparator() == mcls_CRLF ? 13 : 10)};
}

template <typename Automaton>
inline const char* RestartLongestFrom(Automaton& dfa, const char* p, const char* end,
                                      std::int32_t state, RestartRules rules) {
  if (state == kNoState) return nullptr;
  const char* result = nullptr;
  const char* cursor = p;
  std::int32_t last = state;
  bool atEnd = false;
  CharCode code = 0;
  do {
    if (dfa.Accepting(state)) result = cursor;
    last = state;
    atEnd = AtEnd(cursor, end, rules.zeroEnds);
    if (atEnd) break;
    code = ReadCode(cursor, end, rules.zeroEnds);
    state = ListStep(dfa, state, code);
  } while (state != kNoState);
  if ((atEnd || code == rules.separator) && ListStep(dfa, last, LineTailCode) != kNoState) {
    return atEnd ? cursor : cursor - 1;
  }
  return result;
}

template <typename Automaton>
inline const char* RestartLongestAtLineHead(Automaton& dfa, const char* p, const char* end,
                                            RestartRules rules) {
  if (!dfa.LineHeadMark()) return RestartLongestFrom(dfa, p, end, 0, rules);
  // The longer of the walks through the line-head mark and past it: either may be the only
  // one ("^a|" matches the empty text by its empty branch alone).
  const char* a = RestartLongestFrom(dfa, p, end, ListStep(dfa, 0, LineHeadCode), rules);
  const char* b = RestartLongestFrom(dfa, p, end, 0, rules);
  return (a == nullptr || (b != nullptr && b >= a)) ? b : a;
}

template <typename Automaton>
inline MatchSpan RestartScanFrom(Automaton& dfa, const char* begin, const char* end,
                                 RestartRules rules) {
  const char* p = begin;
  for (; !AtEnd(p, end, rules.zeroEnds); p += CharLen(p, end, rules.zeroEnds)) {
    if (const char* e = RestartLongestFrom(dfa, p, end, 0, rules)) return {p, e};
    if (*p == '\n' && dfa.LineHeadMark()) {
      if (const char* e = RestartLongestAtLineHead(dfa, p + 1, end, rules)) return {p + 1, e};
    }
  }
  if (const char* e = RestartLongestFrom(dfa, p, end, 0, rules)) return {p, e};
  return {};
}

template <typename Automaton>
inline MatchSpan RestartScanAnchored(Automaton& dfa, const char* begin, const char* end,
                                     RestartRules rules) {
  if (const char* e = RestartLongestAtLineHead(dfa, begin, end, rules)) return {begin, e};
  return RestartScanFrom(dfa, begin, end, rules);
}

// What Match does: the anchored scan for a pattern with an anchor mark, else the plain one.
template <typename Automaton>
inline MatchSpan RestartMatch(Automaton& dfa, const char* begin, const char* end,
                              RestartRules rules) {
  if (dfa.LineHeadMark() || dfa.LineTailMark()) return RestartScanAnchored(dfa, begin, end, rules);
  return ReferenceScan(dfa, begin, end, rules.zeroEnds);
}

// FindInLines by its definition: the text of each line searched in turn, that is the line
// up to its LF without a CR just before the LF, with "$" at its end only and zero bytes as
// characters.
template <typename Automaton>
inline MatchSpan RestartFindInLines(Automaton& dfa, const char* begin, const char* end) {
  for (const char* p = begin; p < end;) {
    const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    const char* lineEnd = lf != nullptr ? static_cast<const char*>(lf) : end;
    const char* textEnd =
        lf != nullptr && lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
    if (const MatchSpan m = RestartMatch(dfa, p, textEnd, {'\n', false}); m.start != nullptr) {
      return m;
    }
    p = lineEnd + 1;
  }
  return {};
}

}  // namespace SjisRegExp::testing
