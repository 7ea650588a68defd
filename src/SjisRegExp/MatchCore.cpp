#include "MatchCore.h"

namespace SjisRegExp {

bool TMatchCORE::IsLineSeparator(CharCode code) const {
  switch (lineSeparator_) {
    case mcls_CRLF:
      return code == 13;
    case mcls_LF:
      return code == 10;
  }
  return false;
}

MatchSpan TMatchCORE::ScanPlain(const char* begin, const char* end) const {
  const TRE_DFA& dfa = CurrentDFA();
  if (begin >= end || *begin == 0) {
    if (dfa.Accepting(0)) return {begin, begin};
    return {};
  }
  MatchSpan found;
  const char* p = begin;
  while (p < end && *p != 0) {
    // Step over start characters that the initial state cannot take: the walk
    // below would stop there at once without a match. A zero byte ends the text; a
    // lone lead byte before the end is left to the walk, which reads it alone.
    for (;;) {
      const auto b = static_cast<unsigned char>(*p);
      if (b == 0) return found;
      if (!IsLeadByte(b)) {
        if (dfa.CanStartWith(b)) break;
        if (++p >= end) return found;
        continue;
      }
      if (p + 1 >= end || p[1] == 0) break;
      if (dfa.CanStartWith(static_cast<CharCode>(b << 8 | static_cast<unsigned char>(p[1])))) {
        break;
      }
      p += 2;
      if (p >= end) return found;
    }
    std::int32_t state = 0;
    const char* cursor = p;
    for (;;) {
      if (dfa.Accepting(state)) found = {p, cursor};
      const CharCode code = NextChar(cursor, end);
      if (code == 0) break;
      state = dfa.NextState(state, code);
      if (state == kNoState) break;
    }
    if (found.start != nullptr) return found;
    p += CharStep(p, end);
  }
  return found;
}

const char* TMatchCORE::LongestFrom(const char* p, const char* end, std::int32_t state) const {
  if (state == kNoState) return nullptr;
  const TRE_DFA& dfa = CurrentDFA();
  const char* result = nullptr;
  const char* cursor = p;
  std::int32_t last = state;
  CharCode code = 0;
  do {
    if (dfa.Accepting(state)) result = cursor;
    last = state;
    code = NextChar(cursor, end);
    state = code == 0 ? kNoState : dfa.NextState(state, code);
  } while (state != kNoState);
  if ((code == 0 || IsLineSeparator(code)) && dfa.NextState(last, LineTailCode()) != kNoState) {
    return code != 0 ? cursor - 1 : cursor;
  }
  return result;
}

const char* TMatchCORE::LongestAtLineHead(const char* p, const char* end,
                                          std::int32_t state) const {
  const TRE_DFA& dfa = CurrentDFA();
  if (!dfa.LineHeadMark()) return LongestFrom(p, end, state);
  const char* a = LongestFrom(p, end, dfa.NextState(state, LineHeadCode()));
  if (a == nullptr) return nullptr;
  const char* b = LongestFrom(p, end, state);
  if (b != nullptr && b >= a) return b;
  return a;
}

MatchSpan TMatchCORE::ScanAnchored(const char* begin, const char* end) const {
  const char* e = LongestAtLineHead(begin, end, 0);
  if (e != nullptr) return {begin, e};
  return ScanFrom(begin, end);
}

MatchSpan TMatchCORE::ScanFrom(const char* begin, const char* end) const {
  const TRE_DFA& dfa = CurrentDFA();
  const char* p = begin;
  while (p < end && *p != 0) {
    if (const char* e = LongestFrom(p, end, 0); e != nullptr) return {p, e};
    if (*p == '\n' && dfa.LineHeadMark()) {
      if (const char* e = LongestAtLineHead(p + 1, end, 0); e != nullptr) return {p + 1, e};
    }
    p += CharStep(p, end);
  }
  if (dfa.LineTailMark() && dfa.NextState(0, LineTailCode()) != kNoState) return {p, p};
  return {};
}

}  // namespace SjisRegExp
