// The single-instance lock: a flock on a lock file of our own in the runtime folder.
#include "platform/services/NamedMutex.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <utility>

namespace sorbit::platform {
namespace {

constexpr std::chrono::milliseconds kRetryInterval{20};

bool IsUsableRuntimeFolder(const char* folder) {
  if (folder == nullptr || folder[0] != '/') return false;
  struct stat st {};
  return ::stat(folder, &st) == 0 && S_ISDIR(st.st_mode);
}

// Opens the lock file without following a symbolic link in its place and only when it is
// ours: in the shared /tmp another user could otherwise prepare the file for us.
FileDescriptor OpenLockFile(const std::string& path, bool create) {
  int flags = O_RDWR | O_CLOEXEC | O_NOFOLLOW | (create ? O_CREAT : 0);
  FileDescriptor fd(::open(path.c_str(), flags, 0600));
  if (!fd.valid()) return fd;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    return FileDescriptor();
  }
  return fd;
}

int Flock(int fd, int operation) {
  int result;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result;
}

// The holder writes its process id into the file and clears it on Release, so a new
// holder that finds an id knows that the previous one ended without releasing.
bool HoldsStaleOwnerMark(int fd) {
  char byte;
  return ::pread(fd, &byte, 1, 0) == 1;
}

void WriteOwnerMark(int fd) {
  std::string mark = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd, 0) == 0) {
    [[maybe_unused]] ssize_t ignored = ::pwrite(fd, mark.data(), mark.size(), 0);
  }
}

}  // namespace

std::string NamedMutex::LockPathFor(std::string_view name) {
  if (name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..") {
    return {};
  }
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (IsUsableRuntimeFolder(runtime))
    return std::string(runtime) + "/" + std::string(name) + ".lock";
  return "/tmp/" + std::string(name) + "-" + std::to_string(::geteuid()) + ".lock";
}

bool NamedMutex::OpenExisting(std::string_view name) {
  std::string path = LockPathFor(name);
  if (path.empty()) return false;
  FileDescriptor fd = OpenLockFile(path, false);
  if (!fd.valid()) return false;
  // Closing (at the end of this scope) drops the shared lock if we got it.
  return Flock(fd.get(), LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK;
}

NamedMutex::~NamedMutex() { Release(); }

bool NamedMutex::Create(std::string_view name) {
  std::string path = LockPathFor(name);
  if (path.empty()) return false;
  FileDescriptor fd = OpenLockFile(path, true);
  if (!fd.valid()) return false;
  Release();
  fd_ = std::move(fd);
  return true;
}

NamedMutex::WaitResult NamedMutex::Wait(int milliseconds) {
  if (!fd_.valid()) return WaitResult::Failed;
  if (held_) return WaitResult::Acquired;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  for (;;) {
    if (Flock(fd_.get(), LOCK_EX | LOCK_NB) == 0) {
      held_ = true;
      bool abandoned = HoldsStaleOwnerMark(fd_.get());
      WriteOwnerMark(fd_.get());
      return abandoned ? WaitResult::Abandoned : WaitResult::Acquired;
    }
    if (errno != EWOULDBLOCK) return WaitResult::Failed;
    auto now = std::chrono::steady_clock::now();
    if (milliseconds >= 0 && now >= deadline) return WaitResult::Timeout;
    auto pause = kRetryInterval;
    if (milliseconds >= 0) {
      pause =
          std::min(pause, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                              std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(pause);
  }
}

void NamedMutex::Release() {
  if (!held_) return;
  [[maybe_unused]] int ignored = ::ftruncate(fd_.get(), 0);
  Flock(fd_.get(), LOCK_UN);
  held_ = false;
}

}  // namespace sorbit::platform
