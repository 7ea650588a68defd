// DFAAccel: the tables of the scans' speed tricks, made from an eager automaton's states.
#include "DFAAccel.h"

#include <algorithm>
#include <cassert>

#include "DFA.h"

namespace SjisRegExp {

void DFAAccel::Build(const TRE_DFA& dfa) {
  dfa_ = &dfa;
  BuildDenseTable(dfa);
  BuildStartCodes(dfa);
#ifndef NDEBUG
  // Where the initial state does not accept, the bitmap gives the walk's result.
  for (std::uint32_t c = 0; c < 65536 && !dfa.Accepting(0); c += 7) {
    assert(CanStartWith(static_cast<CharCode>(c)) ==
           (dfa.NextStateBySortedList(0, static_cast<CharCode>(c)) != kNoState));
  }
#endif
  BuildStopList();
#ifndef NDEBUG
  // A byte stops the plain scan exactly when some character beginning with it (a lead
  // byte also alone, at the end of a text) can start a match.
  for (unsigned b = 1; b < 256; ++b) {
    bool can = CanStartWith(static_cast<CharCode>(b));
    for (unsigned t = 0; t < 256 && !can && IsLeadByte(static_cast<unsigned char>(b)); ++t) {
      can = CanStartWith(static_cast<CharCode>(b << 8 | t));
    }
    assert(IsStopByte(static_cast<unsigned char>(b)) == can);
  }
  assert(IsStopByte(0));
#endif
  BuildLiteralPrefix(dfa);
  acceptingFlags_.resize(dfa.StateCount());
  for (std::size_t i = 0; i < dfa.StateCount(); ++i) {
    acceptingFlags_[i] = dfa.Accepting(static_cast<std::int32_t>(i)) ? 1 : 0;
  }
  plainSearch_ = kOtherwise;
  if (HasDenseRows() && !dfa.Accepting(0)) {
    plainSearch_ = literalPrefix_.empty() ? kByStopBytes : kByLiteral;
  }
}

void DFAAccel::Clear() {
  dfa_ = nullptr;
  plainSearch_ = kOtherwise;
  literalPrefix_.clear();
  for (std::uint8_t& stop : stopByte_) stop = 1;
  stopListSize_ = 0;
  startCodes_.clear();
  dense_.clear();
  acceptingFlags_.clear();
}

void DFAAccel::BuildDenseTable(const TRE_DFA& dfa) {
  if (dfa.StateCount() > kMaxDenseStates) return;
  dense_.assign(dfa.StateCount() * 256, kNoState);
  // The walk's result, range by range: the walk hands a code to the first transition
  // (in sorted order) whose end is at or above it, and takes it when the code is also
  // at or above that start. So each transition decides the codes between the largest
  // end before it and its own end.
  for (std::size_t s = 0; s < dfa.StateCount(); ++s) {
    const auto si = static_cast<std::int32_t>(s);
    std::int32_t decidedUpTo = -1;
    for (const DFATransition* t = dfa.TransitionsBegin(si); t != dfa.TransitionsEnd(si); ++t) {
      if (decidedUpTo >= 255) break;
      const std::int32_t from = std::max<std::int32_t>(decidedUpTo + 1, t->range.start);
      const std::int32_t to = std::min<std::int32_t>(t->range.end, 255);
      for (std::int32_t c = from; c <= to; ++c)
        dense_[s * 256 + static_cast<std::size_t>(c)] = t->target;
      decidedUpTo = std::max<std::int32_t>(decidedUpTo, t->range.end);
    }
  }
#ifndef NDEBUG
  // Each row gives the walk's result for every single-byte code.
  for (std::size_t st = 0; st < dfa.StateCount(); ++st) {
    for (CharCode c = 0; c < 256; ++c) {
      assert(dense_[st * 256 + c] == dfa.NextStateBySortedList(static_cast<std::int32_t>(st), c));
    }
  }
#endif
}

void DFAAccel::BuildStartCodes(const TRE_DFA& dfa) {
  for (std::uint8_t& stop : stopByte_) stop = 1;
  if (dfa.Accepting(0)) return;
  startCodes_.assign(65536 / 64, 0);
  // The walk hands a code to the first transition (in sorted order) whose end is at
  // or above it, and succeeds when the code is also at or above that start. So each
  // transition decides the codes between the largest end before it and its own end.
  std::int32_t decidedUpTo = -1;
  for (const DFATransition* t = dfa.TransitionsBegin(0); t != dfa.TransitionsEnd(0); ++t) {
    const std::int32_t from = std::max<std::int32_t>(decidedUpTo + 1, t->range.start);
    for (std::int32_t c = from; c <= t->range.end;) {
      const auto word = static_cast<std::size_t>(c) >> 6;
      const int bit = c & 63;
      const int count = std::min<std::int32_t>(64 - bit, t->range.end - c + 1);
      const std::uint64_t mask =
          count == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << count) - 1);
      startCodes_[word] |= mask << bit;
      c += count;
    }
    decidedUpTo = std::max<std::int32_t>(decidedUpTo, t->range.end);
  }
  // CanStartWith summed up by first byte:
  //   1  a single-byte character that cannot start a match
  //   2  a lead byte none of whose two-byte codes can start one
  //   3  a lead byte some of whose codes can
  //   0  the zero byte, and a character that can start a match.
  std::uint8_t firstByte[256] = {};
  for (unsigned b = 1; b < 256; ++b) {
    if (!IsLeadByte(static_cast<unsigned char>(b))) {
      firstByte[b] = CanStartWith(static_cast<CharCode>(b)) ? 0 : 1;
      continue;
    }
    // The 256 codes of this lead are the four words b * 4 .. b * 4 + 3.
    bool any = false;
    bool all = true;
    for (std::size_t w = b * 4; w < b * 4 + 4; ++w) {
      any = any || startCodes_[w] != 0;
      all = all && startCodes_[w] == ~std::uint64_t{0};
    }
    firstByte[b] = all ? 0 : (any ? 3 : 2);
  }
  // A lead byte also stops the scan when it could start a match as a character of its
  // own, which it is when nothing follows it.
  for (unsigned b = 1; b < 256; ++b) {
    stopByte_[b] = firstByte[b] == 0 || firstByte[b] == 3 ||
                   (IsLeadByte(static_cast<unsigned char>(b)) && CanStartWith(CharCode(b)));
  }
}

