// Opens an archive, builds its index and searches every field of every board for a pattern,
// as the reader's search bar does:
//   archive_search FILE PATTERN      (PATTERN in UTF-8)
// Prints the number of messages with a match and the search's own time.
#include <chrono>
#include <cstdio>

#include "archive/Archive.h"
#include "archive/Search.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: archive_search FILE PATTERN\n");
    return 2;
  }
  try {
    auto archive = sorbit::archive::Archive::Open(argv[1]);
    archive->BuildIndex();
    const SjisRegExp::TCompiledRegExp pattern =
        sorbit::archive::CompileSearchPattern(argv[2], false);
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::uint32_t> hits = sorbit::archive::SearchArchive(*archive, pattern);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    std::printf("%zu messages of %u, search %.4f s\n", hits.size(), archive->MessageCount(),
                took.count());
  } catch (const sorbit::archive::ArchiveError& error) {
    std::fprintf(stderr, "archive_search: %s\n", error.reason.c_str());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "archive_search: %s\n", error.what());
    return 2;
  }
  return 0;
}
