// The byte-class prefix of a pattern, and the two-class filter that finds its occurrences.
#include "PrefixFinder.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "Chars.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace sjisgrep {

namespace {

using SjisRegExp::IsLeadByte;

// The classes of one pattern character (one or two bytes).
void AddCharacter(std::string_view text, std::vector<ByteClass>& item) {
  item.resize(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    const auto b = static_cast<unsigned char>(text[k]);
    item[k].Add(b, b);
  }
}

// Reads a class "[...]" from just after its "[": the classes of its characters when they are
// all single bytes (one class) or all two bytes (a class of lead bytes and one of trail
// bytes). Returns false for anything else, and where it ends in `end`.
bool ReadClass(std::string_view pattern, std::size_t& k, std::vector<ByteClass>& item) {
  if (k < pattern.size() && pattern[k] == '^') return false;
  ByteClass single, lead, trail;
  bool haveSingle = false, haveDouble = false;
  while (k < pattern.size()) {
    auto readCode = [&](unsigned& code) {
      const auto b = static_cast<unsigned char>(pattern[k]);
      if (b == '\\') return false;  // escapes: not worth reading here
      if (IsLeadByte(b) && k + 1 < pattern.size()) {
        code = b << 8 | static_cast<unsigned char>(pattern[k + 1]);
        k += 2;
      } else {
        code = b;
        ++k;
      }
      return true;
    };
    if (pattern[k] == ']') {  // the library closes a class at any "]", even the first
      ++k;
      if (haveSingle == haveDouble) return false;
      item.clear();
      if (haveSingle) {
        item.push_back(single);
      } else {
        item.push_back(lead);
        item.push_back(trail);
      }
      return true;
    }
    unsigned lo = 0;
    if (!readCode(lo)) return false;
    unsigned hi = lo;
    if (k + 1 < pattern.size() && pattern[k] == '-' && pattern[k + 1] != ']') {
      ++k;
      if (!readCode(hi) || hi < lo) return false;
    }
    if (hi <= 0xFF) {
      if (lo == 0) return false;
      single.Add(lo, hi);
      haveSingle = true;
    } else if (lo > 0xFF) {
      haveDouble = true;
      lead.Add(lo >> 8, hi >> 8);
      if ((lo >> 8) == (hi >> 8)) {
        trail.Add(lo & 0xFF, hi & 0xFF);
      } else {
        trail.Add(0, 0xFF);
      }
    } else {
      return false;  // a range from single bytes into two-byte codes
    }
  }
  return false;  // no "]"
}

}  // namespace

std::vector<ByteClass> BytePrefix(std::string_view pattern) {
  // An alternative anywhere may begin differently; "|" as a trail byte is not one.
  for (std::size_t k = 0; k < pattern.size();) {
    const auto b = static_cast<unsigned char>(pattern[k]);
    if (b == '|') return {};
    k += IsLeadByte(b) && k + 1 < pattern.size() ? 2 : 1;
  }
  static constexpr std::string_view kStop = "\\().^$*+?]";
  std::vector<ByteClass> prefix;
  std::size_t k = 0;
  while (k < pattern.size()) {
    const auto b = static_cast<unsigned char>(pattern[k]);
    std::vector<ByteClass> item;
    if (b == 0 || kStop.find(static_cast<char>(b)) != std::string_view::npos) break;
    if (b == '[') {
      ++k;
      if (!ReadClass(pattern, k, item)) break;
    } else {
      const std::size_t length = IsLeadByte(b) && k + 1 < pattern.size() ? 2 : 1;
      AddCharacter(pattern.substr(k, length), item);
      k += length;
    }
    const char next = k < pattern.size() ? pattern[k] : '\0';
    if (next == '*' || next == '?') break;
    prefix.insert(prefix.end(), item.begin(), item.end());
    if (next == '+') break;
  }
  return prefix;
}

PrefixFinder::PrefixFinder(std::vector<ByteClass> prefix) : prefix_(std::move(prefix)) {
  assert(!prefix_.empty());
}

void PrefixFinder::Calibrate(const char* p, const char* end) const {
  calibrated_ = true;
  // The two classes to test: those of few ranges whose bytes are rarest in the text (as
  // counted in its first stretch), the second as far from the first as a tie allows.
  std::array<std::uint64_t, 256> weight{};
  weight.fill(1);
  const std::size_t sample = std::min<std::size_t>(static_cast<std::size_t>(end - p), 65536);
  for (std::size_t k = 0; k < sample; ++k) ++weight[static_cast<unsigned char>(p[k])];
  struct Candidate {
    std::size_t offset;
    std::uint64_t cost;
    std::vector<Range> ranges;
  };
  std::vector<Candidate> candidates;
  for (std::size_t i = 0; i < prefix_.size(); ++i) {
    std::vector<Range> ranges;
    std::uint64_t cost = 0;
    bool fits = true;
    for (unsigned b = 0; b < 256 && fits; ++b) {
      if (!prefix_[i].Has(static_cast<unsigned char>(b))) continue;
      cost += weight[b];
      if (!ranges.empty() && ranges.back().lo + ranges.back().width + 1u == b) {
        ++ranges.back().width;
      } else if (ranges.size() < kMaxRanges) {
        ranges.push_back({static_cast<std::uint8_t>(b), 0});
      } else {
        fits = false;
      }
    }
    if (fits && !ranges.empty()) candidates.push_back({i, cost, std::move(ranges)});
  }
  probes_.clear();
  if (candidates.empty()) return;
  const auto firstChoice =
      std::min_element(candidates.begin(), candidates.end(),
                       [](const Candidate& a, const Candidate& b) { return a.cost < b.cost; });
  probes_.push_back({firstChoice->offset, firstChoice->ranges});
  const std::size_t at = firstChoice->offset;
  const auto distance = [at](const Candidate& c) {
    return c.offset > at ? c.offset - at : at - c.offset;
  };
  const Candidate* second = nullptr;
  for (const Candidate& c : candidates) {
    if (c.offset == at) continue;
    if (second == nullptr || c.cost < second->cost ||
        (c.cost == second->cost && distance(c) > distance(*second))) {
      second = &c;
    }
  }
  if (second != nullptr) probes_.push_back({second->offset, second->ranges});
}

