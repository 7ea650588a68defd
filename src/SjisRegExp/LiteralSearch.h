// The search for one literal text in a byte range, shared by every scan that looks for fixed
// bytes: the restart scan's literal prefix (DFAAccelScan.h) and the search for a pattern that
// is one literal (Program.h).
//
// A short literal is found by memchr on its least common byte (by a fixed estimate of how
// often bytes turn up in the logs this library searches) and memcmp on the rest: a
// candidate costs the literal's length at most, and in logs candidates are rare. A literal
// longer than kShortLiteral is found by the two-way algorithm of Crochemore and Perrin,
// linear whatever the text holds: its critical factorization is worked out once, with the
// literal, so that searching again from the next line costs nothing more.
#pragma once

#include <cstddef>
#include <cstring>
#include <string_view>

namespace SjisRegExp {

inline constexpr std::size_t kShortLiteral = 16;

// How often a byte turns up in the logs this library searches, roughly, as a power of two:
// ASCII lower case, space and the hiragana and katakana lead bytes most, then digits, then
// upper case and the kanji lead bytes, then each trail value, control characters and rare
// symbols least.
int Commonness(unsigned char b);

// The literal, the index of its least common byte and, for a long one, its critical
// factorization: text = u v with u of `split` bytes, and whether v's period `period` is the
// whole literal's (`periodic`).
struct LiteralText {
  LiteralText() = default;
  explicit LiteralText(std::string_view literal);
  LiteralText(std::string_view literal, std::size_t rareIndex);
  std::string_view text;
  std::size_t rare = 0;
  std::size_t split = 0;
  std::size_t period = 1;
  bool periodic = false;
};

// The first place at or after p where a long literal stands wholly before end, or null.
const char* FindLongLiteral(const LiteralText& literal, const char* p, const char* end);

// The first place at or after p where the literal stands wholly before end, or null. The
// literal is not empty. Inline for a short literal: every scan with a literal prefix calls it.
inline const char* FindLiteral(const LiteralText& literal, const char* p, const char* end) {
  const std::size_t size = literal.text.size();
  if (p >= end || static_cast<std::size_t>(end - p) < size) return nullptr;
  if (size > kShortLiteral) return FindLongLiteral(literal, p, end);
  const char rare = literal.text[literal.rare];
  const char* limit = end - (size - literal.rare - 1);
  for (const char* from = p + literal.rare; from < limit;) {
    const void* hit = std::memchr(from, rare, static_cast<std::size_t>(limit - from));
    if (hit == nullptr) return nullptr;
    const char* candidate = static_cast<const char*>(hit) - literal.rare;
    if (std::memcmp(candidate, literal.text.data(), size) == 0) return candidate;
    from = static_cast<const char*>(hit) + 1;
  }
  return nullptr;
}

}  // namespace SjisRegExp
