// Starting another program detached, directly or through Wine, and finding it on PATH.
#include "platform/services/Launch.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

extern char** environ;

#include "platform/posix/AsciiText.h"
#include "platform/posix/PosixFile.h"

namespace sorbit::platform {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool IsExecutableFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Starts argv[0] (a path) detached, by a double fork: the middle process ends at once and
// is reaped here, so the program itself is adopted by init and never becomes our zombie.
// A close-on-exec pipe tells whether the exec succeeded: it closes without a word on
// success and carries errno on failure. Everything the children need is prepared before
// the fork; after it they only call async-signal-safe functions.
bool SpawnDetached(const std::string& path, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 1);
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  char** envp = environ;

  int pipe_fds[2];
  if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  sigset_t empty_mask;
  sigemptyset(&empty_mask);

  pid_t middle = ::fork();
  if (middle < 0) {
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    return false;
  }
  if (middle == 0) {
    ::close(pipe_fds[0]);
    pid_t child = ::fork();
    if (child < 0) {
      int error = errno;
      [[maybe_unused]] ssize_t ignored = ::write(pipe_fds[1], &error, sizeof error);
      ::_exit(1);
    }
    if (child == 0) {
      ::setsid();  // its own session: it lives on when our terminal goes away
      ::sigprocmask(SIG_SETMASK, &empty_mask, nullptr);
      ::execve(path.c_str(), argv.data(), envp);
      int error = errno;
      [[maybe_unused]] ssize_t ignored = ::write(pipe_fds[1], &error, sizeof error);
      ::_exit(127);
    }
    ::_exit(0);
  }

  ::close(pipe_fds[1]);
  const FileDescriptor read_end(pipe_fds[0]);
  int status = 0;
  while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
  }
  int error = 0;
  std::size_t got = 0;
  return ReadFull(read_end.get(), &error, sizeof error, got) == 0 && got == 0;
}

}  // namespace

bool IsWindowsProgram(std::string_view path) {
  if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == ':') return true;
  constexpr std::string_view kExe = ".exe";
  if (path.size() < kExe.size()) return false;
  return EqualsIgnoringAsciiCase(path.substr(path.size() - kExe.size()), kExe);
}

std::string ToWinePath(std::string_view unix_path) {
  std::string out;
  out.reserve(unix_path.size() + 2);
  if (!unix_path.empty() && unix_path.front() == '/') out = "Z:";
  for (char c : unix_path) out.push_back(c == '/' ? '\\' : c);
  return out;
}

std::string FindExecutableOnPath(const std::string& name) {
  if (name.empty()) return {};
  if (name.find('/') != std::string::npos) return IsExecutableFile(name) ? name : std::string();
  const char* path_variable = std::getenv("PATH");
  std::string_view folders =
      path_variable != nullptr ? path_variable : "/usr/local/bin:/usr/bin:/bin";
  std::size_t pos = 0;
  for (;;) {
    std::size_t colon = folders.find(':', pos);
    std::string_view folder =
        folders.substr(pos, colon == std::string_view::npos ? std::string_view::npos : colon - pos);
    std::string candidate = (folder.empty() ? std::string(".") : std::string(folder)) + "/" + name;
    if (IsExecutableFile(candidate)) return candidate;
    if (colon == std::string_view::npos) return {};
    pos = colon + 1;
  }
}

bool StartProgram(const std::string& program, const std::string& parameters) {
  if (program.empty()) return false;
  std::vector<std::string> arguments;
  std::string executable;
  if (IsWindowsProgram(program)) {
    executable = FindExecutableOnPath("wine");
    if (executable.empty()) return false;
    // Wine itself would start and then complain; a Linux path we can check beforehand.
    bool is_drive_path = program.size() >= 2 && program[1] == ':';
    if (!is_drive_path && program.find('/') != std::string::npos) {
      struct stat st {};
      if (::stat(program.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    }
    arguments = {"wine", program};
  } else {
    executable = program.find('/') != std::string::npos ? program : FindExecutableOnPath(program);
    if (executable.empty()) return false;
    arguments = {program};
  }
  if (!parameters.empty()) arguments.push_back(parameters);
  return SpawnDetached(executable, arguments);
}

}  // namespace sorbit::platform
