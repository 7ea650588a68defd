// CodeSet: a set of CP932 character codes (a byte, or lead * 256 + trail), the alphabet of one
// pattern atom: a character in all its codes, a bracket expression, a class. Kept as sorted,
// disjoint, non-adjacent inclusive ranges, so that a literal costs one range and a class of
// thousands of kanji a few hundred; debug builds assert that shape after every change.
//
// The codes a pattern may match are those of the library's any-character set: 0x01-0xFCFC
// without LF and CR. Complement() stays inside it, so "[^a]" never matches a line end or a CR.
#pragma once

#include <cstdint>
#include <vector>

namespace sjisgrep {

class CodeSet {
 public:
  struct Range {
    std::uint16_t first;
    std::uint16_t last;  // inclusive
    bool operator==(const Range&) const = default;
  };

  static constexpr std::uint16_t kFirstCode = 0x01;
  static constexpr std::uint16_t kLastCode = 0xFCFC;

  CodeSet() = default;
  static CodeSet Of(std::uint16_t code) {
    CodeSet set;
    set.Add(code);
    return set;
  }

  void Add(std::uint16_t code) { AddRange(code, code); }
  void AddRange(std::uint16_t first, std::uint16_t last);
  void AddSet(const CodeSet& other);
  bool Contains(std::uint16_t code) const;

  // The codes of the any-character set that are not in this one.
  CodeSet Complement() const;
  // Whether this holds every code of the any-character set (and so reads as ".").
  bool IsAny() const { return Complement().Empty(); }

  bool Empty() const { return ranges_.empty(); }
  const std::vector<Range>& Ranges() const { return ranges_; }
  bool operator==(const CodeSet&) const = default;

 private:
  void AssertShape() const;

  std::vector<Range> ranges_;
};

}  // namespace sjisgrep
