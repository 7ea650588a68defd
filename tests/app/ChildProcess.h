// A child process for the start-up tests: started without a shell, its standard input and
// output on pipes, killed and reaped when the test is done with it.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace sorbit::testing {

class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& command) {
    int in[2];
    int out[2];
    if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0) {
      throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> argv;
    for (const std::string& part : command) argv.push_back(const_cast<char*>(part.c_str()));
    argv.push_back(nullptr);
    int error = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    stdin_ = in[1];
    stdout_ = out[0];
    if (error != 0) {
      pid_ = -1;
      throw std::runtime_error("cannot start " + command[0]);
    }
  }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;
  ~ChildProcess() {
    if (pid_ > 0 && !exit_status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    CloseInput();
    if (stdout_ >= 0) ::close(stdout_);
  }

  pid_t pid() const { return pid_; }

  // One line of output without its line end; nullopt when none came in time.
  std::optional<std::string> ReadLine(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      std::size_t lf = buffered_.find('\n');
      if (lf != std::string::npos) {
        std::string line = buffered_.substr(0, lf);
        buffered_.erase(0, lf + 1);
        return line;
      }
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) return std::nullopt;
      pollfd p{stdout_, POLLIN, 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char chunk[256];
      ssize_t got = ::read(stdout_, chunk, sizeof chunk);
      if (got <= 0) return std::nullopt;
      buffered_.append(chunk, static_cast<std::size_t>(got));
    }
  }

  void CloseInput() {
    if (stdin_ >= 0) ::close(stdin_);
    stdin_ = -1;
  }

  void Kill(int signal_number) { ::kill(pid_, signal_number); }

  // The exit status once the process has ended within `timeout`; nullopt while it runs.
  std::optional<int> WaitExit(std::chrono::milliseconds timeout) {
    if (exit_status_) return exit_status_;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
      int status = 0;
      pid_t done = ::waitpid(pid_, &status, WNOHANG);
      if (done == pid_) {
        exit_status_ = status;
        return status;
      }
      if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }

  bool IsRunning() { return !WaitExit(std::chrono::milliseconds(0)); }

  // Whether the process has `path` open (read from /proc while it runs).
  bool HasOpen(const std::string& path) const {
    std::string folder = "/proc/" + std::to_string(pid_) + "/fd";
    for (int fd = 0; fd < 1024; ++fd) {
      char target[4096];
      std::string link = folder + "/" + std::to_string(fd);
      ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
      if (length > 0 && std::string(target, static_cast<std::size_t>(length)) == path) return true;
    }
    return false;
  }

 private:
  pid_t pid_ = -1;
  int stdin_ = -1;
  int stdout_ = -1;
  std::string buffered_;
  std::optional<int> exit_status_;
};

}  // namespace sorbit::testing
