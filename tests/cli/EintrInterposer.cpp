// Preloaded into a program under test (LD_PRELOAD): every other call of the file-system calls
// the program makes (open, close, stat, rename, mkdir, reading a folder, write) fails with
// EINTR, as when a signal arrives during the call, before the call is made (close: after, as
// Linux frees the descriptor all the same). Each thread alternates on its own, so that a call
// that is made again goes through.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

thread_local unsigned t_calls = 0;

bool Interrupt() {
  if (++t_calls % 2 == 0) return false;
  errno = EINTR;
  return true;
}

template <typename F>
F Next(const char* name) {
  return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

#define SORBIT_INTERPOSE(ret, name, params, args, failed) \
  extern "C" ret name params {                            \
    static const auto next = Next<ret(*) params>(#name);  \
    if (Interrupt()) return failed;                       \
    return next args;                                     \
  }

SORBIT_INTERPOSE(int, stat, (const char* p, struct stat* s), (p, s), -1)
SORBIT_INTERPOSE(int, lstat, (const char* p, struct stat* s), (p, s), -1)
SORBIT_INTERPOSE(int, fstat, (int fd, struct stat* s), (fd, s), -1)
SORBIT_INTERPOSE(int, mkdir, (const char* p, mode_t m), (p, m), -1)
SORBIT_INTERPOSE(int, rename, (const char* a, const char* b), (a, b), -1)
SORBIT_INTERPOSE(int, renameat2, (int d1, const char* a, int d2, const char* b, unsigned f),
                 (d1, a, d2, b, f), -1)
SORBIT_INTERPOSE(int, link, (const char* a, const char* b), (a, b), -1)
SORBIT_INTERPOSE(DIR*, opendir, (const char* p), (p), nullptr)
SORBIT_INTERPOSE(dirent*, readdir, (DIR * d), (d), nullptr)
SORBIT_INTERPOSE(ssize_t, write, (int fd, const void* b, size_t n), (fd, b, n), -1)

extern "C" int open(const char* path, int flags, ...) {
  static const auto next = Next<int (*)(const char*, int, ...)>("open");
  mode_t mode = 0;
  if (flags & (O_CREAT | O_TMPFILE)) {
    va_list args;
    va_start(args, flags);
    mode = static_cast<mode_t>(va_arg(args, int));
    va_end(args);
  }
  if (Interrupt()) return -1;
  return next(path, flags, mode);
}

extern "C" int close(int fd) {
  static const auto next = Next<int (*)(int)>("close");
  const int result = next(fd);
  if (result == 0 && Interrupt()) return -1;
  return result;
}
