// The engine's file system on POSIX: stat-based tests, the backup rename, and outputs that
// appear under their names only once they are whole.
#include "platform/filesystem/PosixFileSystem.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <ctime>

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

class PosixInputFile final : public InputFile {
 public:
  PosixInputFile(FileDescriptor fd, std::string path, const struct stat& st)
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
    return !HoldsNul(path) && ::stat(path.c_str(), &st) == 0 && st.st_dev == dev_ &&
           st.st_ino == ino_;
  }

 private:
  FileDescriptor fd_;
  std::string path_;
  long long size_;
  dev_t dev_;
  ino_t ino_;
};

// An output written into a temporary file beside its final name. Close puts it in place with
// a rename that never replaces; until then, and after any failure, the final name is
// untouched and the temporary file is removed when the object goes.
class PosixOutputFile final : public OutputFile {
 public:
  PosixOutputFile(TemporaryFile temporary, std::string path)
      : temporary_(std::move(temporary)), path_(std::move(path)) {}
  PosixOutputFile(const PosixOutputFile&) = delete;
  PosixOutputFile& operator=(const PosixOutputFile&) = delete;
  ~PosixOutputFile() override {
    if (!committed_) ::unlink(temporary_.path.c_str());
  }

  void Write(const char* data, std::size_t size) override {
    if (const int error = WriteAll(temporary_.fd.get(), std::string_view(data, size)); error != 0)
      throw Errno("cannot write", path_, error);
  }
  void Close() override {
    if (committed_) return;
    if (const int error = temporary_.fd.Close(); error != 0)
      throw Errno("cannot write", path_, error);
    if (const int error = RenameNoReplace(temporary_.path, path_); error != 0)
      throw Errno("cannot write", path_, error);
    committed_ = true;
  }

 private:
  TemporaryFile temporary_;
  std::string path_;
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
  struct stat st;
  return !HoldsNul(path) && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool PosixFileSystem::IsDirectory(const std::string& path) {
  struct stat st;
  return !HoldsNul(path) && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixFileSystem::Exists(const std::string& path) {
  struct stat st;
  return !HoldsNul(path) && ::lstat(path.c_str(), &st) == 0;
}

LocalTime PosixFileSystem::ModificationTime(const std::string& path) {
  struct stat st;
  if (HoldsNul(path)) throw Errno("cannot read the time of", path, EINVAL);
  if (::stat(path.c_str(), &st) != 0) throw Errno("cannot read the time of", path, errno);
  return ToLocalTime(st.st_mtim.tv_sec);
}

bool PosixFileSystem::CreateDirectory(const std::string& path) {
  return !HoldsNul(path) && ::mkdir(path.c_str(), 0777) == 0;
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
  FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) throw Errno("cannot open", path, errno);
  struct stat st;
  if (::fstat(fd.get(), &st) != 0) throw Errno("cannot open", path, errno);
  if (S_ISDIR(st.st_mode)) throw Errno("cannot open", path, EISDIR);
  return std::make_unique<PosixInputFile>(std::move(fd), path, st);
}

std::unique_ptr<OutputFile> PosixFileSystem::CreateOutput(const std::string& path) {
  if (HoldsNul(path)) throw Errno("cannot create", path, EINVAL);
  int error = 0;
  std::optional<TemporaryFile> temporary = CreateTemporaryBeside(path, error);
  if (!temporary) throw Errno("cannot create", path, error);
  return std::make_unique<PosixOutputFile>(std::move(*temporary), path);
}

void PopulateForWriting(char* bytes, std::size_t size) {
#ifdef MADV_HUGEPAGE
  // Output memory may take 2 MiB pages: the 2 MiB-aligned span around the block, where it
  // lies in one mapping (a heap grown ahead of its use; a block mapped on its own holds no
  // whole span and is left as it is). Why: on virtual machines whose page faults are dear,
  // mapping 250 MB of output in 4 KiB pages was most of a conversion's time (200 MB log:
  // 61,600 faults and 1.0-1.4 s; with 2 MiB pages 1,000 faults and 0.25 s). Only a hint:
  // where the system keeps 2 MiB pages for programs that ask (the usual "madvise" setting)
  // it takes effect, elsewhere it changes nothing.
  {
    constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
    const std::uintptr_t from = reinterpret_cast<std::uintptr_t>(bytes) & ~(kHuge - 1);
    // One span further too: the next block begins in it, and a span whose first pages were
    // written as small pages before the advice could no longer take a 2 MiB page.
    const std::uintptr_t to =
        (reinterpret_cast<std::uintptr_t>(bytes) + size + 2 * kHuge - 1) & ~(kHuge - 1);
    (void)::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
  }
#endif
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
