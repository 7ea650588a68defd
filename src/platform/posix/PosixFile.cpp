// The platform layer's file helpers: descriptors, whole-file reads, full writes and the
// rename that never replaces.
#include "platform/posix/PosixFile.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>

namespace sorbit::platform {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.Release();
  }
  return *this;
}

FileDescriptor::~FileDescriptor() { Close(); }

int FileDescriptor::Close() {
  const int fd = Release();
  if (fd < 0) return 0;
  // Linux frees the descriptor even when close fails, so it is never retried.
  return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int FileDescriptor::Release() {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

std::optional<OpenedFile> OpenRegularFile(const std::string& path, int& error) {
  OpenedFile file{FileDescriptor(RetryOnEintr(
                      [&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK); })),
                  {}};
  if (!file.fd.valid()) {
    error = errno;
    return std::nullopt;
  }
  if (RetryOnEintr([&] { return ::fstat(file.fd.get(), &file.status); }) != 0) {
    error = errno;
    return std::nullopt;
  }
  if (!S_ISREG(file.status.st_mode)) {
    error = S_ISDIR(file.status.st_mode) ? EISDIR : EINVAL;
    return std::nullopt;
  }
  // Reads of a regular file never wait anyway; the flag only mattered for the open.
  const int flags = ::fcntl(file.fd.get(), F_GETFL);
  if (flags >= 0) (void)::fcntl(file.fd.get(), F_SETFL, flags & ~O_NONBLOCK);
  return file;
}

std::optional<std::string> ReadRegularFile(const std::string& path, int& error) {
  std::optional<OpenedFile> file = OpenRegularFile(path, error);
  if (!file) return std::nullopt;
  std::string content;
  // The size is a hint only: the file may grow or shrink while it is read.
  content.reserve(static_cast<std::size_t>(file->status.st_size));
  char buffer[65536];
  for (;;) {
    std::size_t got = 0;
    error = ReadFull(file->fd.get(), buffer, sizeof buffer, got);
    if (error != 0) return std::nullopt;
    content.append(buffer, got);
    if (got < sizeof buffer) return content;
  }
}

std::optional<std::string> ReadRegularFile(const std::string& path) {
  int ignored = 0;
  return ReadRegularFile(path, ignored);
}

namespace {

// The loops behind ReadFull(At) and WriteAll(At): `transfer(at, count, done)` moves up to
// `count` bytes at `at`, `done` bytes into the job, as read/pread or write/pwrite do.
template <typename Transfer>
int ReadLoop(char* buffer, std::size_t size, std::size_t& got, Transfer transfer) {
  got = 0;
  while (got < size) {
    const ssize_t n = transfer(buffer + got, size - got, got);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  return 0;
}

template <typename Transfer>
int WriteLoop(std::string_view data, Transfer transfer) {
  std::size_t done = 0;
  while (done < data.size()) {
    const ssize_t put = transfer(data.data() + done, data.size() - done, done);
    if (put < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (put == 0) return ENOSPC;
    done += static_cast<std::size_t>(put);
  }
  return 0;
}

}  // namespace

int ReadFull(int fd, void* buffer, std::size_t size, std::size_t& got) {
  return ReadLoop(static_cast<char*>(buffer), size, got,
                  [fd](char* at, std::size_t count, std::size_t) { return ::read(fd, at, count); });
}

int ReadFullAt(int fd, void* buffer, std::size_t size, long long offset, std::size_t& got) {
  return ReadLoop(static_cast<char*>(buffer), size, got,
                  [fd, offset](char* at, std::size_t count, std::size_t done) {
                    return ::pread(fd, at, count,
                                   static_cast<off_t>(offset) + static_cast<off_t>(done));
                  });
}

int WriteAll(int fd, std::string_view data) {
  return WriteLoop(data, [fd](const char* at, std::size_t count, std::size_t) {
    return ::write(fd, at, count);
  });
}

int WriteAllAt(int fd, std::string_view data, long long offset) {
  return WriteLoop(data, [fd, offset](const char* at, std::size_t count, std::size_t done) {
    return ::pwrite(fd, at, count, static_cast<off_t>(offset) + static_cast<off_t>(done));
  });
}

std::string FolderOfPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOfPath(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

int RenameNoReplace(const std::string& from, const std::string& to) {
  if (RetryOnEintr([&] {
        return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
      }) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  if (RetryOnEintr([&] { return ::link(from.c_str(), to.c_str()); }) != 0) return errno;
  if (RetryOnEintr([&] { return ::unlink(from.c_str()); }) != 0) {
    const int error = errno;
    ::unlink(to.c_str());  // the original name still holds the data
    return error;
  }
  return 0;
}

}  // namespace sorbit::platform
