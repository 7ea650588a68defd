// Test helper: random patterns of the shared syntax over a small alphabet.
// Every construct is well formed for both this library and POSIX ERE: no empty
// alternatives or groups, at most one postfix operator per factor. Anchors, escapes
// and two-byte characters only when asked for.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace SjisRegExp::testing {

struct PatternGenOptions {
  std::string alphabet = "abc";
  bool anchors = false;
  std::vector<std::string> wideChars;  // Shift-JIS characters to mix in
  int maxDepth = 3;
};

class PatternGen {
 public:
  PatternGen(unsigned seed, PatternGenOptions options) : rng_(seed), o_(std::move(options)) {}

  std::string Pattern() { return Alternation(0); }

  std::string Text(std::size_t maxLength, const std::string& extra = "d") {
    const std::string letters = o_.alphabet + extra;
    std::string t;
    const std::size_t n = Pick(static_cast<int>(maxLength) + 1);
    for (std::size_t i = 0; i < n; ++i) {
      if (!o_.wideChars.empty() && Pick(4) == 0) {
        t += o_.wideChars[Pick(static_cast<int>(o_.wideChars.size()))];
      } else {
        t += letters[Pick(static_cast<int>(letters.size()))];
      }
    }
    return t;
  }

  std::size_t Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }

 private:
  std::string Alternation(int depth) {
    std::string s = Concatenation(depth);
    while (Pick(4) == 0) s += "|" + Concatenation(depth);
    return s;
  }
  std::string Concatenation(int depth) {
    std::string s;
    const std::size_t n = 1 + Pick(3);
    for (std::size_t i = 0; i < n; ++i) s += Factor(depth);
    return s;
  }
  std::string Factor(int depth) {
    std::string s = Primary(depth);
    switch (Pick(6)) {
      case 0:
        return s + "*";
      case 1:
        return s + "+";
      case 2:
        return s + "?";
      default:
        return s;
    }
  }
  std::string Char() {
    if (!o_.wideChars.empty() && Pick(4) == 0) {
      return o_.wideChars[Pick(static_cast<int>(o_.wideChars.size()))];
    }
    return std::string(1, o_.alphabet[Pick(static_cast<int>(o_.alphabet.size()))]);
  }
  static unsigned Code(const std::string& c) {
    const auto b = [&](std::size_t i) { return static_cast<unsigned char>(c[i]); };
    return c.size() == 1 ? b(0) : b(0) << 8 | b(1);
  }
  std::string Class() {
    std::string s = Pick(3) == 0 ? "[^" : "[";
    const std::size_t n = 1 + Pick(3);
    for (std::size_t i = 0; i < n; ++i) {
      if (s == "[" && i == 0) s += o_.alphabet[0];  // a leading ^ would negate the class
      if (Pick(3) == 0) {
        std::string lo = Char();
        std::string hi = Char();
        if (Code(hi) < Code(lo)) std::swap(lo, hi);
        s += lo + "-" + hi;
      } else {
        s += Char();
      }
    }
    return s + "]";
  }
  std::string Primary(int depth) {
    const std::size_t k = Pick(10);
    if (k < 5 || depth >= o_.maxDepth) return Char();
    if (k < 7) return "(" + Alternation(depth + 1) + ")";
    if (k < 9) return Class();
    if (o_.anchors && Pick(2) == 0) return Pick(2) == 0 ? "^" : "$";
    return ".";
  }

  std::mt19937 rng_;
  PatternGenOptions o_;
};

}  // namespace SjisRegExp::testing
