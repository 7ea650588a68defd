// Runs one command and prints its wall time in seconds, its peak resident set in KiB and the
// processor time it took (user and system, all its threads and children) in seconds:
//   measure COMMAND [ARG...]   ->   "<seconds> <max_rss_kib> <cpu_seconds>"
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: measure COMMAND [ARG...]\n");
    return 2;
  }
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The command's own output would mix with the report.
    std::freopen("/dev/null", "w", stdout);
    ::execvp(argv[1], argv + 1);
    ::_exit(127);
  }
  int status = 0;
  struct rusage usage {};
  if (pid < 0 || ::wait4(pid, &status, 0, &usage) != pid) return 1;
  const std::chrono::duration<double> wall = std::chrono::steady_clock::now() - start;
  const auto seconds = [](const timeval& t) {
    return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6;
  };
  std::printf("%.4f %ld %.4f\n", wall.count(), usage.ru_maxrss,
              seconds(usage.ru_utime) + seconds(usage.ru_stime));
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
