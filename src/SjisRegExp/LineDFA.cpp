// The line automaton: its byte classes, its states built on demand, and its pass over a block.
#include "LineDFA.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace SjisRegExp {

namespace {

// Whether the range holds some two-byte code whose lead byte is `lead`.
bool RangeHasLead(const CharRange& range, unsigned lead) {
  const unsigned lo = std::max<unsigned>(range.start, 0x100);
  return lo <= range.end && (lo >> 8) <= lead && lead <= (range.end >> 8u);
}

bool Contains(const CharRange& range, CharCode code) {
  return range.start <= code && code <= range.end;
}

}  // namespace

LineDFAPlan::LineDFAPlan(const TRE_NFAIndex& index, CharCode lineHeadCode, CharCode lineTailCode)
    : entry(index.StateCount()),
      headReading(index.StateCount()),
      lineStart(index.StateCount()),
      tailStates(index.StateCount()),
      exact(!index.RangesOverlap()) {
  // Two bytes share a class when no range tells them apart: as a one-byte code, as the lead
  // byte of a two-byte code, or as its trail byte. A cut before byte b starts a new class.
  bool cut[257] = {};
  const auto cutAt = [&cut](unsigned b) { cut[std::min(b, 256u)] = true; };
  for (const CharRange& range : index.Ranges()) {
    if (range.start <= 0xFF) {
      cutAt(range.start);
      cutAt(std::min<unsigned>(range.end, 0xFF) + 1);
    }
    if (range.end >= 0x100) {
      const unsigned lo = std::max<unsigned>(range.start, 0x100);
      cutAt(lo >> 8);
      cutAt((lo >> 8) + 1);
      cutAt(range.end >> 8u);
      cutAt((range.end >> 8u) + 1);
      cutAt(lo & 0xFF);
      cutAt((range.end & 0xFFu) + 1);
    }
  }
  for (unsigned b : {0x81u, 0xA0u, 0xE0u, 0xFDu, 0x0Au, 0x0Bu, 0x0Du, 0x0Eu, 0x01u}) cutAt(b);
  cut[0] = true;
  for (unsigned b = 0; b < 256; ++b) {
    if (cut[b]) {
      representative.push_back(static_cast<std::uint8_t>(b));
      leadClass.push_back(IsLeadByte(static_cast<unsigned char>(b)));
    }
    classOf[b] = static_cast<std::uint8_t>(representative.size() - 1);
  }
  classCount = representative.size();
  lineFeedClass = classOf[0x0A];
  carriageReturnClass = classOf[0x0D];
  zeroClass = classOf[0];

  std::vector<std::int32_t> worklist;
  entry.Include(index.Entry());
  index.Closure(entry, worklist);
  if (index.LineHeadMark() && index.MoveAll(entry.Bytes(), lineHeadCode, headReading)) {
    index.Closure(headReading, worklist);
  }
  lineStart = entry;
  lineStart.Unite(headReading);
  for (std::size_t i = 0; i < index.StateCount(); ++i) {
    for (const auto* m = index.MovesBegin(i); m != index.MovesEnd(i); ++m) {
      if (Contains(index.Ranges()[m->range], lineTailCode)) {
        tailStates.Include(static_cast<std::int32_t>(i));
      }
    }
  }
}

TRE_LineDFA::TRE_LineDFA(const TRE_NFAIndex& index, const LineDFAPlan& plan, std::size_t budget)
    : index_(index),
      plan_(plan),
      budget_(budget),
      stride_(plan.classCount + 3),
      setBytes_(index.SetBytes()),
      moveBytes_(index.MoveCount() / 8 + 1),
      work_(index.StateCount()),
      moves_(moveBytes_) {}

void TRE_LineDFA::Reset() {
  table_.clear();
  states_.clear();
  keys_.clear();
  slots_.clear();
  hashes_.clear();
  bytes_ = 0;
  startRow_ = kUnknown;
  entryRow_ = kUnknown;
  ++resets_;
}