namespace {

// How often a byte turns up in the logs this library searches, roughly: ASCII lower case,
// space and the hiragana and katakana lead bytes most, kanji lead bytes and trail-only
// values less, control characters and rare symbols least.
int Commonness(unsigned char b) {
  if (b == ' ' || (b >= 'a' && b <= 'z') || b == 0x81 || b == 0x82 || b == 0x83) return 9;
  if (b >= '0' && b <= '9') return 7;
  if (b >= 'A' && b <= 'Z') return 6;
  if (b >= 0x40 && b <= 0xFC) return 5;  // trail bytes, kanji leads, half-width kana
  return 3;
}

}  // namespace

void DFAAccel::BuildLiteralPrefix(const TRE_DFA& dfa) {
  literalPrefix_.clear();
  rareIndex_ = 0;
  if (dfa.Accepting(0)) return;
  // From the initial state, while a state does not accept and has exactly one transition
  // and that transition is on one character that a text can hold, every match begins with
  // that character.
  std::int32_t s = 0;
  for (std::size_t steps = 0; steps < 64 && !dfa.Accepting(s) && dfa.State(s).transitionCount == 1;
       ++steps) {
    const DFATransition& t = *dfa.TransitionsBegin(s);
    const CharCode c = t.range.start;
    if (t.range.end != c) break;
    const auto hi = static_cast<unsigned char>(c >> 8);
    const auto lo = static_cast<unsigned char>(c & 0xFF);
    if (c < 256 && lo != 0 && !IsLeadByte(lo)) {
      literalPrefix_ += static_cast<char>(lo);
    } else if (IsLeadByte(hi) && lo != 0) {
      literalPrefix_ += static_cast<char>(hi);
      literalPrefix_ += static_cast<char>(lo);
    } else {
      break;
    }
    s = t.target;
  }
  if (literalPrefix_.size() < 2) {
    literalPrefix_.clear();
    return;
  }
  for (std::size_t i = 1; i < literalPrefix_.size(); ++i) {
    if (Commonness(static_cast<unsigned char>(literalPrefix_[i])) <
        Commonness(static_cast<unsigned char>(literalPrefix_[rareIndex_]))) {
      rareIndex_ = i;
    }
  }
}

void DFAAccel::BuildStopList() {
  // The zero byte is always a stop byte and comes first; unused blocks repeat it.
  std::uint8_t list[kMaxStopList] = {};
  int count = 0;
  stopListSize_ = 0;
  for (unsigned b = 0; b < 256; ++b) {
    if (stopByte_[b] == 0) continue;
    if (count == kMaxStopList) return;
    list[count++] = static_cast<std::uint8_t>(b);
  }
  assert(count >= 1 && list[0] == 0);
  stopListSize_ = count;
  for (int i = 0; i < kMaxStopList; ++i) {
    for (std::uint8_t& key : stopKeys_[i]) key = list[i];
  }
}

}  // namespace SjisRegExp
