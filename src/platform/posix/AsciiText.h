// ASCII letter case, as Windows compares section, key and file names: other bytes (the
// bytes of multibyte characters among them) compare as they are.
#pragma once

#include <cstddef>
#include <string_view>

namespace sorbit::platform {

inline char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

}  // namespace sorbit::platform
