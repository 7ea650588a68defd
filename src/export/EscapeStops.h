// Finding the next byte that an escaper must rewrite: the stops of its copy loop.
//
// Escaping copies runs of ordinary bytes and rewrites the few special ones between them; in
// log text the runs are long (a body line holds a quote or an ampersand now and then), so
// looking for the next special byte is most of an escaper's work. The SSE2 loop tests 16
// bytes at a time against the control range and the set's other bytes, several times faster
// than a test of each byte, which only the last few bytes of a text take.
#pragma once

#include <array>
#include <cstddef>

namespace sorbit::exporter {

// Every byte below 0x20, and the bytes of `others` (a slot may repeat another).
struct EscapeStops {
  std::array<char, 5> others;
};

// The first special byte in [begin, end), or end.
const char* FindEscapeStop(const char* begin, const char* end, const EscapeStops& special);

}  // namespace sorbit::exporter
