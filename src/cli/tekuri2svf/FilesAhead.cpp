// Files converted ahead: worker threads convert, the run takes each file at its turn.
#include "FilesAhead.h"

#include <sys/stat.h>

#include <array>
#include <cassert>
#include <chrono>
#include <system_error>

#include "FileIo.h"
#include "convert/Paths.h"
#include "platform/posix/PosixFile.h"

namespace sorbit::cli {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// What identifies a file's contents for the check at its turn: device, inode, size,
// modification and change times.
using InputStamp = std::array<long long, 7>;

// The stamp of a regular file; nothing for anything else or when `path` names nothing.
std::optional<InputStamp> StampOf(const std::string& path) {
  struct stat st;
  if (platform::RetryOnEintr([&] { return ::stat(path.c_str(), &st); }) != 0 ||
      !S_ISREG(st.st_mode)) {
    return std::nullopt;
  }
  return InputStamp{static_cast<long long>(st.st_dev),
                    static_cast<long long>(st.st_ino),
                    st.st_size,
                    st.st_mtim.tv_sec,
                    st.st_mtim.tv_nsec,
                    st.st_ctim.tv_sec,
                    st.st_ctim.tv_nsec};
}

// Thrown through the engine to stop a worker's conversion when the run has ended.
struct Cancelled {};

enum class SlotState { kWaiting, kOpening, kConverting, kDone, kFailed };

}  // namespace

// One file of the list: what its worker made of it, and how far it is.
struct FilesAhead::Slot {
  SlotState state = SlotState::kWaiting;  // guarded by the mutex
  // Set by the worker before kDone, taken by the run after it:
  std::optional<InputStamp> stamp;
  std::optional<ConvertedFile> file;
  // Progress, for the run's display while it waits.
  std::atomic<long long> ordinal{0}, bytes_read{0}, file_size{0};
};

// The host of a worker: marks the file opened, records progress and stops the conversion
// once the run has ended. ConvertFile calls nothing else of it.
class FilesAhead::WorkerHost final : public ConversionHost {
 public:
  WorkerHost(FilesAhead& ahead, Slot& slot) : ahead_(ahead), slot_(slot) {}
  MessageAnswer ShowMessage(MessageKind, MessageButtons, std::string_view) override {
    assert(false && "a worker shows no message");
    return MessageAnswer::Ok;
  }
  void ReportError(std::string_view) override { assert(false && "nor reports an error"); }
  void ProcessEvents() override {
    if (ahead_.stopping_.load(std::memory_order_relaxed)) throw Cancelled{};
  }
  void ShowProgress() override {
    {
      const std::lock_guard lock(ahead_.mutex_);
      slot_.state = SlotState::kConverting;
    }
    ahead_.changed_.notify_all();
  }
  void SetProgress(const ProgressInfo& p) override {
    slot_.ordinal.store(p.ordinal, std::memory_order_relaxed);
    slot_.bytes_read.store(p.bytes_read, std::memory_order_relaxed);
    slot_.file_size.store(p.file_size, std::memory_order_relaxed);
  }
  void CloseProgress() override {}
  void PrefixTurnedOn(std::string_view) override {}

 private:
  FilesAhead& ahead_;
  Slot& slot_;
};

FilesAhead::FilesAhead(unsigned jobs, std::function<ReplyNumberFinder()> new_finder)
    : jobs_(jobs), new_finder_(std::move(new_finder)) {
  assert(jobs >= 1);
}

FilesAhead::~FilesAhead() { Stop(); }

void FilesAhead::Start(const FileConversion& conversion) {
  conversion_ = conversion;
  const std::size_t files = conversion.options->InputFiles.size();
  slots_.clear();
  for (std::size_t i = 0; i < files; ++i) slots_.push_back(std::make_unique<Slot>());
  if (files < jobs_) {
    // Processors to spare: each file is read ahead and written behind.
    conversion_.streams = [](InputFile& input, std::unique_ptr<OutputFile> output) {
      return StartFileIo(input, std::move(output), LogReader::kDefaultBufferBytes);
    };
  }
  const std::size_t workers = std::min<std::size_t>(jobs_, files);
  for (std::size_t w = 0; w < workers; ++w) {
    try {
      // The finder is made here, so that a failure to make one ends the run, not a thread.
      workers_.emplace_back([this, finder = new_finder_()] { Work(finder); });
    } catch (const std::system_error&) {
      break;  // the files the workers cannot take are converted at their turn
    }
  }
}

bool FilesAhead::Opened(std::size_t index) {
  std::unique_lock lock(mutex_);
  turn_ = index;
  changed_.notify_all();
  Slot& slot = *slots_[index];
  if (workers_.empty()) return false;
  changed_.wait(
      lock, [&] { return slot.state != SlotState::kWaiting && slot.state != SlotState::kOpening; });
  return slot.state != SlotState::kFailed;
}

std::optional<ConvertedFile> FilesAhead::Take(std::size_t index, ConversionHost& host) {
  Slot& slot = *slots_[index];
  const std::string& path = conversion_.options->InputFiles[index];
  const std::string_view file_name = FileNamePart(path);
  {
    std::unique_lock lock(mutex_);
    while (!changed_.wait_for(lock, kProgressInterval, [&] {
      return slot.state == SlotState::kDone || slot.state == SlotState::kFailed;
    })) {
      const long long ordinal = slot.ordinal.load(std::memory_order_relaxed);
      if (ordinal == 0) continue;
      host.SetProgress({file_name, ordinal, slot.bytes_read.load(std::memory_order_relaxed),
                        slot.file_size.load(std::memory_order_relaxed)});
    }
  }
  std::optional<ConvertedFile> file = std::move(slot.file);
  slot.file.reset();
  if (!file || StampOf(path) != slot.stamp) return std::nullopt;
  return file;
}

void FilesAhead::Stop() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  stopping_.store(true, std::memory_order_relaxed);
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
  workers_.clear();
  slots_.clear();  // what was converted and not taken goes, with its temporary file
}

void FilesAhead::Work(const ReplyNumberFinder& finder) {
  FileConversion conversion = conversion_;
  conversion.reply_numbers = finder;
  for (;;) {
    std::size_t i;
    {
      std::unique_lock lock(mutex_);
      changed_.wait(lock, [this] {
        return stop_ || next_to_start_ == slots_.size() || next_to_start_ <= turn_ + jobs_;
      });
      if (stop_ || next_to_start_ == slots_.size()) return;
      i = next_to_start_++;
      slots_[i]->state = SlotState::kOpening;
    }
    ConvertAhead(i, conversion);
    changed_.notify_all();
  }
}

void FilesAhead::ConvertAhead(std::size_t index, const FileConversion& conversion) {
  Slot& slot = *slots_[index];
  std::optional<ConvertedFile> file;
  slot.stamp = StampOf(conversion.options->InputFiles[index]);
  if (slot.stamp) {
    try {
      WorkerHost host(*this, slot);
      file.emplace(ConvertFile(conversion, conversion.options->InputFiles[index], host, true));
    } catch (...) {
      // FileError, Cancelled, std::bad_alloc or anything else: left to the file's turn,
      // where the one-thread run's report is made.
    }
  }
  const std::lock_guard lock(mutex_);
  if (file) slot.file.emplace(std::move(*file));
  slot.state = slot.file ? SlotState::kDone : SlotState::kFailed;
}

}  // namespace sorbit::cli
