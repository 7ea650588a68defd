// The index's search for the lines that may begin a message: lines whose first byte is "@".
//
// A message's header lines are the only lines of an SVF file that must begin with "@", and
// body lines rarely do, so looking at every line start that holds "@" finds every message
// start at a cost near that of reading the bytes once: an SSE2 loop compares 16 line ends and
// the 16 bytes after them at a time, about a tenth of the time of looking for each line end in
// turn. "@" after an LF is never a trail byte: an LF is a character of its own.
#pragma once

#include <cstddef>

namespace sorbit::archive {

// The first position p in [begin, end) with *p == '@' and p[-1] == '\n', p > begin; end when
// there is none. The byte before `begin` is not looked at.
const char* FindAtSignAfterLineEnd(const char* begin, const char* end);

}  // namespace sorbit::archive
