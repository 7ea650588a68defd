// Finding the messages of SVF text by the reading rules of archive/Archive.h: where each
// starts, where its header lines and its body lie. Used on a mapped SVF file and on the SVF
// record of one tekuri message alike, so that both read by the same code.
#pragma once

#include <cstddef>
#include <string_view>

namespace sorbit::archive {

// Where one message lies in its text, as offsets.
struct MessageBounds {
  std::size_t msg_line = 0;      // the "@@@MSG," line's first byte
  std::size_t msg_line_end = 0;  // its end, before the line end
  std::size_t number_line = 0;
  std::size_t number_line_end = 0;
  std::size_t body = 0;  // the first body line, or where the body would be
};

// The "@@@MSG," line of the first message start whose line begins in [from, limit), where
// `from` is a line start; npos when none does. The lines after `limit` are read as needed.
std::size_t FindMessageStart(std::string_view text, std::size_t from, std::size_t limit);

// The header lines of the message that starts at `msg_line` (a result of FindMessageStart).
// A `msg_line` before the text's end where no message starts any more (the file changed
// under its index) gives bounds inside the text all the same.
MessageBounds ReadMessageBounds(std::string_view text, std::size_t msg_line);

// Whether the two header lines of a message still stand at `msg_line`: a line beginning
// "@@@MSG," and after it one beginning "@@@". What the index found there, unless another
// program changed the file since.
bool HeaderLinesAt(std::string_view text, std::size_t msg_line);

// Where the body of a message ends: at the empty line before the next start, given that
// start's "@@@MSG," line (npos for the end of the text).
std::size_t BodyEnd(std::string_view text, std::size_t next_msg_line);

// A line [begin, end) without its line end: the end of `line_end` less a CR just before an LF.
std::size_t LineEnd(std::string_view text, std::size_t begin);

}  // namespace sorbit::archive
