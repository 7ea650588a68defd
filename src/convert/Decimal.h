// Decimal numbers in the run's texts and records: no sign for positives, no leading zeros.
#pragma once

#include <charconv>
#include <cstring>
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

// The decimal text of a count that mostly goes up by one, as message numbers do: such a
// step only changes the last digits in place.
class DecimalCounter {
 public:
  std::string_view Text(long long n) {
    if (n > 1 && n - 1 == value_) {
      std::size_t i = sizeof digits_;
      while (i > begin_ && digits_[i - 1] == '9') digits_[--i] = '0';
      if (i > begin_) {
        ++digits_[i - 1];
      } else {
        digits_[--begin_] = '1';  // 9, 99, ... became 10, 100, ...
      }
    } else {
      char text[24];
      const auto [end, ec] = std::to_chars(text, text + sizeof text, n);
      (void)ec;  // 24 bytes hold every long long
      const auto size = static_cast<std::size_t>(end - text);
      begin_ = sizeof digits_ - size;
      std::memcpy(digits_ + begin_, text, size);
    }
    value_ = n;
    return std::string_view(digits_ + begin_, sizeof digits_ - begin_);
  }

 private:
  char digits_[24];  // the text, right-aligned
  std::size_t begin_ = sizeof digits_;
  long long value_ = 0;
};

}  // namespace sorbit
