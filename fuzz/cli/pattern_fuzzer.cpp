// sjisgrep's readers of outside text: a pattern typed in UTF-8 (converted to Shift-JIS with
// its offsets) and a file's bytes printed as UTF-8. Neither may crash; every offset must lie in the
// typed text, and every byte must show in the output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "Encoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::size_t> offsets;
  try {
    const std::string sjis = sjisgrep::Utf8ToSjis(input, &offsets);
    if (offsets.size() != sjis.size() + 1) std::abort();
    for (std::size_t offset : offsets) {
      if (offset > input.size()) std::abort();
    }
  } catch (const sjisgrep::PatternEncodingError&) {
  }
  sjisgrep::SjisToUtf8 convert;
  std::string out;
  convert.Append(input.data(), input.data() + input.size(), out);
  // Each input byte yields at least one output byte (itself, part of a character, or U+FFFD)
  // and at most three.
  if (out.size() * 2 < input.size() || out.size() > 3 * input.size()) std::abort();
  return 0;
}
