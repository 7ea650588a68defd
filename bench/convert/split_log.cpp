// Splits a tekuri log into logs of about BYTES each, every cut right after a message's
// terminator line, so that each piece is a log of whole messages:
//   split_log LOG FOLDER BYTES   ->   FOLDER/board-000.log, FOLDER/board-001.log, ...
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>
#include <string_view>

#include "platform/posix/PosixFile.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: split_log LOG FOLDER BYTES\n");
    return 2;
  }
  const std::size_t piece = std::strtoull(argv[3], nullptr, 10);
  if (piece == 0) {
    std::fprintf(stderr, "split_log: BYTES must be a positive number, not %s\n", argv[3]);
    return 1;
  }
  int error = 0;
  const std::optional<std::string> file = sorbit::platform::ReadRegularFile(argv[1], error);
  if (!file) {
    std::fprintf(stderr, "split_log: cannot read %s: %s\n", argv[1], std::strerror(error));
    return 1;
  }
  const std::string& text = *file;
  constexpr std::string_view kTerminator = "\r\n.\r\n";
  std::size_t from = 0;
  for (int n = 0; from < text.size(); ++n) {
    std::size_t to = text.size();
    if (text.size() - from > piece) {
      const std::size_t at = text.find(kTerminator, from + piece);
      if (at != std::string::npos) to = at + kTerminator.size();
    }
    char name[32];
    std::snprintf(name, sizeof name, "/board-%03d.log", n);
    std::ofstream out(std::string(argv[2]) + name, std::ios::binary);
    out.write(text.data() + from, static_cast<std::streamsize>(to - from));
    if (!out) {
      std::fprintf(stderr, "split_log: cannot write %s%s\n", argv[2], name);
      return 1;
    }
    from = to;
  }
  return 0;
}
