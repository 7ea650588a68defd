// A plain scan that steps character by character from every start, walking the DFA's
// sorted transition lists and no table: what the library's scans are checked against.
// Texts end at their first zero byte unless zeroEnds is false, when a zero byte is a
// character of its own.
#pragma once

#include "SjisRegExp/MatchCore.h"

namespace SjisRegExp::testing {

inline bool AtEnd(const char* p, const char* end, bool zeroEnds) {
  return p >= end || (zeroEnds && *p == 0);
}

inline std::size_t CharLen(const char* p, const char* end, bool zeroEnds = true) {
  return (IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end && (!zeroEnds || p[1] != 0))
             ? 2
             : 1;
}

// The character at p (before the end), and p past it.
inline CharCode ReadCode(const char*& p, const char* end, bool zeroEnds) {
  const std::size_t n = CharLen(p, end, zeroEnds);
  const auto b0 = static_cast<unsigned char>(p[0]);
  const CharCode code =
      n == 2 ? static_cast<CharCode>(b0 << 8 | static_cast<unsigned char>(p[1])) : b0;
  p += n;
  return code;
}

// Steps by the sorted lists alone (a lazy automaton grows as it goes).
inline std::int32_t ListStep(const TRE_DFA& dfa, std::int32_t s, CharCode code) {
  return dfa.NextStateBySortedList(s, code);
}
inline std::int32_t ListStep(TRE_DFA& dfa, std::int32_t s, CharCode code) {
  return dfa.Lazy() ? dfa.NextStateGrowing(s, code) : dfa.NextStateBySortedList(s, code);
}

template <typename Automaton>
inline MatchSpan ReferenceScan(Automaton& dfa, const char* begin, const char* end,
                               bool zeroEnds = true) {
  if (AtEnd(begin, end, zeroEnds)) {
    if (dfa.Accepting(0)) return {begin, begin};
    return {};
  }
  for (const char* p = begin; !AtEnd(p, end, zeroEnds); p += CharLen(p, end, zeroEnds)) {
    MatchSpan found;
    std::int32_t state = 0;
    const char* cursor = p;
    for (;;) {
      if (dfa.Accepting(state)) found = {p, cursor};
      if (AtEnd(cursor, end, zeroEnds)) break;
      state = ListStep(dfa, state, ReadCode(cursor, end, zeroEnds));
      if (state == kNoState) break;
    }
    if (found.start != nullptr) return found;
  }
  return {};
}

}  // namespace SjisRegExp::testing
