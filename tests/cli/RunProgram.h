// Runs a program of this project as a child process, without a terminal, and collects its
// exit status and output: the command-line tests drive the real binaries.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "../convert/TestSupport.h"

namespace sorbit::testing {

struct ProgramResult {
  int status = -1;  // exit status, or -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// `stdout_path`, when given, receives the standard output instead (such as "/dev/full"); the
// result's `out` is then empty.
inline ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd = "",
                                const std::string& input = "",
                                const std::string& stdout_path = "") {
  TempDir io;
  const std::string in_path = io.Path("stdin"),
                    out_path = stdout_path.empty() ? io.Path("stdout") : stdout_path,
                    err_path = io.Path("stderr");
  WriteFile(in_path, input);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open(in_path.c_str(), O_RDONLY);
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(out, 1);
    ::dup2(err, 2);
    if (!cwd.empty() && ::chdir(cwd.c_str()) != 0) ::_exit(126);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  ProgramResult result;
  int wstatus = 0;
  if (pid > 0 && ::waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus)) {
    result.status = WEXITSTATUS(wstatus);
  }
  if (stdout_path.empty()) result.out = ReadFile(out_path);
  result.err = ReadFile(err_path);
  return result;
}

}  // namespace sorbit::testing