bool PrefixFinder::HoldsAt(const char* p) const {
  for (std::size_t i = 0; i < prefix_.size(); ++i) {
    if (!prefix_[i].Has(static_cast<unsigned char>(p[i]))) return false;
  }
  return true;
}

const char* PrefixFinder::Find(const char* p, const char* end) const {
  const std::size_t n = prefix_.size();
  if (end - p < static_cast<std::ptrdiff_t>(n)) return nullptr;
  if (!calibrated_) Calibrate(p, end);
  const char* last = end - n;  // the last start at which the prefix fits
#ifdef __SSE2__
  if (!probes_.empty()) {
    // The probes as comparison blocks, loaded once: per range its low byte and width, a
    // width of 0 being a plain compare.
    struct Block {
      std::size_t offset = 0;
      int count = 0;
      __m128i lo[kMaxRanges];
      __m128i width[kMaxRanges];
      bool exact = false;
    };
    Block blocks[2];
    const int probeCount = static_cast<int>(probes_.size());
    for (int q = 0; q < probeCount; ++q) {
      const Probe& probe = probes_[static_cast<std::size_t>(q)];
      blocks[q].offset = probe.offset;
      blocks[q].count = static_cast<int>(probe.ranges.size());
      blocks[q].exact = probe.ranges.size() == 1 && probe.ranges[0].width == 0;
      for (int r = 0; r < blocks[q].count; ++r) {
        blocks[q].lo[r] =
            _mm_set1_epi8(static_cast<char>(probe.ranges[static_cast<std::size_t>(r)].lo));
        blocks[q].width[r] =
            _mm_set1_epi8(static_cast<char>(probe.ranges[static_cast<std::size_t>(r)].width));
      }
    }
    const auto mask = [](const Block& b, const char* x) {
      const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(x + b.offset));
      if (b.exact) return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(v, b.lo[0])));
      __m128i hit = _mm_setzero_si128();
      for (int r = 0; r < b.count; ++r) {
        // v - lo <= width, unsigned: the minimum of the two is the difference itself.
        const __m128i d = _mm_sub_epi8(v, b.lo[r]);
        hit = _mm_or_si128(hit, _mm_cmpeq_epi8(_mm_min_epu8(d, b.width[r]), d));
      }
      return static_cast<unsigned>(_mm_movemask_epi8(hit));
    };
    // A single byte as the rarest probe: glibc's memchr passes over the text faster than
    // any compare of ours, and stops about once in 256 bytes even for a trail-byte value.
    // Where the byte turns out common (a ":" in every header line) the stops cost more than
    // they save, and the two-probe compare below takes over.
    if (blocks[0].exact) {
      const auto byte = static_cast<unsigned char>(probes_[0].ranges[0].lo);
      const std::size_t offset = blocks[0].offset;
      const char* const from = p;
      std::size_t stops = 0;
      while (p <= last) {
        const void* found = std::memchr(p + offset, byte, static_cast<std::size_t>(last - p) + 1);
        if (found == nullptr) return nullptr;
        const char* at = static_cast<const char*>(found) - offset;
        if (HoldsAt(at)) return at;
        p = at + 1;
        if (++stops >= 64 && static_cast<std::size_t>(p - from) < stops * 128) break;
      }
      if (p > last) return nullptr;
    }
    // Two single bytes, the usual case of a fixed string: thirty-two starts a step, with one
    // branch for both halves.
    if (probeCount == 2 && blocks[0].exact && blocks[1].exact) {
      const __m128i a = blocks[0].lo[0];
      const __m128i b = blocks[1].lo[0];
      const std::size_t oa = blocks[0].offset;
      const std::size_t ob = blocks[1].offset;
      const auto load = [](const char* x) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(x));
      };
      while (last - p >= 31) {
        const __m128i low =
            _mm_and_si128(_mm_cmpeq_epi8(load(p + oa), a), _mm_cmpeq_epi8(load(p + ob), b));
        const __m128i high = _mm_and_si128(_mm_cmpeq_epi8(load(p + 16 + oa), a),
                                           _mm_cmpeq_epi8(load(p + 16 + ob), b));
        if (_mm_movemask_epi8(_mm_or_si128(low, high)) != 0) {
          auto m = static_cast<unsigned>(_mm_movemask_epi8(low)) |
                   static_cast<unsigned>(_mm_movemask_epi8(high)) << 16;
          while (m != 0) {
            const char* at = p + __builtin_ctz(m);
            if (HoldsAt(at)) return at;
            m &= m - 1;
          }
        }
        p += 32;
      }
    }
    // Blocks of sixteen starts, all of whose prefixes fit.
    while (last - p >= 15) {
      unsigned m = mask(blocks[0], p);
      if (m != 0 && probeCount > 1) m &= mask(blocks[1], p);
      while (m != 0) {
        const char* at = p + __builtin_ctz(m);
        if (HoldsAt(at)) return at;
        m &= m - 1;
      }
      p += 16;
    }
  }
#endif
  for (; p <= last; ++p) {
    if (HoldsAt(p)) return p;
  }
  return nullptr;
}

}  // namespace sjisgrep
