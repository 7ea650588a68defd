// The matching core's scans: the restart scans, which find their candidate starts through
// DFAAccel and hand long walks to LinearScan, FindInLines, and TMatchCORE's Match.
#include "MatchCore.h"

#include <cassert>
#include <cstring>
#include <limits>
#include <type_traits>

#include "DFAAccelScan.h"
#include "LiteralSearch.h"

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

// Every scan's result lies in its text: none, or begin <= start <= end of match <= end.
// Debug builds check it where each scan returns.
inline MatchSpan Checked(MatchSpan m, const char* begin, const char* end) {
  assert(m.start == nullptr || (begin <= m.start && m.start <= m.end && m.end <= end));
  static_cast<void>(begin);
  static_cast<void>(end);
  return m;
}

// DFAAccel::WalkDense's walk for an automaton without dense rows: by ReadChar and the
// sorted lists.
template <bool kZeroEnds>
bool WalkByList(const TRE_DFA& dfa, std::int32_t& state, const char*& cursor, const char*& found,
                const char* limit, const char* end) {
  for (;;) {
    if (dfa.Accepting(state)) found = cursor;
    if (cursor >= limit) return cursor < end && !AtTextEnd<kZeroEnds>(cursor, end);
    if (AtTextEnd<kZeroEnds>(cursor, end)) return false;
    const CharCode code = ReadChar<kZeroEnds>(cursor, end);
    state = dfa.NextState(state, code);
    if (state == kNoState) return false;
  }
}

template <bool kDense, bool kZeroEnds>
inline bool Walk(const TRE_DFA& dfa, std::int32_t& state, const char*& cursor, const char*& found,
                 const char* limit, const char* end) {
  if constexpr (kDense) {
    return dfa.Accel().WalkDense<kZeroEnds>(state, cursor, found, limit, end);
  } else {
    return WalkByList<kZeroEnds>(dfa, state, cursor, found, limit, end);
  }
}

