// The matching core's scans: the restart scans, which find their candidate starts through
// DFAAccel and hand long walks to LinearScan, FindInLines, and TMatchCORE's Match.
#include "MatchCore.h"

#include <cstring>
#include <limits>

#include "DFAAccelScan.h"

namespace SjisRegExp {

namespace {

// The restart scans below try one start after another and run a fresh DFA walk from
// each; that is quickest when walks are short, as they nearly always are. Where they are
// not (a run of "a" under "a+b"), the walks of successive starts overlap and the cost
// grows with the square of the text. So every restart scan counts the bytes its walks
// have read, and once that passes kWorkSlack plus twice the distance it has advanced, it
// hands the rest of the text to LinearScan, which gives the same result in one pass.
// Walks of at most kShortWalk bytes are not counted: they cost at most that much a start,
// which is linear already.
constexpr std::size_t kWorkSlack = 4096;
constexpr std::ptrdiff_t kShortWalk = 16;

inline bool OverBudget(std::size_t work, const char* begin, const char* p) {
  return work > kWorkSlack + 2 * static_cast<std::size_t>(p - begin);
}

// DFAAccel::WalkDense's walk for an automaton without dense rows: by NextChar and the
// sorted lists.
bool WalkByList(const TRE_DFA& dfa, std::int32_t& state, const char*& cursor, const char*& found,
                const char* limit, const char* end) {
  for (;;) {
    if (dfa.Accepting(state)) found = cursor;
    if (cursor >= limit) return cursor < end;
    const CharCode code = NextChar(cursor, end);
    if (code == 0) return false;
    state = dfa.NextState(state, code);
    if (state == kNoState) return false;
  }
}

template <bool kDense>
inline bool Walk(const TRE_DFA& dfa, std::int32_t& state, const char*& cursor, const char*& found,
                 const char* limit, const char* end) {
  if constexpr (kDense) {
    return dfa.Accel().WalkDense(state, cursor, found, limit, end);
  } else {
    return WalkByList(dfa, state, cursor, found, limit, end);
  }
}

// The end of the longest match from p in the initial state (a plain scan's walk), or null.
template <bool kDense>
const char* LongestFromStart(const TRE_DFA& dfa, const char* p, const char* end) {
  std::int32_t state = 0;
  const char* found = nullptr;
  Walk<kDense>(dfa, state, p, found, end, end);
  return found;
}

// Where the walk from p is cut: kShortWalk bytes on, or at the end if that is nearer.
// Computed on addresses, since p + kShortWalk may lie past the text.
inline const char* CutOf(const char* p, const char* end) {
  const auto at = reinterpret_cast<std::uintptr_t>(p) + kShortWalk;
  const auto last = reinterpret_cast<std::uintptr_t>(end);
  return reinterpret_cast<const char*>(at < last ? at : last);
}

// The rest of a plain scan's walk from p that was cut at its limit: to its end, with the
// bytes it read counted as work. Out of line: walks this long are rare.
template <bool kDense>
[[gnu::noinline]] const char* FinishWalk(const TRE_DFA& dfa, std::int32_t state, const char* cursor,
                                         const char* found, const char* p, const char* end,
                                         std::size_t& work) {
  Walk<kDense>(dfa, state, cursor, found, end, end);
  work += static_cast<std::size_t>(cursor - p);
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

// The two ways of finding a plain scan's next candidate start (DFAAccelScan.h). The
// stop-byte search is called out of line; this file's own copy of it, of internal
// linkage, lets the compiler see which registers it uses, so the usual scan keeps its
// values in the others instead of saving registers on every call.
class StopFinder : public DFAAccel::StopBytes {
 public:
  using DFAAccel::StopBytes::StopBytes;
  [[gnu::noinline, gnu::flatten]] const char* NextCandidate(const char* p, const char* end) const {
    return DFAAccel::StopBytes::NextCandidate(p, end);
  }
};
using LiteralFinder = DFAAccel::Literal;

// The plain scan from its first candidate p on, which is a stop byte before the end and
// not zero, found by the finder; q is the beginning of the text.
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
// Every walk is cut kShortWalk bytes after its start and, when it gets that far, finished
// out of line, where its length counts as work; so the usual walk pays nothing for the
// count. Past its work budget the scan goes on with LinearScan from the next start it
// would try.
template <typename Finder, bool kDense>
[[gnu::noinline]] MatchSpan ScanPlainFrom(const TRE_DFA& dfa, const Finder& finder, const char* q,
                                          const char* p, const char* end) {
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
        std::int32_t state = 0;
        const char* cursor = p;
        const char* found = nullptr;
        if (Walk<kDense>(dfa, state, cursor, found, CutOf(p, end), end)) {
          found = FinishWalk<kDense>(dfa, state, cursor, found, p, end, work);
          if (found == nullptr) {
            const char* next = p + CharStep(p, end);
            if (OverBudget(work, begin, next)) {
              return LinearScan(dfa, next, end, false, PlainRules());
            }
          }
        }
        if (found != nullptr) return {p, found};
        q = p += CharStep(p, end);
      }
    }
    p = finder.NextCandidate(p, end);
    if (p >= end || *p == 0) return {};
  }
}

