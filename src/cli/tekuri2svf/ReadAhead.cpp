// The read-ahead block source: a helper thread loads the block after the reader's.
#include "ReadAhead.h"

#include <cassert>

namespace sorbit::cli {

ReadAheadBlocks::ReadAheadBlocks(InputFile& file, std::size_t buffer_bytes)
    : file_(file), blocks_{InputBlock(buffer_bytes), InputBlock(buffer_bytes)}, helper_([this] {
        LoadAhead();
      }) {}

ReadAheadBlocks::~ReadAheadBlocks() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  helper_.join();
}

void ReadAheadBlocks::LoadAhead() {
  for (int next = 0;; next ^= 1) {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return stop_ || (loaded_ == kNone && held_ != next); });
      if (stop_) return;
      assert(next != held_ && next != loaded_);
    }
    // The block is neither waiting nor held: the reader cannot look at it until it is loaded.
    std::optional<FileError> error;
    bool last = true;
    try {
      LoadInputBlock(file_, blocks_[next]);
      last = blocks_[next].text_ended;
    } catch (const FileError& e) {
      error = e;
    }
    {
      const std::lock_guard lock(mutex_);
      if (error) {
        error_ = std::move(error);
      } else {
        loaded_ = next;
      }
    }
    changed_.notify_all();
    if (last) return;
  }
}

const InputBlock& ReadAheadBlocks::Next() {
  std::unique_lock lock(mutex_);
  held_ = kNone;  // the block handed out before is given back
  changed_.notify_all();
  changed_.wait(lock, [&] { return loaded_ != kNone || error_.has_value(); });
  if (loaded_ == kNone) throw *error_;
  const int taken = loaded_;
  held_ = taken;
  loaded_ = kNone;
  lock.unlock();
  changed_.notify_all();
  return blocks_[taken];
}

}  // namespace sorbit::cli
