// The one line splitter of the platform layer, for the text files it reads (profile files,
// Wine's user.reg).
//
// A line ends at CR LF, at LF, or at a CR that no LF follows, whatever the file mixes: files
// written on Windows, on Unix and on the old Macintosh all split as their authors saw them.
// Every byte of the text belongs to exactly one line: [begin, end) of consecutive lines
// touch, the first begins at 0 and the last ends at the text's size. A text without bytes
// has no lines; a last line without a line end is still a line.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace sorbit::platform {

struct TextLine {
  std::size_t begin = 0;      // offset of the line's first byte
  std::string_view text;      // the line without its line end
  std::string_view line_end;  // "\r\n", "\n", "\r", or empty for a last line without one
  std::size_t end = 0;        // offset just past the line end
};

std::vector<TextLine> SplitLines(std::string_view content);

// The line end of the text's first line that has one; `fallback` when none has.
std::string_view FirstLineEnd(std::string_view content, std::string_view fallback);

}  // namespace sorbit::platform
