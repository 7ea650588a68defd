// Time per byte of one Match over texts of 10 kB, 100 kB, 1 MB and 10 MB, for patterns
// whose search restarted at every character used to cost the square of the text, and for
// "(a|b)*a" followed by k "(a|b)" (k = 15, 19, 23) on random a/b text, whose automaton
// has 2^(k+1) states and is built on demand. Linear time shows as a flat ns/byte column.
// Usage: sjisregexp_linear_bench [max MB]   (default 10)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "SjisRegExp/MatchCore.h"

namespace {

// Processor time of this process: on a machine shared with other work, wall time says
// more about the others than about the search.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const double maxMB = argc > 1 ? std::atof(argv[1]) : 10.0;
  struct Case {
    std::string name;
    std::string pattern;
    char fill;  // 0: random a/b
  };
  std::vector<Case> cases = {
      {"a+b", "a+b", 'a'},           {"(a|aa)*b", "(a|aa)*b", 'a'},
      {"(x+x+)+y", "(x+x+)+y", 'x'}, {"a*a*a*a*a*b", "a*a*a*a*a*b", 'a'},
      {"(ab|a)*c", "(ab|a)*c", 'a'}, {"[a-z]+[0-9]", "[a-z]+[0-9]", 'q'},
  };
  for (int k : {15, 19, 23}) {
    std::string p = "(a|b)*a";
    for (int i = 0; i < k; ++i) p += "(a|b)";
    cases.push_back({"(a|b)*a(a|b)x" + std::to_string(k), p, 0});
  }
  std::printf("%-20s %10s %8s %10s %10s %9s %12s\n", "pattern", "bytes", "result", "cpu s",
              "ns/byte", "peak MiB", "cache MiB");
  for (const Case& c : cases) {
    SjisRegExp::TMatchCORE awk;
    awk.SetRegExp(c.pattern);
    for (std::size_t size : {10'000ul, 100'000ul, 1'000'000ul, 10'000'000ul}) {
      if (static_cast<double>(size) > maxMB * 1e6) break;
      std::string text(size, c.fill);
      if (c.fill == 0) {
        std::mt19937 rng(1);
        for (char& ch : text) ch = (rng() & 1) != 0 ? 'a' : 'b';
      }
      int start = 0;
      int length = 0;
      const double t0 = CpuSeconds();
      awk.Match(text, start, length);
      const double seconds = CpuSeconds() - t0;
      std::printf("%-20s %10zu %8d %10.4f %10.2f %9.1f %12.1f\n", c.name.c_str(), size, start,
                  seconds, seconds * 1e9 / static_cast<double>(size), PeakKiB() / 1024.0,
                  awk.CurrentProgram().Stats().largestBytes / 1048576.0);
      std::fflush(stdout);
    }
  }
  return 0;
}
