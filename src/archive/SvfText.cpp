// Message starts, header lines and body ends of SVF text.
#include "archive/SvfText.h"

#include <cassert>
#include <cstring>

#include "archive/Fields.h"
#include "archive/LineScan.h"

namespace sorbit::archive {

namespace {

bool StartsWith(std::string_view text, std::size_t at, std::string_view prefix) {
  return text.size() - at >= prefix.size() && text.compare(at, prefix.size(), prefix) == 0;
}

// Whether the line that ends with the LF at text[lf] is empty ("\n" or "\r\n").
bool LineBeforeIsEmpty(std::string_view text, std::size_t lf) {
  if (lf == 0 || text[lf - 1] == '\n') return true;
  return text[lf - 1] == '\r' && (lf == 1 || text[lf - 2] == '\n');
}

// The offset just after the LF that ends the line starting at `begin`; npos when the line has
// no LF.
std::size_t NextLine(std::string_view text, std::size_t begin) {
  const void* lf = std::memchr(text.data() + begin, '\n', text.size() - begin);
  return lf == nullptr ? std::string_view::npos
                       : static_cast<std::size_t>(static_cast<const char*>(lf) - text.data()) + 1;
}

// Whether a line starting at `at` (at 0 or after an LF) starts a message.
bool StartsMessage(std::string_view text, std::size_t at) {
  if (!StartsWith(text, at, kMsgLinePrefix)) return false;
  if (at > 0 && !LineBeforeIsEmpty(text, at - 1)) return false;
  const std::size_t number_line = NextLine(text, at);
  return number_line != std::string_view::npos && StartsWith(text, number_line, kNumberLinePrefix);
}

}  // namespace

std::size_t LineEnd(std::string_view text, std::size_t begin) {
  const std::size_t next = NextLine(text, begin);
  if (next == std::string_view::npos) return text.size();
  const std::size_t lf = next - 1;
  return lf > begin && text[lf - 1] == '\r' ? lf - 1 : lf;
}

std::size_t FindMessageStart(std::string_view text, std::size_t from, std::size_t limit) {
  assert(from == 0 || from >= text.size() || text[from - 1] == '\n');
  if (limit > text.size()) limit = text.size();
  if (from >= limit) return std::string_view::npos;
  if (StartsMessage(text, from)) return from;
  const char* const begin = text.data();
  const char* p = begin + from;
  // A candidate's "@" may stand at limit itself only when it follows an LF before limit.
  const char* const end = begin + (limit < text.size() ? limit + 1 : limit);
  while ((p = FindAtSignAfterLineEnd(p, end)) != end) {
    const auto at = static_cast<std::size_t>(p - begin);
    if (at >= limit) break;
    if (StartsMessage(text, at)) return at;
  }
  return std::string_view::npos;
}

MessageBounds ReadMessageBounds(std::string_view text, std::size_t msg_line) {
  // Each line end is looked for once: the header lines are read for every message indexed.
  auto end_before = [&text](std::size_t begin, std::size_t next) {
    if (next == std::string_view::npos) return text.size();
    const std::size_t lf = next - 1;
    return lf > begin && text[lf - 1] == '\r' ? lf - 1 : lf;
  };
  MessageBounds bounds;
  bounds.msg_line = msg_line;
  bounds.number_line = NextLine(text, msg_line);
  if (bounds.number_line == std::string_view::npos) {
    bounds.msg_line_end = bounds.number_line = bounds.number_line_end = bounds.body = text.size();
    return bounds;
  }
  bounds.msg_line_end = end_before(msg_line, bounds.number_line);
  const std::size_t body = NextLine(text, bounds.number_line);
  bounds.number_line_end = end_before(bounds.number_line, body);
  bounds.body = body == std::string_view::npos ? text.size() : body;
  return bounds;
}

bool HeaderLinesAt(std::string_view text, std::size_t msg_line) {
  if (msg_line >= text.size() || !StartsWith(text, msg_line, kMsgLinePrefix)) return false;
  const std::size_t number_line = NextLine(text, msg_line);
  return number_line != std::string_view::npos && StartsWith(text, number_line, kNumberLinePrefix);
}

std::size_t BodyEnd(std::string_view text, std::size_t next_msg_line) {
  if (next_msg_line == std::string_view::npos || next_msg_line >= text.size()) return text.size();
  if (next_msg_line == 0) return 0;
  // The empty line before the start: "\n" or "\r\n", just before it.
  const std::size_t lf = next_msg_line - 1;
  return lf > 0 && text[lf - 1] == '\r' ? lf - 1 : lf;
}

}  // namespace sorbit::archive
