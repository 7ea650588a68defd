// Running a piece of a test as a user whom permission bits bind. Tests often run as root,
// for whom a folder without write permission is writable all the same.
#pragma once

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <stdexcept>

namespace sorbit::testing {

// The user and group "nobody".
inline constexpr uid_t kNobody = 65534;

// Runs `operation` in a child process that gives up root for "nobody" when we are root,
// otherwise right here. Returns its result.
inline bool RunUnprivileged(const std::function<bool()>& operation) {
  if (::geteuid() != 0) return operation();
  pid_t child = ::fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
      ::_exit(3);
    ::_exit(operation() ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) > 1) throw std::runtime_error("child failed");
  return WEXITSTATUS(status) == 0;
}

}  // namespace sorbit::testing