// The plain scan of a text by the finder's candidates: none when the text holds none.
template <typename Finder, bool kDense>
inline MatchSpan ScanPlainBy(const TRE_DFA& dfa, const char* begin, const char* end) {
  if (begin >= end || *begin == 0) return {};
  const Finder finder(dfa.Accel(), begin);
  const char* p = finder.NextCandidate(begin, end);
  if (p >= end || *p == 0) return {};
  return ScanPlainFrom<Finder, kDense>(dfa, finder, begin, p, end);
}

// The plain scans that are not by stop bytes over dense rows (DFAAccel::PlainSearch): a
// pattern whose matches begin with a literal; a lazy automaton, which has no tables for the
// restart scan and whose states are built as the walks go (the one-pass search builds each
// one once a step at most); an initial state that accepts; an automaton too big for dense
// rows. Out of line, so that the usual scan keeps its few instructions a call.
[[gnu::noinline]] MatchSpan ScanPlainOtherwise(const TRE_DFA& dfa, const char* begin,
                                               const char* end) {
  const DFAAccel& accel = dfa.Accel();
  if (accel.PlainSearch() == DFAAccel::kByLiteral) {
    return ScanPlainBy<LiteralFinder, true>(dfa, begin, end);
  }
  if (dfa.Lazy()) return LinearScan(dfa, begin, end, false, PlainRules());
  if (dfa.Accepting(0)) {
    // A match at the first position, if only of length 0.
    return {begin, accel.HasDenseRows() ? LongestFromStart<true>(dfa, begin, end)
                                        : LongestFromStart<false>(dfa, begin, end)};
  }
  if (!accel.LiteralPrefix().empty()) return ScanPlainBy<LiteralFinder, false>(dfa, begin, end);
  return ScanPlainBy<StopFinder, false>(dfa, begin, end);
}

}  // namespace

MatchSpan ScanPlain(const TRE_DFA& dfa, const char* begin, const char* end) {
  if (dfa.Accel().PlainSearch() != DFAAccel::kByStopBytes) {
    return ScanPlainOtherwise(dfa, begin, end);
  }
  // Here the initial state does not accept, so an empty text holds no match; and most texts
  // hold no stop byte at all: the search for one is all they cost.
  return ScanPlainBy<StopFinder, true>(dfa, begin, end);
}

namespace {

const char* LongestFromCounted(const TRE_DFA& dfa, const ScanRules& rules, const char* p,
                               const char* end, std::int32_t state, std::size_t& work) {
  if (state == kNoState) return nullptr;
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
  if ((code == 0 || code == rules.separator) &&
      dfa.NextState(last, rules.lineTailCode) != kNoState) {
    return code != 0 ? cursor - 1 : cursor;
  }
  return result;
}

const char* LongestAtLineHeadCounted(const TRE_DFA& dfa, const ScanRules& rules, const char* p,
                                     const char* end, std::int32_t state, std::size_t& work) {
  if (!dfa.LineHeadMark()) return LongestFromCounted(dfa, rules, p, end, state, work);
  const char* a =
      LongestFromCounted(dfa, rules, p, end, dfa.NextState(state, rules.lineHeadCode), work);
  if (a == nullptr) return nullptr;
  const char* b = LongestFromCounted(dfa, rules, p, end, state, work);
  if (b != nullptr && b >= a) return b;
  return a;
}

}  // namespace

const char* LongestFrom(const TRE_DFA& dfa, const ScanRules& rules, const char* p, const char* end,
                        std::int32_t state) {
  std::size_t work = 0;
  return LongestFromCounted(dfa, rules, p, end, state, work);
}

const char* LongestAtLineHead(const TRE_DFA& dfa, const ScanRules& rules, const char* p,
                              const char* end, std::int32_t state) {
  std::size_t work = 0;
  return LongestAtLineHeadCounted(dfa, rules, p, end, state, work);
}

