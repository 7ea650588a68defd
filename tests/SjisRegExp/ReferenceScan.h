// A plain scan that steps character by character from every start, walking the DFA's
// sorted transition lists and no table: what the library's scans are checked against.
#pragma once

#include "SjisRegExp/MatchCore.h"

namespace SjisRegExp::testing {

inline std::size_t Step(const char* p, const char* end) {
  return (IsLeadByte(static_cast<unsigned char>(*p)) && p + 1 < end && p[1] != 0) ? 2 : 1;
}

inline MatchSpan ReferenceScan(const TRE_DFA& dfa, const char* begin, const char* end) {
  if (begin >= end || *begin == 0) {
    if (dfa.Accepting(0)) return {begin, begin};
    return {};
  }
  for (const char* p = begin; p < end && *p != 0; p += Step(p, end)) {
    MatchSpan found;
    std::int32_t state = 0;
    const char* cursor = p;
    for (;;) {
      if (dfa.Accepting(state)) found = {p, cursor};
      if (cursor >= end || *cursor == 0) break;
      const std::size_t n = Step(cursor, end);
      const auto b0 = static_cast<unsigned char>(cursor[0]);
      const CharCode code =
          n == 2 ? static_cast<CharCode>(b0 << 8 | static_cast<unsigned char>(cursor[1])) : b0;
      cursor += n;
      state = dfa.NextStateByWalk(state, code);
      if (state == kNoState) break;
    }
    if (found.start != nullptr) return found;
  }
  return {};
}

}  // namespace SjisRegExp::testing
