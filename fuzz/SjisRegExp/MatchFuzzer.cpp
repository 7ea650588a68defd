// Random pattern and text (the first byte says where the pattern ends): compiling
// and matching never crash or hang, and a match lies inside the text, starts on a
// character boundary and covers whole characters. Every search (Match, ScanFrom,
// FindInLines) equals the restart scan that tries each character start afresh, and so
// does the same search on an automaton whose few cached states are built on demand. The
// public searches of a compiled pattern too (Find, FindLine, FindInLines, LongestAt, which
// read zero bytes as characters; FindLine by whichever way the pattern takes: a literal, a
// byte prefix, the line automaton), and the line automaton with a cache cleared over and
// over; its MayMatch never says no where Match finds a match.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "../../tests/SjisRegExp/RestartScan.h"
#include "SjisRegExp/LineDFA.h"
#include "SjisRegExp/MatchCore.h"

namespace {

// Whether the 0-based offset starts a character when reading from the front.
bool OnBoundary(std::string_view text, std::size_t offset) {
  std::size_t p = 0;
  while (p < offset) {
    const bool lead = SjisRegExp::IsLeadByte(static_cast<unsigned char>(text[p]));
    p += (lead && p + 1 < text.size() && text[p + 1] != 0) ? 2 : 1;
  }
  return p == offset;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t split = std::min<std::size_t>(data[0], size - 1);
  const std::string_view pattern(reinterpret_cast<const char*>(data + 1), split);
  const std::string_view text(reinterpret_cast<const char*>(data + 1 + split), size - 1 - split);
  SjisRegExp::TMatchCORE awk;
  SjisRegExp::TMatchCORE lazy;
  SjisRegExp::DFALimits tiny;
  tiny.eagerStates = 1;
  tiny.cacheBytes = 1000;
  lazy.SetDFALimits(tiny);
  try {
    awk.SetRegExp(pattern);
  } catch (const SjisRegExp::ERegExpParser&) {
    return 0;
  }
  lazy.SetRegExp(pattern);
  std::size_t visible = 0;  // the text ends at its first zero byte
  while (visible < text.size() && text[visible] != 0) ++visible;
  for (auto separator : {SjisRegExp::mcls_CRLF, SjisRegExp::mcls_LF}) {
    awk.SetLineSeparator(separator);
    int start = -1;
    int length = -1;
    const int result = awk.Match(text, start, length);
    if (result == 0) {
      if (start != 0 || length != 0) std::abort();
      continue;
    }
    if (result != start || start < 1 || length < 0) std::abort();
    const auto from = static_cast<std::size_t>(start - 1);
    const auto to = from + static_cast<std::size_t>(length);
    if (to > visible) std::abort();
    if (!OnBoundary(text, from) || !OnBoundary(text, to)) std::abort();
  }
  using namespace SjisRegExp;
  const char* b = text.data();
  const char* e = b + text.size();
  const auto same = [](MatchSpan x, MatchSpan y) {
    return x.start == y.start && (x.start == nullptr || x.end == y.end);
  };
  // The reference walks an automaton of its own, grown as it goes, so that any pattern can be
  // checked, also one too big to build whole.
  TRE_DFA dfa(awk.CurrentProgram().Index());
  dfa.BuildLazy();
  for (auto separator : {mcls_CRLF, mcls_LF}) {
    awk.SetLineSeparator(separator);
    lazy.SetLineSeparator(separator);
    const auto rules = testing::RulesOf(awk);
    const MatchSpan match = testing::RestartMatch(dfa, b, e, rules);
    const MatchSpan lines = testing::RestartFindInLines(dfa, b, e);
    const MatchSpan from = testing::RestartScanFrom(dfa, b, e, rules);
    for (const TMatchCORE* c : {&awk, &lazy}) {
      int start = 0;
      int length = 0;
      c->Match(text, start, length);
      const MatchSpan got =
          start > 0 ? MatchSpan{b + start - 1, b + start - 1 + length} : MatchSpan{};
      if (!same(got, match)) std::abort();
      if (!same(c->FindInLines(b, e), lines)) std::abort();
      if (!same(c->ScanFrom(b, e), from)) std::abort();
    }
    const CharCode separatorCode = separator == mcls_CRLF ? 13 : 10;
    TRE_LineDFA small(awk.CurrentProgram().Index(), awk.CurrentProgram().LinePlan(), 2000);
    if (match.start != nullptr && !small.MayMatch(b, e, true, separatorCode, true)) std::abort();
    const char* line = small.FindLine(b, e);
    const char* want = nullptr;  // the line of the first match
    if (lines.start != nullptr) {
      const void* lf = memrchr(b, '\n', static_cast<std::size_t>(lines.start - b));
      want = lf != nullptr ? static_cast<const char*>(lf) + 1 : b;
    }
    if (small.Exact() ? line != want : (want != nullptr && (line == nullptr || line > want))) {
      std::abort();
    }
    // The public searches read zero bytes as characters.
    TPatternOptions options;
    options.LineSeparator = separator;
    const TCompiledRegExp compiled(pattern, options);
    const auto offsets = [b](MatchSpan m) {
      return m.start == nullptr ? std::optional<TMatchSpan>()
                                : TMatchSpan{static_cast<std::size_t>(m.start - b),
                                             static_cast<std::size_t>(m.end - b)};
    };
    if (compiled.FindInLines(text) != offsets(lines)) std::abort();
    const auto wholeLine = compiled.FindLine(text);
    if ((wholeLine ? b + wholeLine->start : nullptr) != want) std::abort();
    const testing::RestartRules ordinary{separatorCode, false};
    if (compiled.Find(text) != offsets(testing::RestartMatch(dfa, b, e, ordinary))) std::abort();
    const char* longest = testing::RestartLongestAtLineHead(dfa, b, e, ordinary);
    const auto at = compiled.LongestAt(text, 0);
    if ((at ? b + *at : nullptr) != longest) std::abort();
  }
  return 0;
}
