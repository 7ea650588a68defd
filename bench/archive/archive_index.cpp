// Opens an archive and builds its index, as the reader does before it shows the list:
//   archive_index FILE
// Prints the message and board counts, the index's bytes a message and the process's
// anonymous memory (RssAnon) at the end, which the mapping of the file does not count in.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>

#include "archive/Archive.h"

namespace {

long RssAnonKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0) return std::stol(line.substr(8));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: archive_index FILE\n");
    return 2;
  }
  try {
    const auto start = std::chrono::steady_clock::now();
    auto archive = sorbit::archive::Archive::Open(argv[1]);
    archive->BuildIndex();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    const std::uint32_t messages = archive->MessageCount();
    std::printf("%u messages %zu boards %.4f s index %.1f bytes/message RssAnon %ld KiB\n",
                messages, archive->Boards().size(), took.count(),
                messages ? static_cast<double>(archive->IndexBytes()) / messages : 0.0,
                RssAnonKib());
  } catch (const sorbit::archive::ArchiveError& error) {
    std::fprintf(stderr, "archive_index: %s\n", error.reason.c_str());
    return 1;
  }
  return 0;
}
