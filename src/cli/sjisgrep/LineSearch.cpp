// sjisgrep's block search: its prefix and whole-block fast paths in front of the library's
// FindInLines.
#include "LineSearch.h"

#include <cassert>
#include <cstring>

namespace sjisgrep {

using SjisRegExp::BeginsCharacter;
using SjisRegExp::CharCode;
using SjisRegExp::IsLeadByte;
using SjisRegExp::MatchSpan;

namespace {

// Whether the DFA can take a character that a per-line search and a block search read
// differently: LF itself, a two-byte code whose trail is LF (a lead byte before a line end,
// which the block reads as one character with the LF), or a lead byte taken as a character of
// its own (which the per-line search sees at a line's end).
bool TakesLineEndCharacters(const SjisRegExp::TRE_DFA& dfa) {
  for (std::size_t s = 0; s < dfa.StateCount(); ++s) {
    const auto state = static_cast<std::int32_t>(s);
    for (const auto* t = dfa.TransitionsBegin(state); t != dfa.TransitionsEnd(state); ++t) {
      const unsigned lo = t->range.start;
      const unsigned hi = t->range.end;
      if (lo >= SjisRegExp::LineHeadCode) continue;
      if (lo <= 0x0A && hi >= 0x0A) return true;
      if (lo <= 0xFC && hi >= 0x81) {
        for (unsigned lead = lo < 0x81 ? 0x81 : lo; lead <= hi && lead <= 0xFC; ++lead) {
          if (IsLeadByte(static_cast<unsigned char>(lead))) return true;
        }
      }
      const unsigned hiLead = hi >> 8 < 0xFC ? hi >> 8 : 0xFC;
      for (unsigned lead = (lo >> 8) < 0x81 ? 0x81 : lo >> 8; lead <= hiLead; ++lead) {
        const unsigned pair = lead << 8 | 0x0A;
        if (IsLeadByte(static_cast<unsigned char>(lead)) && lo <= pair && hi >= pair) return true;
      }
    }
  }
  return false;
}

const char* LineBegin(const char* begin, const char* p) {
  const void* lf = p > begin ? memrchr(begin, '\n', static_cast<std::size_t>(p - begin)) : nullptr;
  return lf != nullptr ? static_cast<const char*>(lf) + 1 : begin;
}

const char* LineEnd(const char* p, const char* end) {
  const void* lf = std::memchr(p, '\n', static_cast<std::size_t>(end - p));
  return lf != nullptr ? static_cast<const char*>(lf) : end;
}

}  // namespace

LineSearch::LineSearch(const SjisRegExp::TAWKStr& matcher, std::vector<ByteClass> prefix)
    : matcher_(matcher) {
  const SjisRegExp::TRE_DFA& dfa = matcher_.CurrentDFA();
  const bool anchored = dfa.LineHeadMark() || dfa.LineTailMark();
  const bool blockSafe = !anchored && !dfa.Accepting(0) && !TakesLineEndCharacters(dfa);
  if (!prefix.empty() && !matcher_.UseFuzzyCharDic() && !dfa.Accepting(0)) {
    prefix_.emplace(std::move(prefix));
    mode_ = blockSafe ? Mode::kPrefix : Mode::kPrefixLines;
  } else if (blockSafe) {
    mode_ = Mode::kBlock;
  }
}

MatchSpan LineSearch::FindInLines(const char* begin, const char* end) const {
  assert(begin <= end);
  switch (mode_) {
    case Mode::kPrefix:
      return FindByPrefix(begin, end);
    case Mode::kPrefixLines:
      return FindLinesByPrefix(begin, end);
    case Mode::kBlock:
      return FindInBlock(begin, end);
    case Mode::kLines:
      break;
  }
  return matcher_.FindInLines(begin, end);
}

MatchSpan LineSearch::FindLinesByPrefix(const char* begin, const char* end) const {
  const char* p = begin;
  while (p < end) {
    const char* hit = prefix_->Find(p, end);
    if (hit == nullptr) return {};
    // Every match begins with the prefix, so a line without it holds none; one with it is
    // searched whole.
    const char* line = LineBegin(p, hit);
    const char* lineEnd = LineEnd(hit, end);
    if (const MatchSpan m = SearchLine(line, lineEnd); m.start != nullptr) return m;
    p = lineEnd + 1;
  }
  return {};
}

MatchSpan LineSearch::SearchLine(const char* begin, const char* end) const {
  return (matcher_.*matcher_.MatchMethod())(begin, end);
}

MatchSpan LineSearch::FindInBlock(const char* begin, const char* end) const {
  const char* p = begin;
  while (p < end) {
    // ScanPlain ends its text at the first zero byte, before which its match is exact.
    if (const MatchSpan m = matcher_.ScanPlain(p, end); m.start != nullptr) return m;
    const void* zero = std::memchr(p, 0, static_cast<std::size_t>(end - p));
    if (zero == nullptr) return {};
    // The line of the zero byte on its own; then on after it.
    const char* line = LineBegin(p, static_cast<const char*>(zero));
    const char* lineEnd = LineEnd(static_cast<const char*>(zero), end);
    if (const MatchSpan m = SearchLine(line, lineEnd); m.start != nullptr) return m;
    p = lineEnd + 1;
  }
  return {};
}

MatchSpan LineSearch::FindByPrefix(const char* begin, const char* end) const {
  const char* p = begin;
  const char* known = begin;  // a character start at or before the next hit, on its line
  const char* lineEnd = nullptr;
  const char* zero = nullptr;  // the first zero byte of the hit's line, which ends its text
  while (p < end) {
    const char* hit = prefix_->Find(p, end);
    if (hit == nullptr) return {};
    if (lineEnd == nullptr || hit > lineEnd) {
      // p is the block's start or lies on the line before: the last LF before hit is found.
      known = LineBegin(p, hit);
      lineEnd = LineEnd(hit, end);
      zero = static_cast<const char*>(
          std::memchr(known, 0, static_cast<std::size_t>(lineEnd - known)));
    }
    // A hit that does not begin a character, or lies past a zero byte that ends its line's
    // text, is no match; the next one may be.
    const bool starts = BeginsCharacter(known, hit);
    if (starts && (zero == nullptr || hit < zero)) {
      if (const char* e = matcher_.LongestFrom(hit, lineEnd, 0); e != nullptr) return {hit, e};
    }
    known = starts ? hit : hit + 1;  // a trail byte's next byte begins a character
    p = hit + 1;
  }
  return {};
}

}  // namespace sjisgrep
