#include "platform/PosixFileSystem.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

namespace sorbit::platform {

namespace {

FileError Errno(std::string_view what, const std::string& path, int error) {
  std::string reason(what);
  reason.append(" ").append(path).append(": ").append(std::strerror(error));
  return FileError{std::move(reason)};
}

// Closes a descriptor exactly once, on every path.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  Fd& operator=(Fd&&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now and returns the error of close(2), 0 when it succeeded.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(Fd fd, std::string path, const struct stat& st)
      : fd_(std::move(fd)),
        path_(std::move(path)),
        size_(st.st_size),
        dev_(st.st_dev),
        ino_(st.st_ino) {}

  std::size_t Read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::read(fd_.get(), buffer, size);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) throw Errno("cannot read", path_, errno);
    }
  }
  long long Size() const override { return size_; }
  bool IsSameFile(const std::string& path) const override {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && st.st_dev == dev_ && st.st_ino == ino_;
  }

 private:
  Fd fd_;
  std::string path_;
  long long size_;
  dev_t dev_;
  ino_t ino_;
};

class PosixOutputFile final : public OutputFile {
 public:
  PosixOutputFile(Fd fd, std::string path) : fd_(std::move(fd)), path_(std::move(path)) {}

  void Write(const char* data, std::size_t size) override {
    while (size > 0) {
      const ssize_t put = ::write(fd_.get(), data, size);
      if (put < 0) {
        if (errno == EINTR) continue;
        throw Errno("cannot write", path_, errno);
      }
      data += put;
      size -= static_cast<std::size_t>(put);
    }
  }
  void Close() override {
    if (const int error = fd_.Close(); error != 0) throw Errno("cannot close", path_, error);
  }

 private:
  Fd fd_;
  std::string path_;
};

}  // namespace

LocalTime ToLocalTime(long long seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm tm {};
  if (::localtime_r(&t, &tm) == nullptr) return {};
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec & ~1};
}

bool PosixFileSystem::IsRegularFile(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFileSystem::IsDirectory(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

LocalTime PosixFileSystem::ModificationTime(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) throw Errno("cannot read the time of", path, errno);
  return ToLocalTime(st.st_mtim.tv_sec);
}

bool PosixFileSystem::CreateDirectory(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0;
}

bool PosixFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  // renameat2 with RENAME_NOREPLACE is atomic; where the file system refuses it, link and
  // unlink give the same guarantee: link fails when the new name exists.
  if (::syscall(SYS_renameat2, AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) ==
      0) {
    return true;
  }
  if (errno == EEXIST) return false;
  if (errno != EINVAL && errno != ENOSYS) throw Errno("cannot rename", from, errno);
  if (::link(from.c_str(), to.c_str()) != 0) {
    if (errno == EEXIST) return false;
    throw Errno("cannot rename", from, errno);
  }
  if (::unlink(from.c_str()) != 0) {
    const int error = errno;
    ::unlink(to.c_str());  // the original name still holds the data
    throw Errno("cannot rename", from, error);
  }
  return true;
}

std::unique_ptr<InputFile> PosixFileSystem::OpenInput(const std::string& path) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) throw Errno("cannot open", path, errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) throw Errno("cannot open", path, errno);
  if (S_ISDIR(st.st_mode)) throw Errno("cannot open", path, EISDIR);
  return std::make_unique<PosixInputFile>(std::move(fd), path, st);
}

std::unique_ptr<OutputFile> PosixFileSystem::CreateOutput(const std::string& path) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (fd.get() < 0) throw Errno("cannot create", path, errno);
  return std::make_unique<PosixOutputFile>(std::move(fd), path);
}

void PopulateForWriting(char* bytes, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
  static const std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(bytes) + page - 1) & ~(page - 1);
  const std::uintptr_t to = (reinterpret_cast<std::uintptr_t>(bytes) + size) & ~(page - 1);
  // Only a hint: memory the call does not map is mapped page by page as it is written.
  if (from < to) (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_POPULATE_WRITE);
#else
  (void)bytes;
  (void)size;
#endif
}

MemoryPreparer PosixFileSystem::OutputMemoryPreparer() const { return &PopulateForWriting; }

}  // namespace sorbit::platform
