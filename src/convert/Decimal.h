// Decimal numbers in the run's texts and records: no sign for positives, no leading zeros.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

namespace sorbit {

inline void AppendDecimal(std::string& s, long long n) {
  char digits[24];
  const auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
  (void)ec;  // 24 bytes hold every long long
  s.append(digits, end);
}

inline std::string Decimal(long long n) {
  std::string s;
  AppendDecimal(s, n);
  return s;
}

}  // namespace sorbit
