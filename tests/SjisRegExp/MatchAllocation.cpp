// Match allocates nothing once its pattern has met texts like these: a search whose walks
// overlap builds states in its cache the first time. This binary replaces the global
// operator new to count every allocation, so it is kept apart from the other tests.
#include <gtest/gtest.h>

#include <string>

#include "../support/CountingAllocator.h"
#include "SjisRegExp/SjisRegExp.h"

using sorbit::testing::g_allocations;

namespace SjisRegExp {
namespace {

TEST(MatchAllocationTest, TheCounterSeesAllocations) {
  const long before = g_allocations.load();
  auto text = std::make_unique<std::string>(100, 'x');
  EXPECT_GT(g_allocations.load(), before);
}

TEST(MatchAllocationTest, MatchAllocatesNothing) {
  const std::string titles[] = {
      "Re: 123 thanks",
      "Fw: re>>45",
      "no reply",
      "",
      "\x82\xA0\x82\xA2Re[#9]",
      std::string(5000, 'r') + "e: 1\r\n" + std::string(3000, '\x82'),
      "a\nb\r\nc$",
  };
  const char* patterns[] = {"[Rr][Ee][ :>\\[#]+[0-9]+", "",   "^b",     "c$",
                            "(a|b)*a(a|b)(a|b)",        ".*", "[^a]+$", "\x82\xA0|x"};
  TAWKStr awk;
  for (const char* pattern : patterns) {
    awk.SetRegExp(pattern);
    for (auto separator : {mcls_CRLF, mcls_LF}) {
      awk.SetLineSeparator(separator);
      const auto matchAll = [&awk, &titles] {
        int total = 0;
        for (const std::string& title : titles) {
          int start = 0;
          int length = 0;
          total += awk.Match(title, start, length) + length;
        }
        return total;
      };
      const int first = matchAll();
      const long before = g_allocations.load();
      EXPECT_EQ(matchAll(), first);
      EXPECT_EQ(g_allocations.load(), before) << pattern;
    }
  }
}

// The converter writes its pattern before every title: once the pattern is cached and the
// texts have reached their size, writing it again allocates nothing.
TEST(MatchAllocationTest, WritingACachedPatternAllocatesNothing) {
  const std::string reply = "[Rr][Ee][ :>\\[#]+[0-9]+";
  TAWKStr awk;
  awk.SetRegExp(reply);
  awk.SetRegExp(reply);
  const long before = g_allocations.load();
  for (int i = 0; i < 100; ++i) awk.SetRegExp(reply);
  EXPECT_EQ(g_allocations.load(), before);
  EXPECT_EQ(awk.RegExp(), reply);
}

}  // namespace
}  // namespace SjisRegExp
