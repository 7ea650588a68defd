// Input read ahead: an InputBlockSource that loads and marks the next block of the input on a
// helper thread while the reader cuts the current one into lines.
//
// Two blocks take turns. The helper loads a block only while no loaded block is waiting and
// the reader does not hold it, so it is at most one block ahead and never writes into the
// block the reader is cutting. A read error is kept and thrown by the Next call that would
// have read that block, after every block before it was handed out, as the reader reading
// directly would have met it. Loading and marking are the engine's own (LoadInputBlock), so
// the blocks are those SequentialBlocks gives.
//
// Why: reading and marking a block is about a sixth of a conversion; on a second processor
// it costs the reader nothing.
//
// Starting the helper may fail (no thread can be made): the constructor then throws
// std::system_error and the caller reads the file directly.
#pragma once

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "convert/InputBlocks.h"

namespace sorbit::cli {

class ReadAheadBlocks final : public InputBlockSource {
 public:
  // Reads `file`, which must outlive the source.
  ReadAheadBlocks(InputFile& file, std::size_t buffer_bytes);
  ReadAheadBlocks(const ReadAheadBlocks&) = delete;
  ReadAheadBlocks& operator=(const ReadAheadBlocks&) = delete;
  // Stops the helper after the read it may be in.
  ~ReadAheadBlocks() override;

  const InputBlock& Next() override;

 private:
  void LoadAhead();

  static constexpr int kNone = -1;

  InputFile& file_;  // read by the helper only, once started
  InputBlock blocks_[2];
  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  int loaded_ = kNone;  // the block loaded and not yet handed out
  int held_ = kNone;    // the block the reader holds
  std::optional<FileError> error_;
  bool stop_ = false;
  std::thread helper_;  // last: started once everything above is set up
};

}  // namespace sorbit::cli
