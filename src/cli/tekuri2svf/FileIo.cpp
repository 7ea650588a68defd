// The helper that reads a file's input ahead and writes its output behind.
#include "FileIo.h"

#include <array>
#include <cassert>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

namespace sorbit::cli {

namespace {

// What the two ends share with the helper thread, which it runs until both ends are gone.
class Helper {
 public:
  static constexpr int kBlocks = 3;
  static constexpr int kPieces = OutputFile::kPiecesInFlight;

  Helper(InputFile& input, std::size_t block_bytes) : input_(input) {
    for (int i = 0; i < kBlocks; ++i) blocks_.emplace_back(block_bytes);
    thread_ = std::thread([this] { Run(); });  // last: everything above is set up
  }
  ~Helper() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

  // Given once the helper runs, before any piece: the helper touches it only for a piece.
  void SetOutput(std::unique_ptr<OutputFile> output) { output_ = std::move(output); }

  const InputBlock& Next() {
    std::unique_lock lock(mutex_);
    held_ = false;  // the block handed out before is given back
    changed_.notify_all();
    changed_.wait(lock, [&] { return loaded_ != 0 || read_error_.has_value(); });
    if (loaded_ == 0) throw *read_error_;
    const int taken = take_;
    take_ = (take_ + 1) % kBlocks;
    --loaded_;
    held_ = true;
    lock.unlock();
    ListInputBlock(blocks_[taken]);
    return blocks_[taken];
  }

  void EndInput() { End(input_gone_, reading_); }

  void Write(std::string_view piece) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return pieces_ + (writing_ ? 1 : 0) < kPieces || write_error_; });
    if (write_error_) throw *write_error_;
    queue_[(first_piece_ + pieces_++) % kPieces] = piece;
    changed_.notify_all();
  }

  void Flush() {
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [&] { return (pieces_ == 0 && !writing_) || write_error_; });
      if (write_error_) throw *write_error_;
    }
    output_->Flush();
  }

  void Close() {
    Flush();
    output_->Close();
  }

  void EndOutput() {
    End(output_gone_, writing_);
    output_.reset();  // the helper no longer looks at it
  }

 private:
  // An end goes: marked `gone`, once the helper's call on its file (`busy`) is over.
  void End(bool& gone, const bool& busy) {
    std::unique_lock lock(mutex_);
    gone = true;
    changed_.wait(lock, [&] { return !busy; });
  }

  // Makes `call` with `busy` set and the lock released; gives its FileError, if any.
  template <class Call>
  static std::optional<FileError> Unlocked(std::unique_lock<std::mutex>& lock, bool& busy,
                                           Call call) {
    busy = true;
    lock.unlock();
    std::optional<FileError> error;
    try {
      call();
    } catch (const FileError& e) {
      error = e;
    }
    lock.lock();
    busy = false;
    return error;
  }

  void Run() {
    std::unique_lock lock(mutex_);
    while (!stop_) {
      assert(loaded_ + (held_ ? 1 : 0) <= kBlocks && pieces_ + (writing_ ? 1 : 0) <= kPieces);
      const bool can_read = !input_gone_ && !input_ended_ && loaded_ + (held_ ? 1 : 0) < kBlocks;
      if (pieces_ != 0 && !output_gone_ && !(can_read && loaded_ == 0)) {
        const std::string_view piece = queue_[first_piece_];
        first_piece_ = (first_piece_ + 1) % kPieces;
        --pieces_;
        write_error_ = Unlocked(lock, writing_, [&] { output_->Write(piece); });
        if (write_error_) pieces_ = 0;
      } else if (can_read) {
        InputBlock& block = blocks_[(take_ + loaded_) % kBlocks];  // the one after those loaded
        read_error_ = Unlocked(lock, reading_, [&] { ReadInputBlock(input_, block); });
        input_ended_ = read_error_ || block.text_ended;
        if (!read_error_) ++loaded_;
      } else {
        changed_.wait(lock);
        continue;
      }
      changed_.notify_all();
    }
  }

  InputFile& input_;
  std::vector<InputBlock> blocks_;
  std::unique_ptr<OutputFile> output_;
  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  int loaded_ = 0;     // blocks read and not yet handed out
  int take_ = 0;       // the block handed out next
  bool held_ = false;  // the reader holds the block before take_
  bool reading_ = false;
  bool input_ended_ = false;  // the text ended or a read failed: nothing more is read
  bool input_gone_ = false;
  std::optional<FileError> read_error_;
  std::array<std::string_view, kPieces> queue_;  // pieces_ from first_piece_ on, circularly
  int first_piece_ = 0;
  int pieces_ = 0;
  bool writing_ = false;
  bool output_gone_ = false;
  std::optional<FileError> write_error_;
  bool stop_ = false;
  std::thread thread_;  // last: started once everything above is set up
};

class Blocks final : public InputBlockSource {
 public:
  explicit Blocks(std::shared_ptr<Helper> helper) : helper_(std::move(helper)) {}
  ~Blocks() override { helper_->EndInput(); }
  const InputBlock& Next() override { return helper_->Next(); }

 private:
  std::shared_ptr<Helper> helper_;
};

class Output final : public OutputFile {
 public:
  explicit Output(std::shared_ptr<Helper> helper) : helper_(std::move(helper)) {}
  ~Output() override { helper_->EndOutput(); }
  void Write(std::string_view bytes) override { helper_->Write(bytes); }
  void Flush() override { helper_->Flush(); }
  void Close() override { helper_->Close(); }

 private:
  std::shared_ptr<Helper> helper_;
};

}  // namespace

FileStreams StartFileIo(InputFile& input, std::unique_ptr<OutputFile> output,
                        std::size_t block_bytes) {
  std::shared_ptr<Helper> helper;
  try {
    helper = std::make_shared<Helper>(input, block_bytes);
  } catch (const std::system_error&) {  // no thread: the input is read and the output written
    return {std::make_unique<SequentialBlocks>(input, block_bytes), std::move(output)};
  }
  FileStreams streams{std::make_unique<Blocks>(helper), nullptr};
  if (output) {
    helper->SetOutput(std::move(output));
    streams.output = std::make_unique<Output>(helper);
  }
  return streams;
}

}  // namespace sorbit::cli
