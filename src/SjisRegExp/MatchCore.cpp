// TMatchCORE's scans: the restart scans, which find their candidate starts through
// DFAAccel and hand long walks to LinearScan, and FindInLines.
#include "MatchCore.h"

#include <array>
#include <cstring>

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

enum ByteKind : std::uint8_t { kSingle, kLead, kZero };

constexpr std::array<ByteKind, 256> MakeByteKinds() {
  std::array<ByteKind, 256> kinds{};
  for (unsigned b = 0; b < 256; ++b) {
    kinds[b] = b == 0 ? kZero : (IsLeadByte(static_cast<unsigned char>(b)) ? kLead : kSingle);
  }
  return kinds;
}
constexpr std::array<ByteKind, 256> kByteKinds = MakeByteKinds();

// The restart scans below try one start after another and run a fresh DFA walk from
// each; that is quickest when walks are short, as they nearly always are. Where they are
// not (a run of "a" under "a+b"), the walks of successive starts overlap and the cost
// grows with the square of the text. So every restart scan counts the bytes its walks
// have read, and once that passes kWorkSlack plus twice the distance it has advanced, it
// hands the rest of the text to LinearScan, which gives the same result in one pass.
// Walks of at most kShortWalk bytes are not counted: they cost at most that much a start,
// which is linear already, and the usual scan then pays one comparison a walk.
constexpr std::size_t kWorkSlack = 4096;
constexpr std::ptrdiff_t kShortWalk = 16;

inline bool OverBudget(std::size_t work, const char* begin, const char* p) {
  return work > kWorkSlack + 2 * static_cast<std::size_t>(p - begin);
}

// The leftmost-longest walk from one start position p of a plain scan: the end of the
// longest match that starts at p, or null. Every match found here starts at p, so only
// its end is kept. stop is where the walk ended.
const char* LongestByList(const TRE_DFA& dfa, const char* p, const char* end, const char*& stop) {
  const char* found = nullptr;
  std::int32_t state = 0;
  const char* cursor = p;
  for (;;) {
    if (dfa.Accepting(state)) found = cursor;
    const CharCode code = NextChar(cursor, end);
    if (code == 0) break;
    state = dfa.NextState(state, code);
    if (state == kNoState) break;
  }
  stop = cursor;
  return found;
}

// The state after a two-byte character; out of line, it keeps the walk's loop small.
[[gnu::noinline]] std::int32_t NextStateOnPair(const TRE_DFA& dfa, std::int32_t state,
                                               const char* pair) {
  return dfa.NextStateBySortedList(state,
                                   static_cast<CharCode>(static_cast<unsigned char>(pair[0]) << 8 |
                                                         static_cast<unsigned char>(pair[1])));
}

// As LongestByList, with NextChar and NextState done by hand for a DFA with dense rows:
// a single byte (a lone lead byte at the end included) is one load from its state's row,
// and one table look-up tells it from a lead byte and the zero byte.
inline const char* LongestFromStart(const TRE_DFA& dfa, const char* p, const char* end,
                                    const char*& stop) {
  const std::int32_t* dense = dfa.Accel().DenseTable();
  if (dense == nullptr) return LongestByList(dfa, p, end, stop);
  const std::uint8_t* accepting = dfa.Accel().AcceptingFlags();
  const char* found = nullptr;
  std::int32_t state = 0;
  const char* cursor = p;
  for (;;) {
    if (accepting[state] != 0) found = cursor;
    if (cursor >= end) break;
    const auto b = static_cast<unsigned char>(*cursor);
    if (kByteKinds[b] != kSingle) {
      if (kByteKinds[b] == kZero) break;
      if (cursor + 1 < end && cursor[1] != 0) {
        state = NextStateOnPair(dfa, state, cursor);
        cursor += 2;
        if (state == kNoState) break;
        continue;
      }
    }
    state = dense[static_cast<std::size_t>(state) * 256 + b];
    ++cursor;
    if (state == kNoState) break;
  }
  stop = cursor;
  return found;
}

// The rules of the plain scan: no line heads, no line-tail rule (the walk of a plain scan
// never takes an anchor transition).
ScanRules PlainRules() {
  ScanRules rules;
  rules.lineHeadMark = false;
  rules.lineTailRule = false;
  return rules;
}

// The two ways of finding a plain scan's next candidate start (DFAAccel.h). The stop-byte
// search is called out of line; this file's own copy of it, of internal linkage, lets the
// compiler see which registers it uses, so the usual scan keeps its values in the others
// instead of saving registers on every call.
class StopFinder : public DFAAccel::StopBytes {
 public:
  using DFAAccel::StopBytes::StopBytes;
  [[gnu::noinline, gnu::flatten]] const char* NextCandidate(const char* p, const char* end) const {
    return DFAAccel::StopBytes::NextCandidate(p, end);
  }
};
using LiteralFinder = DFAAccel::Literal;

