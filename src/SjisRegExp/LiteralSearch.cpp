// The search for one literal: memchr and memcmp for short ones, memmem for long ones.
#include "LiteralSearch.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace SjisRegExp {

int Commonness(unsigned char b) {
  if (b == ' ' || (b >= 'a' && b <= 'z') || b == 0x81 || b == 0x82 || b == 0x83) return 9;
  if (b >= '0' && b <= '9') return 7;
  // A kanji lead byte stands before one kanji in sixteen or so; any one trail value after
  // one two-byte character in a hundred or more.
  if ((b >= 'A' && b <= 'Z') || (b >= 0x88 && b <= 0x9F)) return 6;
  if (b >= 0x40 && b <= 0xFC) return 5;  // trail bytes, other leads, half-width kana
  return 3;
}

namespace {

// The start of the maximal suffix of x under the byte order (reversed when `reversed`), and
// its period.
std::size_t MaximalSuffix(std::string_view x, bool reversed, std::size_t& period) {
  std::size_t ms = SIZE_MAX;  // the suffix starts at ms + 1
  std::size_t j = 0;
  std::size_t k = 1;
  period = 1;
  while (j + k < x.size()) {
    const auto a = static_cast<unsigned char>(x[j + k]);
    const auto b = static_cast<unsigned char>(x[ms + k]);
    if (reversed ? a > b : a < b) {
      j += k;
      k = 1;
      period = j - ms;
    } else if (a == b) {
      if (k != period) {
        ++k;
      } else {
        j += period;
        k = 1;
      }
    } else {
      ms = j;
      j = ms + 1;
      k = period = 1;
    }
  }
  return ms + 1;
}

// Two-way search of [p, end) for the literal: the first place at or after p, or null.
const char* TwoWay(const LiteralText& literal, const char* p, const char* end) {
  const auto* x = reinterpret_cast<const unsigned char*>(literal.text.data());
  const auto* y = reinterpret_cast<const unsigned char*>(p);
  const std::size_t m = literal.text.size();
  const std::size_t n = static_cast<std::size_t>(end - p);
  const std::size_t ell = literal.split;  // the right part begins here
  std::size_t j = 0;
  if (literal.periodic) {
    std::size_t memory = 0;  // bytes of the left part known to match already
    while (j + m <= n) {
      std::size_t i = std::max(ell, memory);
      while (i < m && x[i] == y[i + j]) ++i;
      if (i < m) {
        j += i - ell + 1;
        memory = 0;
        continue;
      }
      i = ell;
      while (i > memory && x[i - 1] == y[i - 1 + j]) --i;
      if (i <= memory) return p + j;
      j += literal.period;
      memory = m - literal.period;
    }
    return nullptr;
  }
  const std::size_t shift = std::max(ell, m - ell) + 1;
  while (j + m <= n) {
    std::size_t i = ell;
    while (i < m && x[i] == y[i + j]) ++i;
    if (i < m) {
      j += i - ell + 1;
      continue;
    }
    i = ell;
    while (i > 0 && x[i - 1] == y[i - 1 + j]) --i;
    if (i == 0) return p + j;
    j += shift;
  }
  return nullptr;
}

}  // namespace

LiteralText::LiteralText(std::string_view literal) : text(literal) {
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (Commonness(static_cast<unsigned char>(text[i])) <
        Commonness(static_cast<unsigned char>(text[rare]))) {
      rare = i;
    }
  }
  *this = LiteralText(literal, rare);
}

LiteralText::LiteralText(std::string_view literal, std::size_t rareIndex)
    : text(literal), rare(rareIndex) {
  if (text.size() <= kShortLiteral) return;
  std::size_t forward = 1;
  std::size_t backward = 1;
  const std::size_t a = MaximalSuffix(text, false, forward);
  const std::size_t b = MaximalSuffix(text, true, backward);
  split = a > b ? a : b;
  period = a > b ? forward : backward;
  periodic = split <= text.size() - period && text.substr(0, split) == text.substr(period, split);
}

const char* FindLongLiteral(const LiteralText& literal, const char* p, const char* end) {
  return TwoWay(literal, p, end);
}

}  // namespace SjisRegExp
