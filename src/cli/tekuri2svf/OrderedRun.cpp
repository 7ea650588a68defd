// The ordered concurrent run: worker threads convert ahead, the calling thread saves in order.
#include "OrderedRun.h"

#include <sys/stat.h>

#include <atomic>
#include <cassert>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "PreparedChunks.h"
#include "ReadAhead.h"
#include "convert/LogReader.h"
#include "convert/Paths.h"

namespace sorbit::cli {

namespace {

constexpr auto kProgressInterval = std::chrono::milliseconds(100);

// What identifies a file's contents for the check at its turn.
struct InputStamp {
  dev_t device;
  ino_t inode;
  off_t size;
  timespec modified;
  timespec changed;

  bool operator==(const InputStamp& o) const {
    return device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
  }
};

// The stamp of a regular file; nothing for anything else or when `path` names nothing.
std::optional<InputStamp> StampOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return InputStamp{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// Thrown through the engine to stop a worker's conversion when the run has ended.
struct Cancelled {};

// One file of the list: what its worker made of it, and how far it is.
struct Slot {
  bool done = false;  // guarded by the run's mutex: the worker has finished with it
  // Set by the worker before `done`, read by the calling thread after it:
  std::optional<InputStamp> stamp;
  std::unique_ptr<LogReader> reader;  // keeps the input open until it is saved
  std::unique_ptr<OutputLines> out;
  // Progress, for the calling thread's display while it waits.
  std::atomic<long long> ordinal{0}, bytes_read{0}, file_size{0};
};

// The host of a worker: records progress and stops the conversion once the run has ended.
// The engine calls nothing else of it while it converts messages.
class WorkerHost final : public ConversionHost {
 public:
  WorkerHost(Slot& slot, const std::atomic<bool>& stop) : slot_(slot), stop_(stop) {}
  MessageAnswer ShowMessage(MessageKind, MessageButtons, std::string_view) override {
    assert(false && "a worker shows no message");
    return MessageAnswer::Ok;
  }
  void ReportError(std::string_view) override { assert(false && "a worker reports nothing"); }
  void ProcessEvents() override {
    if (stop_.load(std::memory_order_relaxed)) throw Cancelled{};
  }
  void ShowProgress() override {}
  void SetProgress(const ProgressInfo& p) override {
    slot_.ordinal.store(p.ordinal, std::memory_order_relaxed);
    slot_.bytes_read.store(p.bytes_read, std::memory_order_relaxed);
    slot_.file_size.store(p.file_size, std::memory_order_relaxed);
  }
  void CloseProgress() override {}
  void PrefixTurnedOn(std::string_view) override {}

 private:
  Slot& slot_;
  const std::atomic<bool>& stop_;
};

class Run {
 public:
  Run(ConversionOptions& options, ConversionHost& host, FileSystem& fs,
      const OrderedRunSettings& settings, const ReplyNumberFinderFactory& new_finder)
      : options_(options),
        host_(host),
        fs_(fs),
        settings_(settings),
        new_finder_(new_finder),
        slots_(options.InputFiles.size()) {
    if (settings.prepare_output)
      chunks_ = std::make_unique<PreparedChunks>(fs.OutputMemoryPreparer());
  }
  Run(const Run&) = delete;
  Run& operator=(const Run&) = delete;
  ~Run() { StopWorkers(); }

  RunOutcome Files() {
    const std::size_t workers = std::min<std::size_t>(settings_.jobs, slots_.size());
    for (std::size_t w = 0; w < workers; ++w) workers_.emplace_back([this] { Work(); });
    const ReplyNumberFinder finder = new_finder_();
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      const std::string& path = options_.InputFiles[i];
      Slot& slot = slots_[i];
      host_.ShowProgress();
      AwaitWorker(i);
      if (!slot.reader || !slot.stamp || StampOf(path) != slot.stamp) {
        // Converted at its turn, exactly as the one-thread run converts it.
        slot.reader.reset();
        slot.out.reset();
        try {
          slot.out = NewOutput();
          slot.reader = OpenLogReader(fs_, path);
          ConvertMessages(*slot.reader, path, options_, host_, finder, *slot.out);
        } catch (const FileError& error) {
          host_.CloseProgress();
          host_.ReportError(ReadErrorText(path, error));
          return RunOutcome::ReadFailed;
        }
      }
      host_.CloseProgress();
      const bool saved = SaveOutput(options_, path, *slot.out, slot.reader->File(), host_, fs_);
      slot.reader.reset();
      slot.out.reset();
      if (!saved) return RunOutcome::SaveFailed;
      {
        const std::lock_guard lock(mutex_);
        next_to_save_ = i + 1;
      }
      changed_.notify_all();
    }
    ShowSummary(options_, host_);
    return RunOutcome::Finished;
  }

 private:
  std::unique_ptr<OutputLines> NewOutput() {
    return chunks_ ? std::make_unique<OutputLines>(*chunks_)
                   : std::make_unique<OutputLines>(fs_.OutputMemoryPreparer());
  }

  // Waits until the worker of file `i` is done, drawing its progress meanwhile.
  void AwaitWorker(std::size_t i) {
    Slot& slot = slots_[i];
    const std::string_view file_name = FileNamePart(options_.InputFiles[i]);
    std::unique_lock lock(mutex_);
    while (!changed_.wait_for(lock, kProgressInterval, [&] { return slot.done; })) {
      const long long ordinal = slot.ordinal.load(std::memory_order_relaxed);
      if (ordinal == 0) continue;
      host_.SetProgress({file_name, ordinal, slot.bytes_read.load(std::memory_order_relaxed),
                         slot.file_size.load(std::memory_order_relaxed)});
    }
  }

  void Work() {
    const ReplyNumberFinder finder = new_finder_();
    for (;;) {
      std::size_t i;
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] {
          return stop_ || next_to_start_ == slots_.size() ||
                 next_to_start_ < next_to_save_ + settings_.jobs;
        });
        if (stop_ || next_to_start_ == slots_.size()) return;
        i = next_to_start_++;
      }
      ConvertAhead(i, finder);
      {
        const std::lock_guard lock(mutex_);
        slots_[i].done = true;
      }
      changed_.notify_all();
    }
  }

  // Converts file `i` ahead of its turn. Whatever goes wrong leaves the slot without a
  // reader, and the file is converted again at its turn, where the one-thread run's report
  // is made.
  void ConvertAhead(std::size_t i, const ReplyNumberFinder& finder) {
    const std::string& path = options_.InputFiles[i];
    Slot& slot = slots_[i];
    slot.stamp = StampOf(path);
    if (!slot.stamp) return;
    try {
      std::unique_ptr<InputFile> input = fs_.OpenInput(path);
      std::unique_ptr<InputBlockSource> blocks;
      if (settings_.read_ahead) {
        blocks =
            std::make_unique<ReadAheadBlocks>(std::move(input), LogReader::kDefaultBufferBytes);
      } else {
        blocks =
            std::make_unique<SequentialBlocks>(std::move(input), LogReader::kDefaultBufferBytes);
      }
      auto reader = std::make_unique<LogReader>(std::move(blocks));
      std::unique_ptr<OutputLines> out = NewOutput();
      WorkerHost host(slot, stop_flag_);
      ConvertMessages(*reader, path, options_, host, finder, *out);
      slot.reader = std::move(reader);
      slot.out = std::move(out);
    } catch (...) {
      // FileError, Cancelled, or anything else: left to the file's turn.
    }
  }

  void StopWorkers() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    stop_flag_.store(true, std::memory_order_relaxed);
    changed_.notify_all();
    for (std::thread& worker : workers_) worker.join();
    workers_.clear();
  }

  ConversionOptions& options_;  // not changed once the files are being converted
  ConversionHost& host_;
  FileSystem& fs_;
  const OrderedRunSettings settings_;
  const ReplyNumberFinderFactory& new_finder_;
  std::vector<Slot> slots_;
  std::unique_ptr<PreparedChunks> chunks_;

  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  std::size_t next_to_start_ = 0;
  std::size_t next_to_save_ = 0;
  bool stop_ = false;
  std::atomic<bool> stop_flag_{false};  // stop_, for the workers' per-message check
  std::vector<std::thread> workers_;    // last: they use everything above
};

}  // namespace

RunOutcome RunInOrder(ConversionOptions& options, ConversionHost& host, FileSystem& fs,
                      const OrderedRunSettings& settings,
                      const ReplyNumberFinderFactory& new_finder) {
  assert(settings.jobs >= 1);
  if (const std::optional<RunOutcome> end = CheckChoices(options, host, fs)) return *end;
  Run run(options, host, fs, settings, new_finder);
  return run.Files();
}

}  // namespace sorbit::cli
