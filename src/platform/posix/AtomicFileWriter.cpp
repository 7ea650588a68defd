// The atomic file writer, its registry of temporary files and the signal handler that empties
// the registry.
#include "platform/posix/AtomicFileWriter.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/random.h>
#include <unistd.h>

#include <atomic>
#include <cassert>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/posix/PosixFile.h"

namespace sorbit::platform {

namespace {

// The registry: a fixed table, so that a signal handler can walk it without a lock and
// without touching memory that another thread may be freeing. A slot goes Free -> Armed
// (its path set) -> Free; the cleanup claims an Armed slot (Cleaning) before it reads the
// path, and the owner, to free its slot, must find it Armed or Removed: it waits out a
// cleanup, which takes one unlink, and so never frees a path the cleanup is reading.
enum SlotState : int { kFree, kArmed, kCleaning, kRemoved };

struct Slot {
  std::atomic<int> state{kFree};
  std::atomic<const char*> path{nullptr};
};

// More than a run ever holds at once: a conversion holds one temporary file a file in
// flight. A writer that finds no free slot still works; only the cleanup misses its file.
constexpr int kSlots = 4096;
Slot g_slots[kSlots];
std::atomic<unsigned> g_next_slot{0};

int Register(const char* path) {
  for (int tries = 0; tries < kSlots; ++tries) {
    const int i = static_cast<int>(g_next_slot.fetch_add(1, std::memory_order_relaxed) % kSlots);
    int expected = kFree;
    if (g_slots[i].state.load(std::memory_order_relaxed) == kFree &&
        g_slots[i].state.compare_exchange_strong(expected, kCleaning)) {
      // Cleaning while the path is stored: the cleanup skips the slot until it is Armed.
      g_slots[i].path.store(path, std::memory_order_relaxed);
      g_slots[i].state.store(kArmed, std::memory_order_release);
      return i;
    }
  }
  return -1;
}

void Unregister(int slot) {
  if (slot < 0) return;
  for (;;) {
    int state = g_slots[slot].state.load(std::memory_order_acquire);
    if (state != kCleaning &&
        g_slots[slot].state.compare_exchange_weak(state, kFree, std::memory_order_acq_rel)) {
      return;
    }
  }
}

extern "C" void RemoveAndEnd(int signal_number) {
  const int saved_errno = errno;
  RemoveTemporaryFiles();
  // Ends the program as the signal would have: the signal is blocked while its handler runs,
  // so it arrives, with its default action, the moment the handler returns.
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
  errno = saved_errno;
}

// The handler goes only where the default action (ending the program) still stands: a
// program that ignores a signal or handles it itself keeps doing so.
bool InstallSignalHandlers() {
  constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP, SIGXFSZ, SIGPIPE};
  struct sigaction action {};
  action.sa_handler = RemoveAndEnd;
  action.sa_flags = SA_RESTART;
  sigemptyset(&action.sa_mask);
  for (int s : kSignals) sigaddset(&action.sa_mask, s);
  for (int s : kSignals) {
    struct sigaction old {};
    if (::sigaction(s, nullptr, &old) == 0 && !(old.sa_flags & SA_SIGINFO) &&
        old.sa_handler == SIG_DFL) {
      ::sigaction(s, &action, nullptr);
    }
  }
  return true;
}

// Six letters that no two calls in this process share and that another process is unlikely
// to guess; O_EXCL makes a clash harmless anyway (the next name is tried).
std::string RandomLetters() {
  static std::atomic<unsigned long long> counter{0};
  unsigned long long seed = 0;
  if (::getrandom(&seed, sizeof seed, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof seed)) {
    seed = static_cast<unsigned long long>(
               std::chrono::steady_clock::now().time_since_epoch().count()) ^
           (static_cast<unsigned long long>(::getpid()) << 32);
  }
  seed += counter.fetch_add(0x9E3779B97F4A7C15ull, std::memory_order_relaxed);
  constexpr std::string_view kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::string letters(6, '\0');
  for (char& c : letters) {
    c = kLetters[seed % kLetters.size()];
    seed /= kLetters.size();
  }
  return letters;
}

}  // namespace

void RemoveTemporaryFiles() noexcept {
  for (Slot& slot : g_slots) {
    int expected = kArmed;
    if (slot.state.load(std::memory_order_relaxed) != kArmed ||
        !slot.state.compare_exchange_strong(expected, kCleaning, std::memory_order_acquire)) {
      continue;
    }
    ::unlink(slot.path.load(std::memory_order_relaxed));
    slot.state.store(kRemoved, std::memory_order_release);
  }
}

int AtomicFileWriter::Open(const std::string& target) {
  assert(fd_ < 0);
  [[maybe_unused]] static const bool handlers = InstallSignalHandlers();
  target_ = target;
  const std::string stem = FolderOfPath(target) + "/." + NameOfPath(target) + ".";
  constexpr int kAttempts = 100;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    temporary_ = stem + RandomLetters();
    // Listed before it exists: a signal that comes while it is being made still finds it.
    slot_ = Register(temporary_.c_str());
    fd_ = RetryOnEintr([&] {
      return ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
    });
    if (fd_ >= 0) return 0;
    const int error = errno;
    Unregister(slot_);
    slot_ = -1;
    if (error != EEXIST) return error;
  }
  return EEXIST;
}

int AtomicFileWriter::Append(std::string_view bytes) {
  assert(fd_ >= 0 && used_ < kBufferBytes);
  if (used_ + bytes.size() >= kBufferBytes) return Write(bytes);
  if (!buffer_) buffer_ = std::make_unique_for_overwrite<char[]>(kBufferBytes);
  if (!bytes.empty()) std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
  return 0;
}

int AtomicFileWriter::Write(std::string_view bytes) {
  if (const int error = Flush(); error != 0) return error;
  return WriteAll(fd_, bytes);
}

int AtomicFileWriter::Flush() {
  assert(fd_ >= 0);
  const std::size_t n = used_;
  used_ = 0;
  return n == 0 ? 0 : WriteAll(fd_, std::string_view(buffer_.get(), n));
}

int AtomicFileWriter::Commit(CommitMode mode, bool sync) {
  int error = Flush();
  if (error == 0 && sync && RetryOnEintr([&] { return ::fsync(fd_); }) != 0) error = errno;
  FileDescriptor fd(fd_);
  fd_ = -1;
  if (const int close_error = fd.Close(); error == 0) error = close_error;
  if (error == 0) {
    error = mode == CommitMode::kNoReplace
                ? RenameNoReplace(temporary_, target_)
                : (RetryOnEintr([&] { return ::rename(temporary_.c_str(), target_.c_str()); }) == 0
                       ? 0
                       : errno);
  }
  if (error != 0) {
    Abandon();
    return error;
  }
  Unregister(slot_);
  slot_ = -1;
  temporary_.clear();
  buffer_.reset();
  return 0;
}

void AtomicFileWriter::Abandon() {
  if (fd_ >= 0) {
    FileDescriptor(fd_).Close();
    fd_ = -1;
  }
  // Unlisted only once it is gone, and its name kept until then: a signal in between finds
  // the file or nothing, never a freed name.
  if (!temporary_.empty()) ::unlink(temporary_.c_str());
  Unregister(slot_);
  slot_ = -1;
  temporary_.clear();
  used_ = 0;
  buffer_.reset();
}

}  // namespace sorbit::platform