// The plain scan from its first stop byte p on, which is before the end and not zero; q is
// the beginning of the text.
//
// The scan tries, in order, every character start at which the initial state can take
// the character; the others would stop the walk at once without a match.
//
// Rather than stepping character by character, it searches for the next byte that could
// begin such a character (a stop byte), which needs no knowledge of where characters
// begin, and then decides whether that byte begins one: counting the lead-byte values
// directly before it, back to the last position q known to begin a character, an even
// count means it does (the byte before such a run ends a character, and the run pairs up
// from there). Every byte is counted back at most once, so the scan stays linear.
//
// Past its work budget it goes on with LinearScan from the next start it would try.
template <typename Finder>
[[gnu::noinline]] MatchSpan ScanPlainFrom(const TRE_DFA& dfa, const char* q, const char* p,
                                          const char* end) {
  const Finder finder(dfa.Accel(), q);
  const char* const begin = q;
  std::size_t work = 0;
  for (;;) {
    if (!BeginsCharacter(q, p)) {  // p is the trail byte of the character before it
      q = ++p;
    } else {
      const auto b = static_cast<unsigned char>(*p);
      if (IsLeadByte(b) && p + 1 < end && p[1] != 0 &&
          !dfa.Accel().CanStartWith(
              static_cast<CharCode>(b << 8 | static_cast<unsigned char>(p[1])))) {
        q = p += 2;
      } else {
        const char* stop = p;
        if (const char* e = LongestFromStart(dfa, p, end, stop); e != nullptr) return {p, e};
        const std::ptrdiff_t walked = stop - p;
        q = p += CharStep(p, end);
        if (walked > kShortWalk) {
          work += static_cast<std::size_t>(walked);
          if (OverBudget(work, begin, p)) return LinearScan(dfa, p, end, false, PlainRules());
        }
      }
    }
    p = finder.NextCandidate(p, end);
    if (p >= end || *p == 0) return {};
  }
}

// The plain scan of a lazy automaton, which has no tables for the restart scan and whose
// states are built as the walks go (the one-pass search builds each one once a step at
// most), and of a pattern whose matches begin with a literal. Out of line, so that the
// usual scan keeps its few instructions a call.
[[gnu::noinline]] MatchSpan ScanPlainOtherwise(const TRE_DFA& dfa, const char* begin,
                                               const char* end) {
  if (dfa.Lazy()) return LinearScan(dfa, begin, end, false, PlainRules());
  if (begin >= end || *begin == 0) return {};  // a literal prefix: the initial state rejects
  const LiteralFinder finder(dfa.Accel(), begin);
  const char* p = finder.NextCandidate(begin, end);
  if (p >= end || *p == 0) return {};
  return ScanPlainFrom<LiteralFinder>(dfa, begin, p, end);
}

// The match at the beginning, for an initial state that accepts; out of line, so that the
// usual scan needs few registers.
[[gnu::noinline]] MatchSpan AtFirstPosition(const TRE_DFA& dfa, const char* begin,
                                            const char* end) {
  const char* stop = begin;
  return {begin, LongestFromStart(dfa, begin, end, stop)};
}

}  // namespace

MatchSpan TMatchCORE::ScanPlain(const char* begin, const char* end) const {
  const TRE_DFA& dfa = CurrentDFA();
  if (dfa.Accel().PlainSearch() != DFAAccel::kByStopBytes) {
    return ScanPlainOtherwise(dfa, begin, end);
  }
  if (begin >= end || *begin == 0) {
    if (dfa.Accepting(0)) return {begin, begin};
    return {};
  }
  // An initial state that accepts matches at the first position.
  if (dfa.Accepting(0)) return AtFirstPosition(dfa, begin, end);
  // Most texts hold no stop byte at all: this much is all they cost.
  const StopFinder finder(dfa.Accel(), begin);
  const char* p = finder.NextCandidate(begin, end);
  if (p >= end || *p == 0) return {};
  return ScanPlainFrom<StopFinder>(dfa, begin, p, end);
}

ScanRules TMatchCORE::Rules() const {
  ScanRules rules;
  rules.lineHeadCode = LineHeadCode();
  rules.lineTailCode = LineTailCode();
  rules.separator = lineSeparator_ == mcls_CRLF ? 13 : (lineSeparator_ == mcls_LF ? 10 : 0);
  rules.lineHeadMark = CurrentDFA().LineHeadMark();
  rules.lineTailRule = true;
  return rules;
}

const char* TMatchCORE::LongestFrom(const char* p, const char* end, std::int32_t state) const {
  std::size_t work = 0;
  return LongestFromCounted(p, end, state, work);
}

