// Literal patterns over a log, line by line as sjisgrep searches: FindInLines on the rest
// of the buffer, one call per matching line, beside memmem of the same literal, in MB/s of
// processor time. Usage: sjisregexp_literal_bench FILE [ROUNDS]   (default 3; medians)
//
// memmem counts every place the bytes stand; FindInLines counts lines whose match begins
// a character, so a literal whose first byte can be a trail byte may count fewer.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "../support/Median.h"
#include "SjisRegExp/SjisRegExp.h"
#include "platform/posix/PosixFile.h"

namespace {

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: sjisregexp_literal_bench FILE [ROUNDS]\n");
    return 2;
  }
  int error = 0;
  const std::optional<std::string> file = sorbit::platform::ReadRegularFile(argv[1], error);
  if (!file) {
    std::fprintf(stderr, "sjisregexp_literal_bench: cannot read %s: %s\n", argv[1],
                 std::strerror(error));
    return 2;
  }
  const std::string& text = *file;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const double mb = static_cast<double>(text.size()) / 1e6;
  const struct {
    const char* name;
    const char* bytes;
  } literals[] = {
      {"guest (kana)", "\x83\x51\x83\x58\x83\x67"},                   // ゲスト
      {"name: (kanji)", "\x96\xBC\x91\x4F:"},                         // 名前:
      {"thanks (kana)", "\x82\xA0\x82\xE8\x82\xAA\x82\xC6\x82\xA4"},  // ありがとう
      {"Re: ", "Re: "},
      {"SHOWPC", "SHOWPC"},
  };
  std::printf("file: %.1f MB; %d rounds, medians of processor time\n", mb, rounds);
  std::printf("%-14s %10s %10s %12s %12s %7s\n", "literal", "lines", "memmem", "ours MB/s",
              "memmem MB/s", "ratio");
  for (const auto& [name, literal] : literals) {
    const SjisRegExp::TCompiledRegExp pattern(literal);
    std::vector<double> ours;
    std::vector<double> theirs;
    long lines = 0;
    long hits = 0;
    const std::size_t size = std::strlen(literal);
    for (int r = 0; r < rounds; ++r) {
      double t0 = CpuSeconds();
      lines = 0;
      const char* end = text.data() + text.size();
      for (std::size_t from = 0; from < text.size();) {
        const auto line = pattern.FindLine(std::string_view(text).substr(from));
        if (!line) break;
        ++lines;
        from += line->end + 1;
      }
      ours.push_back(CpuSeconds() - t0);
      t0 = CpuSeconds();
      hits = 0;
      for (const char* p = text.data(); p < end;) {
        const void* hit = memmem(p, static_cast<std::size_t>(end - p), literal, size);
        if (hit == nullptr) break;
        ++hits;
        p = static_cast<const char*>(hit) + size;
      }
      theirs.push_back(CpuSeconds() - t0);
    }
    const double a = sorbit::bench::Median(ours);
    const double b = sorbit::bench::Median(theirs);
    std::printf("%-14s %10ld %10ld %12.0f %12.0f %6.2fx\n", name, lines, hits, mb / a, mb / b,
                b / a);
  }
  std::printf("ratio = memmem time / FindLine time\n");
  return 0;
}
