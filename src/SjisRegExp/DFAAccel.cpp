// DFAAccel: the tables of the scans' speed tricks, made from an eager automaton's states.
#include "DFAAccel.h"

#include <algorithm>
#include <cassert>
#include <vector>

#include "DFA.h"
#include "LiteralSearch.h"

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
  BuildBytePrefix(dfa);
  ChooseProbes();
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
  literal_ = LiteralText();
  bytePrefix_.clear();
  probeCount_ = 0;
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

void DFAAccel::BuildLiteralPrefix(const TRE_DFA& dfa) {
  literalPrefix_.clear();
  literal_ = LiteralText();
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
  literal_ = LiteralText(literalPrefix_);
}

void DFAAccel::BuildBytePrefix(const TRE_DFA& dfa) {
  // Breadth first over the walks from the initial state (and its line-head reading), a byte
  // at a time: a place is a state at a character start, or a state and the lead byte just
  // read. Level d's places give the values byte d may take. It ends before the first level
  // at which a match may already have ended (an accepting state or one with a line-tail
  // transition, or a lead byte that would match read alone as the text's last character),
  // when the places get many, or at kMaxBytePrefix.
  bytePrefix_.clear();
  struct Place {
    std::int32_t state;
    std::int16_t lead;  // -1 at a character start
    bool operator==(const Place&) const = default;
  };
  constexpr std::size_t kMaxPlaces = 64;
  const auto ends = [&dfa](std::int32_t s) {
    return dfa.Accepting(s) || dfa.NextStateBySortedList(s, LineTailCode) != kNoState;
  };
  std::vector<Place> level = {{0, -1}};
  if (dfa.LineHeadMark()) {
    const std::int32_t head = dfa.NextStateBySortedList(0, LineHeadCode);
    if (head != kNoState) level.push_back({head, -1});
  }
  for (std::size_t depth = 0; depth < kMaxBytePrefix; ++depth) {
    for (const Place& place : level) {
      if (place.lead < 0 && ends(place.state)) return;
    }
    ByteSet values;
    std::vector<Place> next;
    const auto add = [&](unsigned b, Place after) {
      values.bits[b >> 6] |= std::uint64_t{1} << (b & 63);
      if (std::find(next.begin(), next.end(), after) != next.end()) return true;
      if (next.size() == kMaxPlaces) return false;
      next.push_back(after);
      return true;
    };
    for (const Place& place : level) {
      if (place.lead >= 0) {
        for (unsigned t = 0; t < 256; ++t) {
          const std::int32_t target = dfa.NextStateBySortedList(
              place.state, static_cast<CharCode>(static_cast<unsigned>(place.lead) << 8 | t));
          if (target != kNoState && !add(t, {target, -1})) return;
        }
        continue;
      }
      // The lead bytes some two-byte code of which the state takes: from its ranges.
      bool pairLead[256] = {};
      for (const DFATransition* t = dfa.TransitionsBegin(place.state);
           t != dfa.TransitionsEnd(place.state); ++t) {
        if (t->range.end < 0x100) continue;
        const unsigned lo = std::max<unsigned>(t->range.start, 0x100) >> 8;
        for (unsigned lead = lo; lead <= (t->range.end >> 8u) && lead < 256; ++lead) {
          pairLead[lead] = true;
        }
      }
      for (unsigned b = 0; b < 256; ++b) {
        if (IsLeadByte(static_cast<unsigned char>(b))) {
          // Alone, a lead byte is the text's last character: only two-byte codes go on.
          const std::int32_t alone =
              dfa.NextStateBySortedList(place.state, static_cast<CharCode>(b));
          if (alone != kNoState && ends(alone)) return;
          if (pairLead[b] && !add(b, {place.state, static_cast<std::int16_t>(b)})) return;
          continue;
        }
        const std::int32_t target =
            dfa.NextStateBySortedList(place.state, static_cast<CharCode>(b));
        if (target != kNoState && !add(b, {target, -1})) return;
      }
    }
    bytePrefix_.push_back(values);
    level = std::move(next);
  }
}

void DFAAccel::ChooseProbes() {
  // Each set's estimated share of log bytes: a byte of commonness c counts 2^c.
  probeCount_ = 0;
  const auto weight = [](const ByteSet& set) {
    double w = 0;
    double all = 0;
    for (unsigned b = 0; b < 256; ++b) {
      const double f = static_cast<double>(1u << Commonness(static_cast<unsigned char>(b)));
      all += f;
      if (set.Has(static_cast<unsigned char>(b))) w += f;
    }
    return w / all;
  };
  // A set as ranges of consecutive values; none when it needs more than kMaxProbeRanges.
  const auto ranges = [](const ByteSet& set, Probe& probe) {
    probe.rangeCount = 0;
    for (unsigned b = 0; b < 256;) {
      if (!set.Has(static_cast<unsigned char>(b))) {
        ++b;
        continue;
      }
      unsigned e = b;
      while (e + 1 < 256 && set.Has(static_cast<unsigned char>(e + 1))) ++e;
      if (probe.rangeCount == kMaxProbeRanges) return false;
      probe.lo[probe.rangeCount] = static_cast<std::uint8_t>(b);
      probe.width[probe.rangeCount] = static_cast<std::uint8_t>(e - b);
      ++probe.rangeCount;
      b = e + 1;
    }
    return probe.rangeCount > 0;
  };
  int best[2] = {-1, -1};
  double bestWeight[2] = {2, 2};
  for (std::size_t i = 0; i < bytePrefix_.size(); ++i) {
    Probe probe;
    if (!ranges(bytePrefix_[i], probe)) continue;
    const double w = weight(bytePrefix_[i]);
    if (w < bestWeight[0]) {
      best[1] = best[0];
      bestWeight[1] = bestWeight[0];
      best[0] = static_cast<int>(i);
      bestWeight[0] = w;
    } else if (w < bestWeight[1]) {
      best[1] = static_cast<int>(i);
      bestWeight[1] = w;
    }
  }
  // Worth it when a start passes both tests about once in kMinPrefixGap bytes or less often.
  constexpr double kMinPrefixGap = 64;
  const double pass = best[1] >= 0 ? bestWeight[0] * bestWeight[1] : bestWeight[0];
  if (best[0] < 0 || pass * kMinPrefixGap > 1) return;
  for (int k = 0; k < 2 && best[k] >= 0; ++k) {
    probes_[k].offset = static_cast<std::size_t>(best[k]);
    ranges(bytePrefix_[static_cast<std::size_t>(best[k])], probes_[k]);
    probeCount_ = k + 1;
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
