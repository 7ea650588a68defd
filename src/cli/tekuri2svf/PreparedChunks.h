// Output memory prepared ahead: an OutputChunkSource whose helper thread keeps a few fresh
// chunks allocated and their pages mapped (the file system's MemoryPreparer) before the
// builder asks for them.
//
// A chunk is handed out once and never touched by the helper again. When none is ready the
// builder allocates and prepares one itself rather than wait, so the helper can only save
// time, never add any. At most kAhead chunks wait at a time.
//
// Why: mapping the pages of fresh output memory is about a fifth of a conversion in the
// kernel; on a second processor it runs beside the building.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "convert/SvfRecord.h"

namespace sorbit::cli {

class PreparedChunks final : public OutputChunkSource {
 public:
  static constexpr std::size_t kAhead = 6;

  // `prepare` may be null: chunks are then only allocated ahead.
  explicit PreparedChunks(MemoryPreparer prepare);
  PreparedChunks(const PreparedChunks&) = delete;
  PreparedChunks& operator=(const PreparedChunks&) = delete;
  ~PreparedChunks() override;

  // May be called from any thread.
  std::unique_ptr<char[]> TakeChunk() override;

 private:
  std::unique_ptr<char[]> NewChunk() const;
  void PrepareAhead();

  const MemoryPreparer prepare_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::unique_ptr<char[]>> ready_;  // guarded by mutex_
  bool stop_ = false;                          // guarded by mutex_
  std::thread helper_;
};

}  // namespace sorbit::cli
