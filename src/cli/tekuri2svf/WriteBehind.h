// Output written behind: an OutputFile that hands each piece to a helper thread, which writes
// it to the file underneath while the builder fills its other buffer.
//
// The builder keeps the bytes of a Write unchanged until its next call (the OutputFile
// contract), so the helper writes them where they lie: at most one piece is in flight, and
// each call first waits for it. A write error of the helper is thrown by the next call, so
// the builder meets it as it would have met it writing directly.
//
// Why: writing the output is about a third of a conversion, nearly all of it in the kernel;
// on a second processor it costs the builder nothing.
//
// Starting the helper may fail (no thread can be made): the constructor then throws
// std::system_error, leaving `file` with the caller, who writes directly.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>

#include "convert/FileSystem.h"

namespace sorbit::cli {

class WriteBehind final : public OutputFile {
 public:
  explicit WriteBehind(std::unique_ptr<OutputFile>&& file);
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;
  // Stops the helper after the write it may be in; the file underneath goes with what it
  // holds.
  ~WriteBehind() override;

  void Write(std::string_view bytes) override;
  void Flush() override;
  void Close() override;

 private:
  void WriteOut();
  // Waits until no piece is in flight; throws the helper's error, if any.
  void Await(std::unique_lock<std::mutex>& lock);

  std::unique_ptr<OutputFile> file_;  // written by the helper only while a piece is in flight
  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  std::optional<std::string_view> piece_;  // the piece in flight
  std::optional<FileError> error_;
  bool stop_ = false;
  std::thread helper_;  // last: started once everything above is set up
};

}  // namespace sorbit::cli
