// The line exports: every message of an indexed archive in file order, as one JSON object a
// line (--jsonl) or as UTF-8 text (--text).
//
// JSON lines. One object a message with exactly the keys "file", "offset", "index", "board",
// "no", "reply", "parent", "date", "time", "handle", "id", "title", "body" and "lossy", in
// that order, read by the archive's rules (archive/Archive.h): strings are UTF-8; "body" is
// the body lines joined by "\n" without a final one; "no" and "reply" are a number (its
// digits without leading zeros) when the field is one, null when it is empty or blank, else
// the field's text; "parent" is the parent's "index" or null; "date" is "1998-12-31" when
// the field is a YY/MM/DD date the calendar has, else the field's text; "file" is the path as
// given (bytes that are not UTF-8 read as U+FFFD) and "offset" the byte offset of the
// message's "@@@MSG" line, or of a tekuri block's first line; "lossy" is true only when some
// byte of the message did not decode and reads as U+FFFD.
//
// Text. Each message is a header line
//     BOARD #NO > #REPLY | DATE TIME | HANDLE <ID> | TITLE
// (NO, REPLY and ID less the blanks around them; " > #REPLY" and " <ID>" only when they are
// not blank), then its body lines, then an empty line; every line ends with LF.
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>

#include "archive/Archive.h"
#include "export/OutputBuffer.h"

namespace sorbit::exporter {

enum class LineFormat { kJson, kText };

// Called now and then with the number of messages written so far.
using MessageProgress = std::function<void(std::uint32_t written)>;

// Writes every message of `archive` (indexed) to `out`; `file` is the path as given. Stops
// early when the output fails (out.error()).
void WriteMessageLines(const archive::Archive& archive, std::string_view file, LineFormat format,
                       OutputBuffer& out, const MessageProgress& progress = {});

}  // namespace sorbit::exporter
