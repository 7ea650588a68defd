// The engine's file system on POSIX: stat-based tests, the backup rename, and outputs that
// appear under their names only once they are whole.
#include "platform/filesystem/PosixFileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/posix/AtomicFileWriter.h"
#include "platform/posix/PosixFile.h"

namespace sorbit::platform {

namespace {

FileError Errno(std::string_view what, const std::string& path, int error) {
  std::string reason(what);
  reason.append(" ").append(path).append(": ").append(std::strerror(error));
  return FileError{std::move(reason)};
}

// A path the kernel would read only up to its first NUL names another file than the one
// asked for: such a path names nothing.
bool HoldsNul(const std::string& path) { return path.find('\0') != std::string::npos; }

// What stat (or lstat) says of `path`; nothing when nothing is there. Any other failure is
// the system's own reason, never taken for "nothing there".
std::optional<struct stat> StatusOf(const std::string& path, bool follow_links) {
  struct stat st;
  if (HoldsNul(path)) return std::nullopt;
  const int result = RetryOnEintr(
      [&] { return follow_links ? ::stat(path.c_str(), &st) : ::lstat(path.c_str(), &st); });
  if (result == 0) return st;
  if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
  throw Errno("cannot access", path, errno);
}

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(FileDescriptor fd, std::string path, const struct stat& st)
      : fd_(std::move(fd)),
        path_(std::move(path)),
        size_(st.st_size),
        dev_(st.st_dev),
        ino_(st.st_ino) {}

  std::size_t Read(char* buffer, std::size_t size) override {
    const ssize_t got = RetryOnEintr([&] { return ::read(fd_.get(), buffer, size); });
    if (got < 0) throw Errno("cannot read", path_, errno);
    read_ += got;
    if (got == 0 && size > 0 && read_ < size_) {
      throw FileError{"cannot read " + path_ + ": it became shorter while it was read"};
    }
    return static_cast<std::size_t>(got);
  }
  long long Size() const override { return size_; }
  bool IsSameFile(const std::string& path) const override {
    struct stat st;
    return !HoldsNul(path) && RetryOnEintr([&] { return ::stat(path.c_str(), &st); }) == 0 &&
           st.st_dev == dev_ && st.st_ino == ino_;
  }

 private:
  FileDescriptor fd_;
  std::string path_;
  long long size_;
  long long read_ = 0;
  dev_t dev_;
  ino_t ino_;
};

class PosixOutputFile final : public OutputFile {
 public:
  void Write(std::string_view bytes) override {
    if (const int error = writer.Write(bytes); error != 0)
      throw Errno("cannot write", writer.target(), error);
  }
  void Close() override {
    if (committed_) return;
    if (const int error = writer.Commit(CommitMode::kNoReplace); error != 0)
      throw Errno("cannot write", writer.target(), error);
    committed_ = true;
  }

  AtomicFileWriter writer;

 private:
  bool committed_ = false;
};

}  // namespace

LocalTime ToLocalTime(long long seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm tm {};
  if (::localtime_r(&t, &tm) == nullptr) return {};
  return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec & ~1};
}

bool PosixFileSystem::IsRegularFile(const std::string& path) {
  const std::optional<struct stat> st = StatusOf(path, true);
  return st && S_ISREG(st->st_mode);
}

bool PosixFileSystem::IsDirectory(const std::string& path) {
  const std::optional<struct stat> st = StatusOf(path, true);
  return st && S_ISDIR(st->st_mode);
}

bool PosixFileSystem::Exists(const std::string& path) { return StatusOf(path, false).has_value(); }

LocalTime PosixFileSystem::ModificationTime(const std::string& path) {
  struct stat st;
  if (HoldsNul(path)) throw Errno("cannot read the time of", path, EINVAL);
  if (RetryOnEintr([&] { return ::stat(path.c_str(), &st); }) != 0)
    throw Errno("cannot read the time of", path, errno);
  return ToLocalTime(st.st_mtim.tv_sec);
}

void PosixFileSystem::CreateDirectory(const std::string& path) {
  if (HoldsNul(path)) throw Errno("cannot create the folder", path, EINVAL);
  if (RetryOnEintr([&] { return ::mkdir(path.c_str(), 0777); }) != 0)
    throw Errno("cannot create the folder", path, errno);
}

bool PosixFileSystem::RenameNoReplace(const std::string& from, const std::string& to) {
  if (HoldsNul(from) || HoldsNul(to)) throw Errno("cannot rename", from, EINVAL);
  const int error = platform::RenameNoReplace(from, to);
  if (error == EEXIST) return false;
  if (error != 0) throw Errno("cannot rename", from, error);
  return true;
}

std::unique_ptr<InputFile> PosixFileSystem::OpenInput(const std::string& path) {
  if (HoldsNul(path)) throw Errno("cannot open", path, EINVAL);
  FileDescriptor fd(RetryOnEintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
  if (!fd.valid()) throw Errno("cannot open", path, errno);
  struct stat st;
  if (RetryOnEintr([&] { return ::fstat(fd.get(), &st); }) != 0)
    throw Errno("cannot open", path, errno);
  if (S_ISDIR(st.st_mode)) throw Errno("cannot open", path, EISDIR);
  return std::make_unique<PosixInputFile>(std::move(fd), path, st);
}

std::unique_ptr<OutputFile> PosixFileSystem::CreateOutput(const std::string& path) {
  if (HoldsNul(path)) throw Errno("cannot create", path, EINVAL);
  auto output = std::make_unique<PosixOutputFile>();
  if (const int error = output->writer.Open(path); error != 0)
    throw Errno("cannot create", path, error);
  return output;
}

}  // namespace sorbit::platform
