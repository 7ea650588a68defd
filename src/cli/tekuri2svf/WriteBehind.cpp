// The write-behind output: a helper thread writes each piece while the next is built.
#include "WriteBehind.h"

namespace sorbit::cli {

WriteBehind::WriteBehind(std::unique_ptr<OutputFile>&& file) : helper_([this] { WriteOut(); }) {
  // Taken only once the helper runs; it touches the file only once a piece is given to it.
  file_ = std::move(file);
}

WriteBehind::~WriteBehind() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  helper_.join();
}

void WriteBehind::WriteOut() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [&] { return stop_ || piece_.has_value(); });
    if (stop_) return;
    const std::string_view piece = *piece_;
    lock.unlock();
    std::optional<FileError> error;
    try {
      file_->Write(piece);
    } catch (const FileError& e) {
      error = e;
    }
    lock.lock();
    if (error && !error_) error_ = std::move(error);
    piece_.reset();
    changed_.notify_all();
  }
}

void WriteBehind::Await(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [&] { return !piece_.has_value(); });
  if (error_) throw *error_;
}

void WriteBehind::Write(std::string_view bytes) {
  std::unique_lock lock(mutex_);
  Await(lock);
  piece_ = bytes;
  changed_.notify_all();
}

void WriteBehind::Flush() {
  std::unique_lock lock(mutex_);
  Await(lock);
  lock.unlock();
  file_->Flush();
}

void WriteBehind::Close() {
  Flush();
  file_->Close();
}

}  // namespace sorbit::cli
