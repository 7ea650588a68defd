// The rows of the message list: the messages of one board of an archive in the order the list
// shows them, as message numbers of the archive (4 bytes a row, nothing else a row).
//
// Orders:
//   - kThread: thread order, the default: each thread depth first, a message's replies in file
//     order, threads in file order (Archive::NextInThreadOrder). A row's depth in its thread
//     is worked out when the row is drawn (ThreadDepth), so the tree costs nothing a row.
//   - kNumber, kDate, kHandle, kTitle, kId: flat, sorted by that field, ascending or
//     descending; messages whose keys are equal keep file order (reversed when descending).
//     NO sorts by value, a NO that is not a number after every number (one of more than 19
//     digits after every shorter one); dates by their sortable value (malformed ones last);
//     texts by their CP932 bytes.
// A filter keeps the rows whose message is among the search's hits, in the same order.
#pragma once

#include <cstdint>
#include <vector>

#include "archive/Archive.h"

namespace sorbit::reader {

enum class RowOrder : std::uint8_t { kThread, kNumber, kDate, kHandle, kTitle, kId };

// The board's messages in `order`; the archive's index must be complete.
std::vector<std::uint32_t> OrderRows(const archive::Archive& archive, std::uint32_t board,
                                     RowOrder order, bool descending);

// The rows whose message is in `hits` (message numbers, ascending), in the order of `rows`.
// `message_count` is the archive's.
std::vector<std::uint32_t> KeepHits(const std::vector<std::uint32_t>& rows,
                                    const std::vector<std::uint32_t>& hits,
                                    std::uint32_t message_count);

// How many replies deep `message` stands in its thread: 0 for a thread's first message.
std::uint32_t ThreadDepth(const archive::Archive& archive, std::uint32_t message);

}  // namespace sorbit::reader
