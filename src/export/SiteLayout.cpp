// Threads in order, cut into pages.
#include "export/SiteLayout.h"

#include <algorithm>
#include <cassert>
#include <map>
#include <optional>

namespace sorbit::exporter {

namespace {

using archive::Archive;
using archive::kNone;

// How threads sort: numbers that fit, then longer numbers (by length, then digits), then the
// rest; file order among equals.
struct ThreadKey {
  std::uint32_t root = 0;
  std::uint8_t kind = 0;  // 0 a number that fits, 1 a longer number, 2 no number
  std::uint64_t value = 0;
};

}  // namespace

std::string BoardLayout::PageName(std::uint32_t page) const {
  return "t" + std::to_string(threads[page_first[page]]) + ".html";
}

std::uint32_t BoardLayout::IndexPageOf(std::uint32_t page) const {
  const auto after = std::upper_bound(index_first.begin(), index_first.end(), page);
  return static_cast<std::uint32_t>(after - index_first.begin()) - 1;
}

std::string IndexPageName(std::uint32_t index_page) {
  return index_page == 0 ? "index.html" : "index-" + std::to_string(index_page + 1) + ".html";
}

BoardLayout LayOutBoard(const Archive& archive, std::uint32_t board,
                        std::vector<std::uint32_t>& page_of) {
  BoardLayout layout;
  layout.board = board;
  std::vector<ThreadKey> keys;
  // The digits of NOs too long for a value, read from the messages (rare).
  std::map<std::uint32_t, std::string> long_digits;
  archive::RawMessage raw;
  for (std::uint32_t root = archive.Boards()[board].first_root; root != kNone;
       root = archive.Message(root).NextSibling()) {
    const archive::MessageEntry& entry = archive.Message(root);
    ThreadKey key{root, 2, 0};
    if (const std::optional<std::uint64_t> value = entry.NoValue()) {
      key.kind = 0;
      key.value = *value;
    } else if (entry.NoKind() == archive::NumberKind::kNumber) {
      archive.ReadRaw(root, raw);
      std::string digits(archive::ReadNumberField(raw.number.no).digits);
      key.kind = 1;
      key.value = digits.size();
      long_digits.emplace(root, std::move(digits));
    }
    keys.push_back(key);
  }
  std::stable_sort(keys.begin(), keys.end(),
                   [&long_digits](const ThreadKey& a, const ThreadKey& b) {
                     if (a.kind != b.kind) return a.kind < b.kind;
                     if (a.value != b.value) return a.value < b.value;
                     if (a.kind == 1) return long_digits.at(a.root) < long_digits.at(b.root);
                     return false;
                   });
  layout.threads.reserve(keys.size());
  layout.thread_sizes.reserve(keys.size());
  for (const ThreadKey& key : keys) {
    std::uint32_t size = 0;
    WalkThread(archive, key.root, [&size](std::uint32_t, std::uint32_t) { ++size; });
    layout.threads.push_back(key.root);
    layout.thread_sizes.push_back(size);
  }

  const auto thread_count = static_cast<std::uint32_t>(layout.threads.size());
  const bool one_a_page = thread_count <= kOneThreadAPageLimit;
  std::uint32_t on_page = 0;
  std::uint32_t messages_on_page = 0;
  for (std::uint32_t t = 0; t < thread_count; ++t) {
    const std::uint32_t size = layout.thread_sizes[t];
    if (on_page == 0 || one_a_page || on_page == kThreadsAPage ||
        messages_on_page + size > kMessagesAPage) {
      layout.page_first.push_back(t);
      on_page = 0;
      messages_on_page = 0;
    }
    ++on_page;
    messages_on_page += size;
  }
  layout.page_first.push_back(thread_count);

  std::uint32_t listed = 0;
  for (std::uint32_t page = 0; page < layout.PageCount(); ++page) {
    std::uint32_t size = 0;
    for (std::uint32_t t = layout.page_first[page]; t < layout.page_first[page + 1]; ++t) {
      size += layout.thread_sizes[t];
      WalkThread(
          archive, layout.threads[t],
          [&page_of, page](std::uint32_t message, std::uint32_t) { page_of[message] = page; });
    }
    if (page == 0 || listed + size > kIndexMessagesAPage) {
      layout.index_first.push_back(page);
      listed = 0;
    }
    listed += size;
  }
  layout.index_first.push_back(layout.PageCount());
  return layout;
}

}  // namespace sorbit::exporter