// The end of the longest match from p in the initial state (a plain scan's walk), or null.
template <bool kDense, bool kZeroEnds>
const char* LongestFromStart(const TRE_DFA& dfa, const char* p, const char* end) {
  std::int32_t state = 0;
  const char* found = nullptr;
  Walk<kDense, kZeroEnds>(dfa, state, p, found, end, end);
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
template <bool kDense, bool kZeroEnds>
[[gnu::noinline]] const char* FinishWalk(const TRE_DFA& dfa, std::int32_t state, const char* cursor,
                                         const char* found, const char* p, const char* end,
                                         std::size_t& work) {
  Walk<kDense, kZeroEnds>(dfa, state, cursor, found, end, end);
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
// stop-byte search is called out of line, so that the scan's own loop stays small; the
// call goes to this file's own copy of it, which the scan's loop is built around.
class StopFinder : public DFAAccel::StopBytes {
 public:
  using DFAAccel::StopBytes::StopBytes;
  template <bool kZeroEnds>
  [[gnu::noinline, gnu::flatten]] const char* NextCandidate(const char* p, const char* end) const {
    return DFAAccel::StopBytes::NextCandidate(p, end);
  }
};
using LiteralFinder = DFAAccel::Literal;

// The one-pass scan from p, for a text that may hold a match: the line automaton reads the
// text first, a byte at a time (LineDFA.h), and where it finds no match can begin at or
// after p, the scan is not run. Where one can, the scan finds which.
template <bool kZeroEnds, typename Automaton>
MatchSpan OnePass(TRE_Search& search, Automaton& dfa, const char* p, const char* end,
                  bool lineHeadAtP, const ScanRules& rules) {
  if (!search.Cache().LineDFA().MayMatch(p, end, lineHeadAtP, rules.separator, kZeroEnds)) {
    return {};
  }
  return LinearScan<kZeroEnds>(dfa, search.Cache().scratch, p, end, lineHeadAtP, rules);
}

// The rest of a restart scan on an eager automaton, from p on, in one pass: the scan's
// memory comes from a search cache, taken here. Out of line: the restart scans rarely get
// here, and they keep no cache themselves.
template <bool kZeroEnds>
[[gnu::noinline]] MatchSpan HandOver(const TRE_Program& program, const TRE_DFA& dfa, const char* p,
                                     const char* end, const ScanRules& rules) {
  TRE_Search search(program);
  return OnePass<kZeroEnds>(search, dfa, p, end, false, rules);
}

// The one-pass scan of a lazy program, whose automaton the search's cache holds.
template <bool kZeroEnds>
[[gnu::noinline]] MatchSpan LazyScan(const TRE_Program& program, const char* p, const char* end,
                                     bool lineHeadAtP, const ScanRules& rules) {
  TRE_Search search(program);
  return OnePass<kZeroEnds>(search, search.LazyDFA(), p, end, lineHeadAtP, rules);
}

// The plain scan from its first candidate p on, which is a stop byte before the end of the
// text, found by the finder; q is the beginning of the text.
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
template <typename Finder, bool kDense, bool kZeroEnds>
[[gnu::noinline]] MatchSpan ScanPlainFrom(const TRE_Program& program, const TRE_DFA& dfa,
                                          const Finder& finder, const char* q, const char* p,
                                          const char* end) {
  const char* const begin = q;
  std::size_t work = 0;
  for (;;) {
    assert(BeginsCharacter(begin, q) && q <= p);
    if (!BeginsCharacter(q, p)) {  // p is the trail byte of the character before it
      q = ++p;
    } else {
      const auto b = static_cast<unsigned char>(*p);
      if (IsLeadByte(b) && p + 1 < end && (!kZeroEnds || p[1] != 0) &&
          !dfa.Accel().CanStartWith(
              static_cast<CharCode>(b << 8 | static_cast<unsigned char>(p[1])))) {
        q = p += 2;
      } else {
        std::int32_t state = 0;
        const char* cursor = p;
        const char* found = nullptr;
        if (Walk<kDense, kZeroEnds>(dfa, state, cursor, found, CutOf(p, end), end)) {
          found = FinishWalk<kDense, kZeroEnds>(dfa, state, cursor, found, p, end, work);
          if (found == nullptr) {
            const char* next = p + CharBytes<kZeroEnds>(p, end);
            if (OverBudget(work, begin, next)) {
              return HandOver<kZeroEnds>(program, dfa, next, end, PlainRules());
            }
          }
        }
        if (found != nullptr) return {p, found};
        q = p += CharBytes<kZeroEnds>(p, end);
      }
    }
    p = finder.template NextCandidate<kZeroEnds>(p, end);
    if (AtTextEnd<kZeroEnds>(p, end)) return {};
  }
}

// The plain scan of a text by the finder's candidates: none when the text holds none.
template <typename Finder, bool kDense, bool kZeroEnds>
inline MatchSpan ScanPlainBy(const TRE_Program& program, const TRE_DFA& dfa, const char* begin,
                             const char* end) {
  if (AtTextEnd<kZeroEnds>(begin, end)) return {};
  const Finder finder(dfa.Accel(), begin);
  const char* p = finder.template NextCandidate<kZeroEnds>(begin, end);
  if (AtTextEnd<kZeroEnds>(p, end)) return {};
  return ScanPlainFrom<Finder, kDense, kZeroEnds>(program, dfa, finder, begin, p, end);
}

// The plain scans that are not by stop bytes over dense rows (DFAAccel::PlainSearch): a
// pattern whose matches begin with a literal; a lazy automaton, which has no tables for the
// restart scan and whose states are built as the walks go (the one-pass search builds each
// one once a step at most); an initial state that accepts; an automaton too big for dense
// rows. Out of line, so that the usual scan keeps its few instructions a call.
template <bool kZeroEnds>
[[gnu::noinline]] MatchSpan ScanPlainOtherwise(const TRE_Program& program, const char* begin,
                                               const char* end) {
  if (program.Lazy()) return LazyScan<kZeroEnds>(program, begin, end, false, PlainRules());
  const TRE_DFA& dfa = program.EagerDFA();
  const DFAAccel& accel = dfa.Accel();
  if (accel.PlainSearch() == DFAAccel::kByLiteral) {
    return ScanPlainBy<LiteralFinder, true, kZeroEnds>(program, dfa, begin, end);
  }
  if (dfa.Accepting(0)) {
    // A match at the first position, if only of length 0.
    return {begin, accel.HasDenseRows() ? LongestFromStart<true, kZeroEnds>(dfa, begin, end)
                                        : LongestFromStart<false, kZeroEnds>(dfa, begin, end)};
  }
  if (!accel.LiteralPrefix().empty()) {
    return ScanPlainBy<LiteralFinder, false, kZeroEnds>(program, dfa, begin, end);
  }
  return ScanPlainBy<StopFinder, false, kZeroEnds>(program, dfa, begin, end);
}

}  // namespace

int MatchByStopBytes(const void* context, std::string_view text, int& start, int& length) {
  const auto& program = *static_cast<const TRE_Program*>(context);
  assert(program.PlainScanByStops());
  text = MatchText(text);
  const MatchSpan m = ScanPlainBy<StopFinder, true, true>(program, program.EagerDFA(), text.data(),
                                                          text.data() + text.size());
  return MatchResult(text, m, start, length);
}

int MatchByLiteral(const void* context, std::string_view text, int& start, int& length) {
  const auto& program = *static_cast<const TRE_Program*>(context);
  assert(program.PlainScanByLiteral());
  text = MatchText(text);
  const MatchSpan m = ScanPlainBy<LiteralFinder, true, true>(
      program, program.EagerDFA(), text.data(), text.data() + text.size());
  return MatchResult(text, m, start, length);
}

int MatchPlain(const void* context, std::string_view text, int& start, int& length) {
  const auto& program = *static_cast<const TRE_Program*>(context);
  assert(program.Plain());
  text = MatchText(text);
  return MatchResult(text, ScanPlain<true>(program, text.data(), text.data() + text.size()), start,
                     length);
}

int MatchOfComponent(const void* core, std::string_view text, int& start, int& length) {
  return static_cast<const TMatchCORE*>(core)->Match(text, start, length);
}

template <bool kZeroEnds>
MatchSpan ScanPlain(const TRE_Program& program, const char* begin, const char* end) {
  if (program.Lazy() || program.EagerDFA().Accel().PlainSearch() != DFAAccel::kByStopBytes) {
    return Checked(ScanPlainOtherwise<kZeroEnds>(program, begin, end), begin, end);
  }
  // Here the initial state does not accept, so an empty text holds no match; and most texts
  // hold no stop byte at all: the search for one is all they cost.
  return Checked(ScanPlainBy<StopFinder, true, kZeroEnds>(program, program.EagerDFA(), begin, end),
                 begin, end);
}

namespace {

template <bool kZeroEnds, typename Automaton>
const char* LongestFromCounted(Automaton& dfa, const ScanRules& rules, const char* p,
                               const char* end, std::int32_t state, std::size_t& work) {
  if (state == kNoState) return nullptr;
  const char* result = nullptr;
  const char* cursor = p;
  std::int32_t last = state;
  bool atEnd = false;
  CharCode code = 0;
  do {
    if constexpr (!std::is_const_v<Automaton>) {
      if (dfa.CacheFull()) dfa.ResetCache(&state, 1);
    }
    if (dfa.Accepting(state)) result = cursor;
    last = state;
    atEnd = AtTextEnd<kZeroEnds>(cursor, end);
    if (atEnd) break;
    code = ReadChar<kZeroEnds>(cursor, end);
    state = Step(dfa, state, code);
  } while (state != kNoState);
  if (cursor - p > kShortWalk) work += static_cast<std::size_t>(cursor - p);
  // The walk died at the end of the text, or on the separator: a line tail matches before it.
  if ((atEnd || (rules.separator != 0 && code == rules.separator)) &&
      Step(dfa, last, rules.lineTailCode) != kNoState) {
    return atEnd ? cursor : cursor - 1;
  }
  return result;
}

template <bool kZeroEnds, typename Automaton>
const char* LongestAtLineHeadCounted(Automaton& dfa, const ScanRules& rules, const char* p,
                                     const char* end, std::int32_t state, std::size_t& work) {
  if (!dfa.LineHeadMark()) return LongestFromCounted<kZeroEnds>(dfa, rules, p, end, state, work);
  const char* a =
      LongestFromCounted<kZeroEnds>(dfa, rules, p, end, Step(dfa, state, rules.lineHeadCode), work);
  if (a == nullptr) return nullptr;
  const char* b = LongestFromCounted<kZeroEnds>(dfa, rules, p, end, state, work);
  if (b != nullptr && b >= a) return b;
  return a;
}

// The longest reading from the state that ends at or before limit (LongestUpTo).
template <typename Automaton>
const char* LongestReadingUpTo(Automaton& dfa, const ScanRules& rules, const char* p,
                               const char* limit, const char* end, std::int32_t state) {
  const char* result = nullptr;
  const char* cursor = p;
  while (state != kNoState) {
    if constexpr (!std::is_const_v<Automaton>) {
      if (dfa.CacheFull()) dfa.ResetCache(&state, 1);
    }
    if (dfa.Accepting(state)) result = cursor;
    const bool atEnd = AtTextEnd<false>(cursor, end);
    const char* next = cursor;
    const CharCode code = atEnd ? 0 : ReadChar<false>(next, end);
    const std::int32_t target = atEnd ? kNoState : Step(dfa, state, code);
    if (target == kNoState) {
      // The walk dies here: at the end or on the separator, a line tail matches before it.
      if ((atEnd || (rules.separator != 0 && code == rules.separator)) &&
          Step(dfa, state, rules.lineTailCode) != kNoState) {
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

template <typename Automaton>
const char* LongestUpToIn(Automaton& dfa, const ScanRules& rules, const char* p, const char* limit,
                          const char* end, bool lineHead) {
  const char* plain = LongestReadingUpTo(dfa, rules, p, limit, end, 0);
  if (!lineHead || !dfa.LineHeadMark()) return plain;
  const std::int32_t head = Step(dfa, 0, rules.lineHeadCode);
  const char* anchored =
      head == kNoState ? nullptr : LongestReadingUpTo(dfa, rules, p, limit, end, head);
  return anchored != nullptr && (plain == nullptr || anchored > plain) ? anchored : plain;
}

// The eager restart scan from begin (not a line head) on: each start's walk, and the second
// reading of each start after an LF.
template <bool kZeroEnds>
MatchSpan ScanFromEager(const TRE_Program& program, const TRE_DFA& dfa, const ScanRules& rules,
                        const char* begin, const char* end) {
  const char* p = begin;
  std::size_t work = 0;
  while (!AtTextEnd<kZeroEnds>(p, end)) {
    // A line head whose anchored reading failed just before is only its plain reading,
    // which is what LinearScan tries there without the line-head flag.
    if (OverBudget(work, begin, p)) return HandOver<kZeroEnds>(program, dfa, p, end, rules);
    if (const char* e = LongestFromCounted<kZeroEnds>(dfa, rules, p, end, 0, work)) return {p, e};
    if (*p == '\n' && dfa.LineHeadMark()) {
      if (const char* e = LongestAtLineHeadCounted<kZeroEnds>(dfa, rules, p + 1, end, 0, work)) {
        return {p + 1, e};
      }
    }
    p += CharBytes<kZeroEnds>(p, end);
  }
  // The end of the text is a start too: an initial state that accepts, or that has a
  // line-tail transition, matches there with length 0. (Only an empty text reaches here
  // with an accepting initial state.)
  if (const char* e = LongestFromCounted<kZeroEnds>(dfa, rules, p, end, 0, work)) return {p, e};
  return {};
}

}  // namespace

template <bool kZeroEnds>
const char* LongestFrom(const TRE_Program& program, const ScanRules& rules, const char* p,
                        const char* end, std::int32_t state) {
  std::size_t work = 0;
  if (program.Lazy()) {
    TRE_Search search(program);
    return LongestFromCounted<kZeroEnds>(search.LazyDFA(), rules, p, end, state, work);
  }
  return LongestFromCounted<kZeroEnds>(program.EagerDFA(), rules, p, end, state, work);
}

template <bool kZeroEnds>
const char* LongestAtLineHead(const TRE_Program& program, const ScanRules& rules, const char* p,
                              const char* end, std::int32_t state) {
  std::size_t work = 0;
  if (program.Lazy()) {
    TRE_Search search(program);
    return LongestAtLineHeadCounted<kZeroEnds>(search.LazyDFA(), rules, p, end, state, work);
  }
  return LongestAtLineHeadCounted<kZeroEnds>(program.EagerDFA(), rules, p, end, state, work);
}

const char* LongestUpTo(const TRE_Program& program, const ScanRules& rules, const char* p,
                        const char* limit, const char* end, bool lineHead) {
  assert(p <= limit && limit <= end);
  if (program.Lazy()) {
    TRE_Search search(program);
    return LongestUpToIn(search.LazyDFA(), rules, p, limit, end, lineHead);
  }
  return LongestUpToIn(program.EagerDFA(), rules, p, limit, end, lineHead);
}

template <bool kZeroEnds>
MatchSpan ScanAnchored(const TRE_Program& program, const ScanRules& rules, const char* begin,
                       const char* end) {
  if (program.Lazy()) {
    return Checked(LazyScan<kZeroEnds>(program, begin, end, true, rules), begin, end);
  }
  const char* e = LongestAtLineHead<kZeroEnds>(program, rules, begin, end, 0);
  if (e != nullptr) return Checked({begin, e}, begin, end);
  return Checked(ScanFromEager<kZeroEnds>(program, program.EagerDFA(), rules, begin, end), begin,
                 end);
}

template <bool kZeroEnds>
MatchSpan ScanFrom(const TRE_Program& program, const ScanRules& rules, const char* begin,
                   const char* end) {
  if (program.Lazy()) {
    return Checked(LazyScan<kZeroEnds>(program, begin, end, false, rules), begin, end);
  }
  return Checked(ScanFromEager<kZeroEnds>(program, program.EagerDFA(), rules, begin, end), begin,
                 end);
}

template MatchSpan ScanPlain<true>(const TRE_Program&, const char*, const char*);
template MatchSpan ScanPlain<false>(const TRE_Program&, const char*, const char*);
template MatchSpan ScanAnchored<true>(const TRE_Program&, const ScanRules&, const char*,
                                      const char*);
template MatchSpan ScanAnchored<false>(const TRE_Program&, const ScanRules&, const char*,
                                       const char*);
template MatchSpan ScanFrom<true>(const TRE_Program&, const ScanRules&, const char*, const char*);
template MatchSpan ScanFrom<false>(const TRE_Program&, const ScanRules&, const char*, const char*);
template const char* LongestFrom<true>(const TRE_Program&, const ScanRules&, const char*,
                                       const char*, std::int32_t);
template const char* LongestFrom<false>(const TRE_Program&, const ScanRules&, const char*,
                                        const char*, std::int32_t);
template const char* LongestAtLineHead<true>(const TRE_Program&, const ScanRules&, const char*,
                                             const char*, std::int32_t);
template const char* LongestAtLineHead<false>(const TRE_Program&, const ScanRules&, const char*,
                                              const char*, std::int32_t);

ScanRules LineRules(ScanRules rules) {
  rules.separator = '\n';
  return rules;
}

namespace {

// The text of the line that begins at p in [p, end): up to its LF (or end), less a CR before
// the LF. lineEnd is set to the LF, or to end.
const char* LineText(const char* p, const char* end, const char*& lineEnd) {
  const void* lineFeed = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
  lineEnd = lineFeed != nullptr ? static_cast<const char*>(lineFeed) : end;
  return lineFeed != nullptr && lineEnd > p && lineEnd[-1] == '\r' ? lineEnd - 1 : lineEnd;
}

// The match of the line text [p, textEnd), or none.
MatchSpan SearchLine(const TRE_Program& program, const ScanRules& rules, const char* p,
                     const char* textEnd) {
  return SearchText<false>(program, rules, p, textEnd);
}

// Whether the first matching line is found by the plain scan's own candidates (stop bytes few
// enough to be searched sixteen at a time, or a literal prefix), passing over lines without
// one unread, each candidate's line searched by the restart scan. That pays for a small
// automaton, whose walks are short; a big one's lines go to the line automaton, which reads
// every byte once.
constexpr std::size_t kMaxCandidateScanStates = 256;
bool LinesByCandidates(const TRE_Program& program) {
  if (program.Lazy() || program.LineHeadMark() || program.LineTailMark()) return false;
  const TRE_DFA& dfa = program.EagerDFA();
  if (dfa.Accepting(0) || dfa.StateCount() > kMaxCandidateScanStates) return false;
  const DFAAccel& accel = dfa.Accel();
  return !accel.LiteralPrefix().empty() || accel.SearchesStopBytesByBlock();
}

// Whether the first matching line is found by the byte prefix's candidates (DFAAccel):
// where it is rare, for a small automaton.
bool LinesByBytePrefix(const TRE_Program& program) {
  return !program.Lazy() && program.EagerDFA().StateCount() <= kMaxCandidateScanStates &&
         program.EagerDFA().Accel().SearchesBytePrefix();
}

// The first line holding the literal at a character start, for a pattern whose every match
// is that literal: the leftmost such place is the line's match.
const char* FirstLineOfLiteral(const LiteralText& literal, const char* begin, const char* end,
                               MatchSpan* match) {
  const std::size_t size = literal.text.size();
  const char* line = begin;   // the start of the line of the last place looked at
  const char* known = begin;  // a character start at or after line
  for (const char* p = begin;;) {
    const char* hit = nullptr;
    if (size <= kShortLiteral) {
      hit = FindLiteral(literal, p, end);
    } else {
      // A long literal holds no LF, so it lies within a line: lines shorter than it are passed
      // over at memchr's pace, and the others searched on their own.
      while (hit == nullptr && p < end) {
        const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
        const char* lineEnd = lf != nullptr ? static_cast<const char*>(lf) : end;
        if (static_cast<std::size_t>(lineEnd - p) >= size) hit = FindLiteral(literal, p, lineEnd);
        if (hit == nullptr) {
          if (lf == nullptr) return nullptr;
          p = line = known = lineEnd + 1;
        }
      }
    }
    if (hit == nullptr) return nullptr;
    if (const void* lf = memrchr(known, '\n', static_cast<std::size_t>(hit - known))) {
      line = known = static_cast<const char*>(lf) + 1;
    }
    if (BeginsCharacter(known, hit)) {
      if (match != nullptr) *match = {hit, hit + size};
      return line;
    }
    // hit is a trail byte: the next byte begins a character.
    known = p = hit + 1;
  }
}

}  // namespace

namespace {

// The first matching line's start is the block's or follows an LF; its match, when there is
// one, lies in that line's text. Debug builds check it where FirstMatchingLine returns.
const char* CheckedLine(const char* line, const char* begin, const char* end,
                        const MatchSpan* match) {
#ifndef NDEBUG
  if (line != nullptr) {
    assert(begin <= line && line <= end && (line == begin || line[-1] == '\n'));
    const char* lineEnd = nullptr;
    const char* textEnd = LineText(line, end, lineEnd);
    assert(match == nullptr || match->start == nullptr ||
           (line <= match->start && match->start <= match->end && match->end <= textEnd));
  }
#else
  static_cast<void>(begin);
  static_cast<void>(end);
  static_cast<void>(match);
#endif
  return line;
}

const char* FirstLine(const TRE_Program& program, const ScanRules& blockRules, const char* begin,
                      const char* end, MatchSpan* match);

}  // namespace

const char* FirstMatchingLine(const TRE_Program& program, const ScanRules& rules, const char* begin,
                              const char* end, MatchSpan* match) {
  return CheckedLine(FirstLine(program, rules, begin, end, match), begin, end, match);
}

namespace {

const char* FirstLine(const TRE_Program& program, const ScanRules& blockRules, const char* begin,
                      const char* end, MatchSpan* match) {
  const ScanRules rules = LineRules(blockRules);
  const char* p = begin;
  if (!program.WholeLiteral().text.empty()) {
    return FirstLineOfLiteral(program.WholeLiteral(), begin, end, match);
  }
  if (LinesByCandidates(program)) {
    const DFAAccel& accel = program.EagerDFA().Accel();
    while (p < end) {
      const char* hit = accel.LiteralPrefix().empty()
                            ? StopFinder(accel, p).NextCandidate<false>(p, end)
                            : LiteralFinder(accel, p).NextCandidate<false>(p, end);
      if (hit >= end) return nullptr;
      const void* lastLineFeed = memrchr(p, '\n', static_cast<std::size_t>(hit - p));
      if (lastLineFeed != nullptr) p = static_cast<const char*>(lastLineFeed) + 1;
      const char* lineEnd = nullptr;
      const char* textEnd = LineText(p, end, lineEnd);
      if (const MatchSpan m = ScanPlain<false>(program, p, textEnd); m.start != nullptr) {
        if (match != nullptr) *match = m;
        return p;
      }
      if (lineEnd == end) return nullptr;
      p = lineEnd + 1;
    }
    return nullptr;
  }
  if (LinesByBytePrefix(program)) {
    const DFAAccel::Prefix prefix(program.EagerDFA().Accel());
    while (p < end) {
      const char* hit = prefix.Find(p, end);
      if (hit == nullptr) return nullptr;
      // A match can begin only where the prefix holds: the lines before hold none, and this
      // one is searched whole.
      if (const void* lf = memrchr(p, '\n', static_cast<std::size_t>(hit - p))) {
        p = static_cast<const char*>(lf) + 1;
      }
      const char* lineEnd = nullptr;
      const char* textEnd = LineText(p, end, lineEnd);
      if (const MatchSpan m = SearchLine(program, rules, p, textEnd); m.start != nullptr) {
        if (match != nullptr) *match = m;
        return p;
      }
      if (lineEnd == end) return nullptr;
      p = lineEnd + 1;
    }
    return nullptr;
  }
  TRE_Search search(program);
  TRE_LineDFA& lines = search.Cache().LineDFA();
  while (p < end) {
    const char* line = lines.FindLine(p, end);
    if (line == nullptr) return nullptr;
    if (lines.Exact() && match == nullptr) return line;
    const char* lineEnd = nullptr;
    const char* textEnd = LineText(line, end, lineEnd);
    if (const MatchSpan m = SearchLine(program, rules, line, textEnd); m.start != nullptr) {
      if (match != nullptr) *match = m;
      return line;
    }
    // Only a candidate (the line automaton is exact but for overlapping ranges).
    assert(!lines.Exact());
    if (lineEnd == end) return nullptr;
    p = lineEnd + 1;
  }
  return nullptr;
}

}  // namespace

MatchSpan FindInLines(const TRE_Program& program, const ScanRules& rules, const char* begin,
                      const char* end) {
  MatchSpan m;
  FirstMatchingLine(program, rules, begin, end, &m);
  return m;
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
  rules.lineHeadMark = CurrentProgram().LineHeadMark();
  rules.lineTailRule = true;
  return rules;
}

}  // namespace SjisRegExp