const char* TMatchCORE::LongestFromCounted(const char* p, const char* end, std::int32_t state,
                                           std::size_t& work) const {
  if (state == kNoState) return nullptr;
  const TRE_DFA& dfa = CurrentDFA();
  const char* result = nullptr;
  const char* cursor = p;
  std::int32_t last = state;
  CharCode code = 0;
  do {
    if (dfa.CacheFull()) dfa.ResetCache(&state, 1);
    if (dfa.Accepting(state)) result = cursor;
    last = state;
    code = NextChar(cursor, end);
    state = code == 0 ? kNoState : dfa.NextState(state, code);
  } while (state != kNoState);
  if (cursor - p > kShortWalk) work += static_cast<std::size_t>(cursor - p);
  if ((code == 0 || IsLineSeparator(code)) && dfa.NextState(last, LineTailCode()) != kNoState) {
    return code != 0 ? cursor - 1 : cursor;
  }
  return result;
}

const char* TMatchCORE::LongestAtLineHead(const char* p, const char* end,
                                          std::int32_t state) const {
  std::size_t work = 0;
  return LongestAtLineHeadCounted(p, end, state, work);
}

const char* TMatchCORE::LongestAtLineHeadCounted(const char* p, const char* end, std::int32_t state,
                                                 std::size_t& work) const {
  const TRE_DFA& dfa = CurrentDFA();
  if (!dfa.LineHeadMark()) return LongestFromCounted(p, end, state, work);
  const char* a = LongestFromCounted(p, end, dfa.NextState(state, LineHeadCode()), work);
  if (a == nullptr) return nullptr;
  const char* b = LongestFromCounted(p, end, state, work);
  if (b != nullptr && b >= a) return b;
  return a;
}

MatchSpan TMatchCORE::ScanAnchored(const char* begin, const char* end) const {
  if (CurrentDFA().Lazy()) return LinearScan(CurrentDFA(), begin, end, true, Rules());
  const char* e = LongestAtLineHead(begin, end, 0);
  if (e != nullptr) return {begin, e};
  return ScanFrom(begin, end);
}

MatchSpan TMatchCORE::ScanFrom(const char* begin, const char* end) const {
  const TRE_DFA& dfa = CurrentDFA();
  if (dfa.Lazy()) return LinearScan(dfa, begin, end, false, Rules());
  const char* p = begin;
  std::size_t work = 0;
  while (p < end && *p != 0) {
    // A line head whose anchored reading failed just before is only its plain reading,
    // which is what LinearScan tries there without the line-head flag.
    if (OverBudget(work, begin, p)) return LinearScan(dfa, p, end, false, Rules());
    if (const char* e = LongestFromCounted(p, end, 0, work); e != nullptr) return {p, e};
    if (*p == '\n' && dfa.LineHeadMark()) {
      if (const char* e = LongestAtLineHeadCounted(p + 1, end, 0, work); e != nullptr) {
        return {p + 1, e};
      }
    }
    p += CharStep(p, end);
  }
  // The end of the text is a start too: an initial state that accepts, or that has a
  // line-tail transition, matches there with length 0. (Only an empty text reaches here
  // with an accepting initial state.)
  if (const char* e = LongestFrom(p, end, 0); e != nullptr) return {p, e};
  return {};
}

MatchSpan TMatchCORE::FindInLines(const char* begin, const char* end) const {
  const TRE_DFA& dfa = CurrentDFA();
  const bool anchored = dfa.LineHeadMark() || dfa.LineTailMark();
  // A plain pattern whose initial state does not accept can only match where a stop byte
  // begins a character, so lines without a stop byte are passed over unread by the scan.
  const bool skipLines = !anchored && !dfa.Accepting(0) && !dfa.Lazy();
  const char* p = begin;
  while (p < end) {
    if (skipLines) {
      const DFAAccel& accel = dfa.Accel();
      const char* hit = accel.LiteralPrefix().empty()
                            ? StopFinder(accel, p).NextCandidate(p, end)
                            : LiteralFinder(accel, p).NextCandidate(p, end);
      if (hit >= end) return {};
      const void* lastLineFeed = memrchr(p, '\n', static_cast<std::size_t>(hit - p));
      if (lastLineFeed != nullptr) p = static_cast<const char*>(lastLineFeed) + 1;
    }
    const void* lineFeed = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
    const char* lineEnd = lineFeed != nullptr ? static_cast<const char*>(lineFeed) : end;
    const MatchSpan m = anchored ? ScanAnchored(p, lineEnd) : ScanPlain(p, lineEnd);
    if (m.start != nullptr) return m;
    if (lineFeed == nullptr) break;
    p = lineEnd + 1;
  }
  return {};
}

}  // namespace SjisRegExp
