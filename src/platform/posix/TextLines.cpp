// Splitting a text file's bytes into lines at CR LF, LF and CR.
#include "platform/posix/TextLines.h"

#include <cassert>

namespace sorbit::platform {

std::vector<TextLine> SplitLines(std::string_view content) {
  std::vector<TextLine> lines;
  std::size_t pos = 0;
  while (pos < content.size()) {
    const std::size_t stop = content.find_first_of("\r\n", pos);
    TextLine line;
    line.begin = pos;
    if (stop == std::string_view::npos) {
      line.text = content.substr(pos);
      line.end = content.size();
    } else {
      const std::size_t end_length =
          content[stop] == '\r' && stop + 1 < content.size() && content[stop + 1] == '\n' ? 2 : 1;
      line.text = content.substr(pos, stop - pos);
      line.line_end = content.substr(stop, end_length);
      line.end = stop + end_length;
    }
    assert(line.end > pos && line.end <= content.size());
    assert(line.begin + line.text.size() + line.line_end.size() == line.end);
    lines.push_back(line);
    pos = line.end;
  }
  return lines;
}

std::string_view FirstLineEnd(std::string_view content, std::string_view fallback) {
  const std::size_t stop = content.find_first_of("\r\n");
  if (stop == std::string_view::npos) return fallback;
  if (content[stop] == '\r' && stop + 1 < content.size() && content[stop + 1] == '\n') {
    return content.substr(stop, 2);
  }
  return content.substr(stop, 1);
}

}  // namespace sorbit::platform
