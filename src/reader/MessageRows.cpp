// Row orders of the message list: thread order, the sorted flat orders, the hit filter.
#include "reader/MessageRows.h"

#include <algorithm>
#include <cassert>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>

namespace sorbit::reader {

namespace {

using archive::Archive;
using archive::kNone;

std::vector<std::uint32_t> BoardMessages(const Archive& archive, std::uint32_t board) {
  std::vector<std::uint32_t> rows;
  rows.reserve(archive.Boards()[board].message_count);
  for (std::uint32_t i = 0; i < archive.MessageCount(); ++i) {
    if (archive.Message(i).Board() == board) rows.push_back(i);
  }
  return rows;
}

// Sorts `rows` (in file order) by a text field's CP932 bytes, keeping file order among equals.
// The texts are copied into one block first, so that each comparison reads no message.
void SortByText(const Archive& archive, RowOrder order, std::vector<std::uint32_t>& rows) {
  std::string texts;
  std::vector<std::pair<std::size_t, std::size_t>> spans(rows.size());  // offset, length
  archive::RawMessage raw;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    archive.ReadRaw(rows[r], raw);
    const std::string_view field = order == RowOrder::kHandle  ? raw.msg.handle
                                   : order == RowOrder::kTitle ? raw.number.title
                                                               : raw.msg.id;
    spans[r] = {texts.size(), field.size()};
    texts.append(field);
  }
  std::vector<std::uint32_t> positions(rows.size());
  for (std::uint32_t r = 0; r < positions.size(); ++r) positions[r] = r;
  const std::string_view all = texts;
  std::stable_sort(positions.begin(), positions.end(), [&](std::uint32_t a, std::uint32_t b) {
    return all.substr(spans[a].first, spans[a].second) <
           all.substr(spans[b].first, spans[b].second);
  });
  std::vector<std::uint32_t> sorted(rows.size());
  for (std::size_t r = 0; r < rows.size(); ++r) sorted[r] = rows[positions[r]];
  rows = std::move(sorted);
}

// The board's messages depth first, as Archive::NextInThreadOrder walks them. The replies of
// each message are first gathered into one array, in file order, from one pass over the index
// in file order, and then walked: the index's own links jump across the whole index at every
// step, which on a large board costs a cache miss a message.
std::vector<std::uint32_t> ThreadOrder(const Archive& archive, std::uint32_t board) {
  const std::uint32_t count = archive.MessageCount();
  std::vector<std::uint32_t> roots;
  std::vector<std::pair<std::uint32_t, std::uint32_t>> replies_to;  // (parent, reply)
  for (std::uint32_t i = 0; i < count; ++i) {
    const archive::MessageEntry& e = archive.Message(i);
    if (e.Board() != board) continue;
    if (e.Parent() == kNone) {
      roots.push_back(i);
    } else {
      replies_to.emplace_back(e.Parent(), i);
    }
  }
  // The replies of message m are replies[first_reply[m], first_reply[m + 1]).
  std::vector<std::uint32_t> first_reply(std::size_t{count} + 1, 0);
  for (const auto& [parent, reply] : replies_to) ++first_reply[parent + 1];
  for (std::uint32_t i = 0; i < count; ++i) first_reply[i + 1] += first_reply[i];
  std::vector<std::uint32_t> replies(replies_to.size());
  {
    std::vector<std::uint32_t> filled(first_reply.begin(), first_reply.end() - 1);
    for (const auto& [parent, reply] : replies_to) replies[filled[parent]++] = reply;
  }
  std::vector<std::pair<std::uint32_t, std::uint32_t>>().swap(replies_to);
  std::vector<std::uint32_t> rows;
  rows.reserve(archive.Boards()[board].message_count);
  std::vector<std::uint32_t> stack;
  for (std::uint32_t root : roots) {
    stack.push_back(root);
    while (!stack.empty()) {
      const std::uint32_t m = stack.back();
      stack.pop_back();
      rows.push_back(m);
      for (std::uint32_t r = first_reply[m + 1]; r-- > first_reply[m];) stack.push_back(replies[r]);
    }
  }
  return rows;
}

}  // namespace

std::vector<std::uint32_t> OrderRows(const Archive& archive, std::uint32_t board, RowOrder order,
                                     bool descending) {
  assert(archive.Indexed() && board < archive.Boards().size());
  std::vector<std::uint32_t> rows;
  switch (order) {
    case RowOrder::kThread:
      rows = ThreadOrder(archive, board);
      break;
    case RowOrder::kNumber: {
      rows = BoardMessages(archive, board);
      // Numbers by value; then numbers too long for a value; then the rest.
      auto key = [&archive](std::uint32_t i) {
        const archive::MessageEntry& e = archive.Message(i);
        const std::optional<std::uint64_t> value = e.NoValue();
        const int rank = value ? 0 : e.NoKind() == archive::NumberKind::kNumber ? 1 : 2;
        return std::make_pair(rank, value.value_or(0));
      };
      std::stable_sort(rows.begin(), rows.end(),
                       [&key](std::uint32_t a, std::uint32_t b) { return key(a) < key(b); });
      break;
    }
    case RowOrder::kDate:
      rows = BoardMessages(archive, board);
      std::stable_sort(rows.begin(), rows.end(), [&archive](std::uint32_t a, std::uint32_t b) {
        return archive.Message(a).When() < archive.Message(b).When();
      });
      break;
    case RowOrder::kHandle:
    case RowOrder::kTitle:
    case RowOrder::kId:
      rows = BoardMessages(archive, board);
      SortByText(archive, order, rows);
      break;
  }
  if (descending) std::reverse(rows.begin(), rows.end());
  return rows;
}

std::vector<std::uint32_t> KeepHits(const std::vector<std::uint32_t>& rows,
                                    const std::vector<std::uint32_t>& hits,
                                    std::uint32_t message_count) {
  std::vector<bool> hit(message_count, false);
  for (std::uint32_t i : hits) {
    if (i < message_count) hit[i] = true;
  }
  std::vector<std::uint32_t> kept;
  for (std::uint32_t i : rows) {
    if (hit[i]) kept.push_back(i);
  }
  return kept;
}

std::uint32_t ThreadDepth(const Archive& archive, std::uint32_t message) {
  std::uint32_t depth = 0;
  for (std::uint32_t i = archive.Message(message).Parent(); i != kNone;
       i = archive.Message(i).Parent()) {
    ++depth;
  }
  return depth;
}

}  // namespace sorbit::reader
