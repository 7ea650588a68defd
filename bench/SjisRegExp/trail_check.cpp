// Reads "NUMBER:LINE" records (grep -n output) and checks, for each line, that every place at
// which the ECMAScript pattern PATTERN matches starts at the trail byte of a two-byte
// Shift-JIS character. Prints the number of lines checked and of those that fail the test.
// The pattern is plain ASCII with the same meaning in grep -E and ECMAScript syntax.
//
// Usage: trail_check PATTERN < records
#include <cstdio>
#include <iostream>
#include <regex>
#include <string>

namespace {

bool IsLeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: trail_check PATTERN\n");
    return 2;
  }
  const std::regex pattern(argv[1], std::regex::ECMAScript);
  std::string record;
  unsigned long checked = 0;
  unsigned long failed = 0;
  while (std::getline(std::cin, record)) {
    std::string line = record.substr(record.find(':') + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    ++checked;
    // Mark the trail bytes by walking whole characters from the start of the line.
    std::string isTrail(line.size(), 0);
    for (std::size_t i = 0; i < line.size(); ++i) {
      if (IsLeadByte(static_cast<unsigned char>(line[i])) && i + 1 < line.size()) isTrail[++i] = 1;
    }
    bool onlyInside = true;
    bool any = false;
    for (std::size_t start = 0; start < line.size(); ++start) {
      if (std::regex_search(line.cbegin() + static_cast<std::ptrdiff_t>(start), line.cend(),
                            pattern, std::regex_constants::match_continuous)) {
        any = true;
        if (!isTrail[start]) onlyInside = false;
      }
    }
    if (!any || !onlyInside) ++failed;
  }
  std::printf("%lu %lu\n", checked, failed);
  return 0;
}