namespace {

const char* LongestReadingUpTo(const TRE_DFA& dfa, const ScanRules& rules, const char* p,
                               const char* limit, const char* end, std::int32_t state) {
  const char* result = nullptr;
  const char* cursor = p;
  while (state != kNoState) {
    if (dfa.CacheFull()) dfa.ResetCache(&state, 1);
    if (dfa.Accepting(state)) result = cursor;
    const char* next = cursor;
    const CharCode code = NextChar(next, end);
    const std::int32_t target = code == 0 ? kNoState : dfa.NextState(state, code);
    if (target == kNoState) {
      // The walk dies here: on the separator or at the end, a line tail matches before it.
      if ((code == 0 || code == rules.separator) &&
          dfa.NextState(state, rules.lineTailCode) != kNoState) {
        result = cursor;
      }
      break;
    }
    if (next > limit) break;
    state = target;
    cursor = next;
  }
  return result;
}

}  // namespace

const char* LongestUpTo(const TRE_DFA& dfa, const ScanRules& rules, const char* p,
                        const char* limit, const char* end, bool lineHead) {
  const char* plain = LongestReadingUpTo(dfa, rules, p, limit, end, 0);
  if (!lineHead || !dfa.LineHeadMark()) return plain;
  const char* anchored =
      LongestReadingUpTo(dfa, rules, p, limit, end, dfa.NextState(0, rules.lineHeadCode));
  return anchored != nullptr && (plain == nullptr || anchored > plain) ? anchored : plain;
}

MatchSpan ScanAnchored(const TRE_DFA& dfa, const ScanRules& rules, const char* begin,
                       const char* end) {
  if (dfa.Lazy()) return LinearScan(dfa, begin, end, true, rules);
  const char* e = LongestAtLineHead(dfa, rules, begin, end, 0);
  if (e != nullptr) return {begin, e};
  return ScanFrom(dfa, rules, begin, end);
}

MatchSpan ScanFrom(const TRE_DFA& dfa, const ScanRules& rules, const char* begin, const char* end) {
  if (dfa.Lazy()) return LinearScan(dfa, begin, end, false, rules);
  const char* p = begin;
  std::size_t work = 0;
  while (p < end && *p != 0) {
    // A line head whose anchored reading failed just before is only its plain reading,
    // which is what LinearScan tries there without the line-head flag.
    if (OverBudget(work, begin, p)) return LinearScan(dfa, p, end, false, rules);
    if (const char* e = LongestFromCounted(dfa, rules, p, end, 0, work); e != nullptr) {
      return {p, e};
    }
    if (*p == '\n' && dfa.LineHeadMark()) {
      if (const char* e = LongestAtLineHeadCounted(dfa, rules, p + 1, end, 0, work); e != nullptr) {
        return {p + 1, e};
      }
    }
    p += CharStep(p, end);
  }
  // The end of the text is a start too: an initial state that accepts, or that has a
  // line-tail transition, matches there with length 0. (Only an empty text reaches here
  // with an accepting initial state.)
  if (const char* e = LongestFrom(dfa, rules, p, end, 0); e != nullptr) return {p, e};
  return {};
}

ScanRules LineRules(ScanRules rules) {
  rules.separator = '\n';
  return rules;
}

MatchSpan FindInLines(const TRE_DFA& dfa, const ScanRules& blockRules, const char* begin,
                      const char* end) {
  const ScanRules rules = LineRules(blockRules);
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
    const char* textEnd =
        lineFeed != nullptr && lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
    const MatchSpan m =
        anchored ? ScanAnchored(dfa, rules, p, textEnd) : ScanPlain(dfa, p, textEnd);
    if (m.start != nullptr) return m;
    if (lineFeed == nullptr) break;
    p = lineEnd + 1;
  }
  return {};
}

bool TMatchCORE::IsLineSeparator(CharCode code) const {
  const CharCode separator = Rules().separator;
  return separator != 0 && code == separator;
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

std::string_view MatchText(std::string_view text) {
  constexpr std::size_t kMaxText = static_cast<std::size_t>(std::numeric_limits<int>::max()) - 1;
  return text.size() > kMaxText ? text.substr(0, kMaxText) : text;
}

int MatchResult(std::string_view text, MatchSpan m, int& start, int& length) {
  if (m.start == nullptr) {
    start = 0;
    length = 0;
    return 0;
  }
  start = static_cast<int>(m.start - text.data()) + 1;
  length = static_cast<int>(m.end - m.start);
  return start;
}

int TMatchCORE::Match(std::string_view text, int& start, int& length) const {
  text = MatchText(text);
  // The scans stop at the first zero byte themselves, so the text is not measured first: a
  // long text with an early match costs only what is read.
  const char* begin = text.data();
  const char* end = begin + text.size();
  const TRE_DFA& dfa = CurrentDFA();
  const MatchSpan m = (dfa.LineHeadMark() || dfa.LineTailMark())
                          ? SjisRegExp::ScanAnchored(dfa, Rules(), begin, end)
                          : SjisRegExp::ScanPlain(dfa, begin, end);
  return MatchResult(text, m, start, length);
}

}  // namespace SjisRegExp
