#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "convert/Decimal.h"

namespace sorbit {
namespace {

// Counting up one at a time, across every change in the number of digits, and with jumps,
// repeats and steps down between: the counter's text is always the plain decimal text.
TEST(DecimalCounter, GivesTheDecimalTextOfEveryCount) {
  DecimalCounter counter;
  for (long long n = 1; n <= 120'000; ++n) {
    ASSERT_EQ(counter.Text(n), std::to_string(n));
  }
  const std::vector<long long> jumps = {0,
                                        1,
                                        2,
                                        9,
                                        10,
                                        7,
                                        99,
                                        100,
                                        100,
                                        999'999,
                                        -1,
                                        -10,
                                        1'000'000,
                                        1'000'001,
                                        5,
                                        6,
                                        42,
                                        41,
                                        9,
                                        std::numeric_limits<long long>::max(),
                                        std::numeric_limits<long long>::min(),
                                        1,
                                        2};
  for (long long n : jumps) EXPECT_EQ(counter.Text(n), std::to_string(n));
  for (long long n = 999'999'990; n <= 1'000'000'010; ++n) {
    ASSERT_EQ(counter.Text(n), std::to_string(n));
  }
}

}  // namespace
}  // namespace sorbit
