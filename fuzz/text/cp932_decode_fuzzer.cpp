// Decodes arbitrary bytes as CP932: the result must be valid UTF-8, lossy exactly when it holds
// a U+FFFD that no input character stands for, and the buffer form must give the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "text/Cp932.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string utf8;
  const bool whole = sorbit::text::AppendCp932AsUtf8(input, utf8);
  std::vector<char> buffer(sorbit::text::Cp932DecodeRoom(size));
  bool lossy = false;
  const char* end = sorbit::text::DecodeCp932Into(input.data(), size, buffer.data(), lossy);
  if (std::string_view(buffer.data(), static_cast<std::size_t>(end - buffer.data())) != utf8 ||
      lossy == whole) {
    std::abort();
  }
  // No CP932 code decodes to U+FFFD, so the text holds one exactly when it is lossy.
  bool replacement = false;
  for (std::size_t k = 0; k < utf8.size();) {
    char32_t code_point = 0;
    const std::size_t length = sorbit::text::ReadUtf8Char(utf8, k, code_point);
    if (length == 0) std::abort();
    replacement |= code_point == 0xFFFD;
    k += length;
  }
  if (replacement != lossy) std::abort();
  return 0;
}
