// sjisgrep's block search against its definition, on any pattern and text: the input is a
// pattern, a zero byte, and the text. FindLine must find the first line whose text Find
// matches; a difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "LineMatcher.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const void* zero = std::memchr(bytes, 0, size);
  if (zero == nullptr) return 0;
  const std::string pattern(bytes, static_cast<const char*>(zero));
  if (pattern.size() > 64) return 0;
  // The text in a buffer of its own, so that reads past it are caught.
  const std::size_t textSize = size - pattern.size() - 1;
  std::string text(static_cast<const char*>(zero) + 1, textSize);
  std::optional<sjisgrep::LineMatcher> matcher;
  try {
    matcher.emplace(std::vector<sjisgrep::MatchPiece>{{pattern, {}, {}}}, false, false);
  } catch (const SjisRegExp::ERegExpParser&) {
    return 0;
  }
  const char* begin = text.data();
  const char* end = begin + text.size();
  const char* want = nullptr;
  for (const char* line = begin; line < end && want == nullptr;) {
    const void* lf = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
    const char* lineEnd = lf != nullptr ? static_cast<const char*>(lf) : end;
    const char* textEnd = sjisgrep::LineMatcher::TextEnd(line, lineEnd, lf != nullptr);
    if (matcher->Find(line, line, textEnd).start != nullptr) want = line;
    line = lineEnd + 1;
  }
  if (matcher->FindLine(begin, end).start != want) std::abort();
  return 0;
}