std::int32_t TRE_LineDFA::FindOrAdd(const std::uint8_t* key, std::int16_t leadClass,
                                    bool endMatches, std::int32_t* keep) {
  const std::size_t keyBytes = leadClass < 0 ? setBytes_ : moveBytes_;
  const std::uint64_t hash = HashStateSet(key, keyBytes) ^
                             (static_cast<std::uint64_t>(leadClass + 1) * 0x9E3779B97F4A7C15ull) ^
                             (endMatches ? 0x5851F42D4C957F2Dull : 0);
  if (!slots_.empty()) {
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
      const std::int32_t s = slots_[slot];
      if (s < 0) break;
      const State& state = states_[static_cast<std::size_t>(s)];
      if (hashes_[static_cast<std::size_t>(s)] == hash && state.leadClass == leadClass &&
          state.endMatches == endMatches &&
          std::memcmp(keys_.data() + state.key, key, keyBytes) == 0) {
        return static_cast<std::int32_t>(static_cast<std::size_t>(s) * stride_);
      }
    }
  }
  const std::size_t cost =
      keyBytes + stride_ * sizeof(std::int32_t) + sizeof(State) + 3 * sizeof(std::uint64_t);
  if (bytes_ + cost > budget_ && !states_.empty()) {
    // Clear, and build again the state whose transition is being computed, if any. Its key
    // is copied first: the keys go with the rest.
    State kept{};
    std::vector<std::uint8_t> keptKey;
    if (keep != nullptr) {
      kept = StateOf(*keep);
      const std::size_t bytes = kept.leadClass < 0 ? setBytes_ : moveBytes_;
      keptKey.assign(keys_.data() + kept.key, keys_.data() + kept.key + bytes);
    }
    Reset();
    if (keep != nullptr)
      *keep = FindOrAdd(keptKey.data(), kept.leadClass, kept.endMatches, nullptr);
  }
  const auto index = static_cast<std::int32_t>(states_.size());
  states_.push_back({static_cast<std::uint32_t>(keys_.size()), leadClass, endMatches});
  keys_.insert(keys_.end(), key, key + keyBytes);
  hashes_.push_back(hash);
  const std::size_t row = table_.size();
  table_.resize(row + stride_, kUnknown);
  table_[row + static_cast<std::size_t>(plan_.lineFeedClass)] = kStop;
  table_[row + static_cast<std::size_t>(plan_.carriageReturnClass)] = kStop;
  table_[row + static_cast<std::size_t>(plan_.zeroClass)] = kStop;
  bytes_ += cost;
  if (states_.size() * 2 > slots_.size()) {
    // Keep the table at most half full: grow it and place every state again.
    slots_.assign(std::max<std::size_t>(64, slots_.size() * 2), -1);
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t s = 0; s < states_.size(); ++s) {
      std::size_t slot = hashes_[s] & mask;
      while (slots_[slot] >= 0) slot = (slot + 1) & mask;
      slots_[slot] = static_cast<std::int32_t>(s);
    }
  } else {
    const std::size_t mask = slots_.size() - 1;
    std::size_t slot = hash & mask;
    while (slots_[slot] >= 0) slot = (slot + 1) & mask;
    slots_[slot] = index;
  }
  return static_cast<std::int32_t>(row);
}

std::int32_t TRE_LineDFA::Boundary(TRE_NFAStateSet& set, std::int32_t* keep) {
  if (set.Has(index_.Exit())) return kFound;
  return FindOrAdd(set.Bytes(), -1, set.Intersects(plan_.tailStates), keep);
}

std::int32_t TRE_LineDFA::Compute(std::int32_t& row, std::size_t cls) {
  const State state = StateOf(row);
  const std::uint8_t* key = keys_.data() + state.key;
  // The columns after the classes are CR, LF and the zero byte read as characters; every
  // other class stands for its bytes.
  static constexpr unsigned kStopBytes[] = {'\r', '\n', 0};
  const unsigned byte =
      cls >= plan_.classCount ? kStopBytes[cls - plan_.classCount] : plan_.representative[cls];
  work_.Clear();
  if (state.leadClass < 0) {
    if (cls < plan_.classCount && plan_.leadClass[cls]) {
      // A lead byte: the set's transitions that a code of this lead byte could take, and
      // whether the lead byte as a character of its own would match at the line's end.
      std::fill(moves_.begin(), moves_.end(), std::uint8_t{0});
      ForEachMember(key, setBytes_, [&](std::int32_t i) {
        const auto k = static_cast<std::size_t>(i);
        for (std::uint32_t m = index_.FirstMove(k); m < index_.FirstMove(k + 1); ++m) {
          if (RangeHasLead(index_.Ranges()[index_.Move(m).range], byte)) {
            moves_[m >> 3] |= static_cast<std::uint8_t>(1u << (m & 7));
          }
        }
      });
      index_.MoveAll(key, static_cast<CharCode>(byte), work_);
      index_.Closure(work_, worklist_);
      work_.Unite(plan_.entry);
      const bool loneMatches = work_.Has(index_.Exit()) || work_.Intersects(plan_.tailStates);
      return FindOrAdd(moves_.data(), static_cast<std::int16_t>(cls), loneMatches, &row);
    }
    index_.MoveAll(key, static_cast<CharCode>(byte), work_);
    // After an LF read as a character, the line-head reading starts too (MayMatch's texts).
    if (byte == '\n') work_.Unite(plan_.headReading);
  } else {
    const auto code = static_cast<CharCode>(
        plan_.representative[static_cast<std::size_t>(state.leadClass)] << 8 | byte);
    ForEachMember(key, moveBytes_, [&](std::int32_t m) {
      const auto& move = index_.Move(static_cast<std::size_t>(m));
      if (Contains(index_.Ranges()[move.range], code)) work_.Include(move.target);
    });
  }
  index_.Closure(work_, worklist_);
  work_.Unite(plan_.entry);
  return Boundary(work_, &row);
}

