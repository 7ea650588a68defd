// How one board's threads are laid out on the pages of the site.
//
// Order. A board's threads are ordered by the number of their first message: numbers as
// numbers, ascending; then the threads whose first message has no number (its NO is blank or
// text); equal numbers, and the threads without one, in file order. Within a thread the
// messages are in tree order: a message, then its replies' subtrees in file order.
//
// Thread pages. A board of at most kOneThreadAPageLimit threads has a page for each thread.
// A larger board puts consecutive whole threads on a page: a page takes the next thread while
// it holds fewer than kThreadsAPage threads and the thread fits within kMessagesAPage
// messages on it; a page takes its first thread whatever its size. A page is named after the
// "index" of its first thread's first message: "t123.html".
//
// Index pages. The board's index lists the threads of consecutive thread pages, as many as
// keep it within kIndexMessagesAPage messages (at least one thread page each):
// "index.html", then "index-2.html", "index-3.html", ...
//
// Invariants: every message of the board is in exactly one thread and on exactly one thread
// page (page_of); page_first and index_first ascend and end with the count they index into.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/Archive.h"

namespace sorbit::exporter {

inline constexpr std::uint32_t kOneThreadAPageLimit = 1000;
inline constexpr std::uint32_t kThreadsAPage = 50;
inline constexpr std::uint32_t kMessagesAPage = 500;
inline constexpr std::uint32_t kIndexMessagesAPage = 5000;

struct BoardLayout {
  std::uint32_t board = 0;
  std::vector<std::uint32_t> threads;       // the first message of each thread, in order
  std::vector<std::uint32_t> thread_sizes;  // messages in each thread
  // Thread page k holds threads [page_first[k], page_first[k + 1]).
  std::vector<std::uint32_t> page_first;
  // Index page j lists thread pages [index_first[j], index_first[j + 1]).
  std::vector<std::uint32_t> index_first;

  std::uint32_t PageCount() const { return static_cast<std::uint32_t>(page_first.size() - 1); }
  std::uint32_t IndexPageCount() const {
    return static_cast<std::uint32_t>(index_first.size() - 1);
  }
  std::string PageName(std::uint32_t page) const;
  // The index page that lists thread page `page`.
  std::uint32_t IndexPageOf(std::uint32_t page) const;
};

std::string IndexPageName(std::uint32_t index_page);

// Lays out `board` of the indexed `archive`. `page_of`, sized to the archive's messages,
// receives the thread page of each message of the board (other entries are left alone).
BoardLayout LayOutBoard(const archive::Archive& archive, std::uint32_t board,
                        std::vector<std::uint32_t>& page_of);

// Calls visit(message, depth) for each message of the thread whose first message is `root`,
// in tree order; depth 0 is the first message. Takes time in the thread's size alone.
template <typename Visit>
void WalkThread(const archive::Archive& archive, std::uint32_t root, Visit&& visit) {
  std::uint32_t message = root;
  std::uint32_t depth = 0;
  while (true) {
    visit(message, depth);
    const archive::MessageEntry* entry = &archive.Message(message);
    if (entry->FirstChild() != archive::kNone) {
      message = entry->FirstChild();
      ++depth;
      continue;
    }
    while (message != root && entry->NextSibling() == archive::kNone) {
      message = entry->Parent();
      entry = &archive.Message(message);
      --depth;
    }
    if (message == root) return;
    message = entry->NextSibling();
  }
}

}  // namespace sorbit::exporter
