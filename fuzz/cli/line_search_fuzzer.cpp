// sjisgrep's block search against its definition, on any pattern and text: the input is a
// pattern, a zero byte, and the text. FindInLines must give the match that searching each
// line in turn with the component's own search gives; a difference aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "AWKStr.h"
#include "LineSearch.h"
#include "PrefixFinder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const char* bytes = reinterpret_cast<const char*>(data);
  const void* zero = std::memchr(bytes, 0, size);
  if (zero == nullptr) return 0;
  const std::string pattern(bytes, static_cast<const char*>(zero));
  if (pattern.size() > 64) return 0;
  // The text in a buffer of its own, so that reads past it are caught.
  const std::size_t textSize = size - pattern.size() - 1;
  std::string text(static_cast<const char*>(zero) + 1, textSize);
  SjisRegExp::TAWKStr matcher;
  matcher.SetLineSeparator(SjisRegExp::mcls_CRLF);
  try {
    matcher.SetRegExp(pattern);
  } catch (const SjisRegExp::ERegExpParser&) {
    return 0;
  }
  const std::string_view unanchored = !pattern.empty() && pattern[0] == '^'
                                          ? std::string_view(pattern).substr(1)
                                          : std::string_view(pattern);
  const sjisgrep::LineSearch search(matcher, sjisgrep::BytePrefix(unanchored));
  const char* begin = text.data();
  const char* end = begin + text.size();
  SjisRegExp::MatchSpan want;
  for (const char* line = begin; line < end;) {
    const void* lf = std::memchr(line, '\n', static_cast<std::size_t>(end - line));
    const char* lineEnd = lf != nullptr ? static_cast<const char*>(lf) : end;
    want = (matcher.*matcher.MatchMethod())(line, lineEnd);
    if (want.start != nullptr) break;
    line = lineEnd + 1;
  }
  const SjisRegExp::MatchSpan got = search.FindInLines(begin, end);
  if (got.start != want.start || got.end != want.end) std::abort();
  return 0;
}
