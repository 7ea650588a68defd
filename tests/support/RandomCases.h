// How many random cases a property test runs in this build.
//
// The sanitizer trees (AddressSanitizer with UBSan, ThreadSanitizer) build the library
// without optimisation and with its debug self-checks, and run it many times slower than
// the release tree. There a property test runs a quarter of its cases: the first ones of the
// same seeded sequence, so that every case it runs is one the release tree runs too. The
// release tree runs every case. A test that also asks for a least number of matches or
// hits among its cases scales that number the same way.
#pragma once

namespace sorbit::testing {

#if defined(SORBIT_TEST_SANITIZED)
inline constexpr int kRandomCaseShare = 4;
#else
inline constexpr int kRandomCaseShare = 1;
#endif

// `full` in the release tree; a quarter of it, and at least one, in a sanitizer tree.
constexpr int RandomCases(int full) {
  return full / kRandomCaseShare > 0 ? full / kRandomCaseShare : 1;
}

}  // namespace sorbit::testing
