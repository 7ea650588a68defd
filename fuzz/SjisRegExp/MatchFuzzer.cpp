// Random pattern and text (the first byte says where the pattern ends): compiling
// and matching never crash or hang, and a match lies inside the text, starts on a
// character boundary and covers whole characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "AWKStr.h"

namespace {

// Whether the 0-based offset starts a character when reading from the front.
bool OnBoundary(std::string_view text, std::size_t offset) {
  std::size_t p = 0;
  while (p < offset) {
    const bool lead = SjisRegExp::IsLeadByte(static_cast<unsigned char>(text[p]));
    p += (lead && p + 1 < text.size() && text[p + 1] != 0) ? 2 : 1;
  }
  return p == offset;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t split = std::min<std::size_t>(data[0], size - 1);
  const std::string_view pattern(reinterpret_cast<const char*>(data + 1), split);
  const std::string_view text(reinterpret_cast<const char*>(data + 1 + split), size - 1 - split);
  SjisRegExp::TAWKStr awk;
  try {
    awk.SetRegExp(pattern);
  } catch (const SjisRegExp::ERegExpParser&) {
    return 0;
  }
  std::size_t visible = 0;  // the text ends at its first zero byte
  while (visible < text.size() && text[visible] != 0) ++visible;
  for (auto separator : {SjisRegExp::mcls_CRLF, SjisRegExp::mcls_LF}) {
    awk.SetLineSeparator(separator);
    int start = -1;
    int length = -1;
    const int result = awk.Match(text, start, length);
    if (result == 0) {
      if (start != 0 || length != 0) std::abort();
      continue;
    }
    if (result != start || start < 1 || length < 0) std::abort();
    const auto from = static_cast<std::size_t>(start - 1);
    const auto to = from + static_cast<std::size_t>(length);
    if (to > visible) std::abort();
    if (!OnBoundary(text, from) || !OnBoundary(text, to)) std::abort();
  }
  return 0;
}
