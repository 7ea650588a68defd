// Decodes a CP932 file to UTF-8 on standard output with the text library, as
// `iconv -f CP932 -t UTF-8 FILE` does, so that the two can be timed against each other:
//   cp932_decode FILE
// The file is read in blocks and decoded up to the last line end of each, the way a
// consumer decodes text a message or a line at a time.
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/posix/PosixFile.h"
#include "text/Cp932.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: cp932_decode FILE\n");
    return 2;
  }
  int error = 0;
  auto file = sorbit::platform::OpenRegularFile(argv[1], error);
  if (!file) {
    std::fprintf(stderr, "cp932_decode: %s: %s\n", argv[1], std::strerror(error));
    return 1;
  }
  constexpr std::size_t kBlock = 1 << 20;
  std::vector<char> in(2 * kBlock);
  std::vector<char> out(sorbit::text::Cp932DecodeRoom(in.size()));
  std::size_t kept = 0;  // bytes after the last line end of the previous block
  bool lossy = false;
  while (true) {
    std::size_t got = 0;
    if (sorbit::platform::ReadFull(file->fd.get(), in.data() + kept, kBlock, got) != 0) return 1;
    const std::size_t size = kept + got;
    std::size_t cut = size;
    if (got != 0) {
      while (cut > 0 && in[cut - 1] != '\n') --cut;
      if (cut == 0) cut = size;
    }
    const char* end = sorbit::text::DecodeCp932Into(in.data(), cut, out.data(), lossy);
    if (sorbit::platform::WriteAll(1, {out.data(), static_cast<std::size_t>(end - out.data())}) !=
        0) {
      return 1;
    }
    kept = size - cut;
    std::memmove(in.data(), in.data() + cut, kept);
    if (got == 0) break;
  }
  return lossy ? 3 : 0;
}
