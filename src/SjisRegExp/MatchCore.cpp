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

namespace {

// The leftmost-longest walk from one start position of a plain scan.
MatchSpan WalkFrom(const TRE_DFA& dfa, const char* p, const char* end) {
  MatchSpan found;
  std::int32_t state = 0;
  const char* cursor = p;
  for (;;) {
    if (dfa.Accepting(state)) found = {p, cursor};
    const CharCode code = NextChar(cursor, end);
    if (code == 0) break;
    state = dfa.NextState(state, code);
    if (state == kNoState) break;
  }
  return found;
}

}  // namespace

MatchSpan TMatchCORE::ScanPlain(const char* begin, const char* end) const {
  const TRE_DFA& dfa = CurrentDFA();
  if (begin >= end || *begin == 0) {
    if (dfa.Accepting(0)) return {begin, begin};
    return {};
  }
  // An initial state that accepts matches at the first position.
  if (dfa.Accepting(0)) return WalkFrom(dfa, begin, end);

  // The scan tries, in order, every character start p at which the initial state can
  // take the character; the others would stop the walk at once without a match.
  //
  // Rather than stepping character by character, it searches for the next byte that
  // could begin such a character (a stop byte), which needs no knowledge of where
  // characters begin, and then decides whether that byte begins one: counting the
  // lead-byte values directly before it, back to the last position q known to begin
  // a character, an even count means it does (the byte before such a run ends a
  // character, and the run pairs up from there). Every byte is counted back at most
  // once, so the scan stays linear.
  const std::uint8_t* stop = dfa.StopByteTable();
  const char* q = begin;
  const char* p = begin;
  for (;;) {
    // Four bytes a step while none of them stops the scan, then byte by byte.
    const auto at = [stop](const char* x) { return stop[static_cast<unsigned char>(*x)]; };
    while (end - p >= 4 && (at(p) | at(p + 1) | at(p + 2) | at(p + 3)) == 0) p += 4;
    while (p < end && at(p) == 0) ++p;
    if (p >= end || *p == 0) return {};
    const char* r = p;
    while (r > q && IsLeadByte(static_cast<unsigned char>(r[-1]))) --r;
    if ((p - r) % 2 == 1) {  // p is the trail byte of the character before it
      q = ++p;
      continue;
    }
    const auto b = static_cast<unsigned char>(*p);
    if (IsLeadByte(b) && p + 1 < end && p[1] != 0 &&
        !dfa.CanStartWith(static_cast<CharCode>(b << 8 | static_cast<unsigned char>(p[1])))) {
      q = p += 2;
      continue;
    }
    const MatchSpan found = WalkFrom(dfa, p, end);
    if (found.start != nullptr) return found;
    q = p += CharStep(p, end);
  }
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
