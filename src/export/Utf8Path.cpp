#include "export/Utf8Path.h"

#include "text/Cp932.h"

namespace sorbit::exporter {

std::string ValidUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size();) {
    char32_t code_point = 0;
    const std::size_t length = text::ReadUtf8Char(bytes, at, code_point);
    if (length == 0) {
      text += "\xEF\xBF\xBD";
      ++at;
    } else {
      text.append(bytes.substr(at, length));
      at += length;
    }
  }
  return text;
}

}  // namespace sorbit::exporter
