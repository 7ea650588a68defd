// Files converted ahead of their turn: tekuri2svf's part in a run with several jobs
// (ConversionAhead, convert/ConversionRun.h).
//
// Worker threads take the files in list order and convert each with the engine's ConvertFile
// into the hidden temporary file of its output, each worker with a host of its own (which
// only keeps the progress) and a reply-number finder of its own. The run makes every host
// call and every save itself, at each file's turn, so outputs, backups, messages and outcome
// are those of the one-thread run:
//
// - A worker starts a file only while it is at most `jobs` files ahead of the file at its
//   turn, so that at most `jobs` files are open beyond the one being saved.
// - At its turn, a converted file is given to the run only if its path still names the same
//   unchanged file (device, inode, size, modification and change times) as when its worker
//   opened it: an earlier save may have moved it aside or written it (general.log then
//   general.txt; an input that is an earlier output). Otherwise, and when its worker could
//   not open or read it, the run converts it at its turn and reports what goes wrong there.
// - When the run ends, the workers stop at their next message and what they converted goes.
// - With fewer files than jobs, a helper thread reads each input ahead and writes each output
//   behind (StartFileIo).
// - A thread that cannot be started is done without: with no worker, the run converts every
//   file at its turn; without a helper, a worker reads or writes directly.
//
// The file system must allow OpenInput and CreateOutput from several threads at once.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "convert/ConversionRun.h"

namespace sorbit::cli {

class FilesAhead final : public ConversionAhead {
 public:
  // `new_finder` makes the reply-number finder of one worker.
  FilesAhead(unsigned jobs, std::function<ReplyNumberFinder()> new_finder);
  FilesAhead(const FilesAhead&) = delete;
  FilesAhead& operator=(const FilesAhead&) = delete;
  ~FilesAhead() override;

  void Start(const FileConversion& conversion) override;
  bool Opened(std::size_t index) override;
  std::optional<ConvertedFile> Take(std::size_t index, ConversionHost& host) override;
  void Stop() override;

 private:
  struct Slot;
  class WorkerHost;

  void Work(const ReplyNumberFinder& finder);
  void ConvertAhead(std::size_t index, const FileConversion& conversion);

  const unsigned jobs_;
  const std::function<ReplyNumberFinder()> new_finder_;
  FileConversion conversion_;
  std::vector<std::unique_ptr<Slot>> slots_;

  std::mutex mutex_;
  std::condition_variable changed_;
  // Guarded by mutex_:
  std::size_t next_to_start_ = 0;
  std::size_t turn_ = 0;
  bool stop_ = false;
  std::atomic<bool> stopping_{false};  // stop_, for the workers' per-message check
  std::vector<std::thread> workers_;   // last: they use everything above
};

}  // namespace sorbit::cli
