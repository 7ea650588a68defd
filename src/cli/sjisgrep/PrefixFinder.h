// PrefixFinder: finds where a match of a pattern can begin, from what every match begins
// with: a fixed sequence of byte classes (BytePrefix), such as "R" "e" ":" " " [0-9] for
// "Re: [0-9]+", [A-Z] [0-9] for "[A-Z][0-9]+", or 0x83 0x4C 0x83 [0x40-0x96] for "キ[ァ-ヶ]+".
// Every match start satisfies every class at its offset; a candidate may still fail the
// pattern or lie on a trail byte, and its caller checks both.
//
// Why it pays: the library's plain scan stops at every byte that can begin a match, and in
// Shift-JIS text the trail bytes of two-byte characters take most single-byte values
// (0x40-0xFC), so "[A-Z]" stops at about one character in seven. Two classes at their
// distance together are rare: sixteen positions are tested at a time (SSE2) for the two
// classes of the prefix that are rarest in the text (counted in its first 64 KiB; digits,
// for instance, are never trail bytes), and only where both hold are the others looked at;
// a single rare byte is found with memchr. On the 200 MB benchmark log this takes "[A-Z][0-9]+"
// from about grep's time to well under it, and a three-kanji word to a third of memmem's.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace sjisgrep {

// A set of byte values.
struct ByteClass {
  std::array<std::uint64_t, 4> bits{};
  void Add(unsigned lo, unsigned hi) {
    for (unsigned b = lo; b <= hi; ++b) bits[b >> 6] |= std::uint64_t{1} << (b & 63);
  }
  bool Has(unsigned char b) const { return (bits[b >> 6] >> (b & 63)) & 1u; }
};

// The byte classes that every match of a library pattern begins with, as far as a simple
// reading of the pattern tells: literal characters and classes of characters, up to the
// first thing of varying width (a "*", "?", "+" after the first occurrence, ".", a group, an
// escape, an anchor). Empty when there is none; always empty for a pattern with "|" or a
// leading "^", and for negated classes.
std::vector<ByteClass> BytePrefix(std::string_view sjisPattern);

class PrefixFinder {
 public:
  // The prefix must not be empty.
  explicit PrefixFinder(std::vector<ByteClass> prefix);

  // The first position in [p, end) at which the whole prefix fits and holds, or null. Every
  // byte it reads lies in [p, end).
  const char* Find(const char* p, const char* end) const;

 private:
  struct Range {
    std::uint8_t lo, width;  // lo .. lo + width
  };
  // The classes tested sixteen positions at a time: at most kMaxRanges ranges each.
  static constexpr std::size_t kMaxRanges = 3;
  struct Probe {
    std::size_t offset = 0;
    std::vector<Range> ranges;
  };
  bool HoldsAt(const char* p) const;
  // Chooses the probes by the bytes of the first text searched.
  void Calibrate(const char* p, const char* end) const;

  std::vector<ByteClass> prefix_;
  // Chosen on the first Find (which is therefore not safe to call from two threads at once).
  mutable bool calibrated_ = false;
  mutable std::vector<Probe> probes_;  // zero, one or two of the prefix's classes
};

}  // namespace sjisgrep
