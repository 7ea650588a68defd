// The output chunk source whose helper thread prepares chunks ahead of the builder.
#include "PreparedChunks.h"

namespace sorbit::cli {

PreparedChunks::PreparedChunks(MemoryPreparer prepare)
    : prepare_(prepare), helper_([this] { PrepareAhead(); }) {}

PreparedChunks::~PreparedChunks() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  helper_.join();
}

std::unique_ptr<char[]> PreparedChunks::NewChunk() const {
  auto chunk = std::make_unique_for_overwrite<char[]>(OutputLines::kChunkBytes);
  if (prepare_ != nullptr) prepare_(chunk.get(), OutputLines::kChunkBytes);
  return chunk;
}

void PreparedChunks::PrepareAhead() {
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] { return stop_ || ready_.size() < kAhead; });
      if (stop_) return;
    }
    std::unique_ptr<char[]> chunk = NewChunk();
    const std::lock_guard lock(mutex_);
    ready_.push_back(std::move(chunk));
  }
}

std::unique_ptr<char[]> PreparedChunks::TakeChunk() {
  {
    const std::lock_guard lock(mutex_);
    if (!ready_.empty()) {
      std::unique_ptr<char[]> chunk = std::move(ready_.front());
      ready_.pop_front();
      changed_.notify_all();
      return chunk;
    }
  }
  changed_.notify_all();
  return NewChunk();
}

}  // namespace sorbit::cli