std::int32_t TRE_LineDFA::Transition(std::int32_t& row, std::size_t cls) {
  // A row is a state's offset in the table; its transitions are rows too, or the markers.
  assert(row >= 0 && static_cast<std::size_t>(row) % stride_ == 0 && cls < stride_);
  std::int32_t t = table_[static_cast<std::size_t>(row) + cls];
  if (t == kUnknown) {
    t = Compute(row, cls);
    table_[static_cast<std::size_t>(row) + cls] = t;
  }
  assert(t == kFound || t == kStop ||
         (t >= 0 && static_cast<std::size_t>(t) % stride_ == 0 &&
          static_cast<std::size_t>(t) < table_.size()));
  return t;
}

const char* TRE_LineDFA::FindLine(const char* begin, const char* end) {
  const auto start = [this]() {
    if (startRow_ == kUnknown) {
      work_ = plan_.lineStart;
      startRow_ = Boundary(work_, nullptr);
    }
    return startRow_;
  };
  const char* line = begin;
  const char* p = begin;
  if (p >= end) return nullptr;
  std::int32_t row = start();
  if (row == kFound) return line;
  const std::uint8_t* classOf = plan_.classOf;
  for (;;) {
    const std::int32_t* table = table_.data();
    std::int32_t s = row;
    std::int32_t t = 0;
    while (p < end) {
      t = table[static_cast<std::size_t>(s) + classOf[static_cast<unsigned char>(*p)]];
      if (t < 0) break;
      s = t;
      ++p;
    }
    row = s;
    if (p >= end) return StateOf(row).endMatches ? line : nullptr;
    if (t == kUnknown) t = Transition(row, classOf[static_cast<unsigned char>(*p)]);
    if (t == kFound) return line;
    if (t >= 0) {
      row = t;
      ++p;
      continue;
    }
    assert(t == kStop && (*p == '\n' || *p == '\r' || *p == 0));
    const bool lineEnds = *p == '\n' || (*p == '\r' && p + 1 < end && p[1] == '\n');
    if (!lineEnds) {
      // A CR or zero byte inside a line: a character like any other.
      t = Transition(row, ColumnOf(static_cast<unsigned char>(*p)));
      if (t == kFound) return line;
      row = t;
      ++p;
      continue;
    }
    if (StateOf(row).endMatches) return line;
    p += *p == '\r' ? 2 : 1;
    line = p;
    if (p >= end) return nullptr;
    row = start();
    if (row == kFound) return line;
  }
}

bool TRE_LineDFA::MayMatch(const char* p, const char* end, bool lineHeadAtP, CharCode separator,
                           bool zeroEnds) {
  std::int32_t row = kUnknown;
  if (lineHeadAtP) {
    if (startRow_ == kUnknown) {
      work_ = plan_.lineStart;
      startRow_ = Boundary(work_, nullptr);
    }
    row = startRow_;
  } else {
    if (entryRow_ == kUnknown) {
      work_ = plan_.entry;
      entryRow_ = Boundary(work_, nullptr);
    }
    row = entryRow_;
  }
  if (row == kFound) return true;
  const std::uint8_t* classOf = plan_.classOf;
  for (;;) {
    const std::int32_t* table = table_.data();
    std::int32_t s = row;
    std::int32_t t = 0;
    while (p < end) {
      t = table[static_cast<std::size_t>(s) + classOf[static_cast<unsigned char>(*p)]];
      if (t < 0) break;
      s = t;
      ++p;
    }
    row = s;
    if (p >= end) return StateOf(row).endMatches;
    if (t == kUnknown) t = Transition(row, classOf[static_cast<unsigned char>(*p)]);
    if (t == kFound) return true;
    if (t >= 0) {
      row = t;
      ++p;
      continue;
    }
    const auto b = static_cast<unsigned char>(*p);
    // The text's end, after a lone lead byte too.
    if (b == 0 && zeroEnds) return StateOf(row).endMatches;
    // A walk may end before the separator (a lead byte's trail is none).
    if (separator != 0 && b == separator && StateOf(row).leadClass < 0 && StateOf(row).endMatches) {
      return true;
    }
    t = Transition(row, ColumnOf(b));
    if (t == kFound) return true;
    row = t;
    ++p;
  }
}

}  // namespace SjisRegExp
