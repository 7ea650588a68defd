// The reply pattern, matched by hand over UTF-8 text.
#include "archive/References.h"

namespace sorbit::archive {

namespace {

bool IsSeparator(char c) { return c == ' ' || c == ':' || c == '>' || c == '[' || c == '#'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::vector<Reference> FindReferences(std::string_view utf8) {
  std::vector<Reference> found;
  std::size_t i = 0;
  while (i + 1 < utf8.size()) {
    if ((utf8[i] != 'R' && utf8[i] != 'r') || (utf8[i + 1] != 'E' && utf8[i + 1] != 'e')) {
      ++i;
      continue;
    }
    // The longest match at i takes every separator, then every digit; a shorter run of
    // separators is followed by a separator, never a digit.
    std::size_t digits = i + 2;
    while (digits < utf8.size() && IsSeparator(utf8[digits])) ++digits;
    std::size_t end = digits;
    while (end < utf8.size() && IsDigit(utf8[end])) ++end;
    if (digits == i + 2 || end == digits) {
      ++i;
      continue;
    }
    found.push_back(Reference{i, end, utf8.substr(digits, end - digits)});
    i = end;
  }
  return found;
}

}  // namespace sorbit::archive
