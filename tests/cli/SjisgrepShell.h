// Runs a shell command line in a folder and keeps its exit status, standard output and
// standard error: the sjisgrep tests compare the program with grep and ripgrep this way.
#pragma once

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "../convert/TestSupport.h"

namespace sorbit::testing {

struct ShellResult {
  int status = -1;  // exit status, or -1 when the command did not exit normally
  std::string out;
  std::string err;
  bool operator==(const ShellResult&) const = default;
};

inline std::string ShellQuote(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Runs `command` with sh in `dir`; its output goes to files in `io`, a folder of its own.
inline ShellResult RunShell(const std::string& dir, const std::string& command, const TempDir& io) {
  const std::string out = io.Path("out"), err = io.Path("err");
  const std::string line = "cd " + ShellQuote(dir) + " && { " + command + " ; } > " +
                           ShellQuote(out) + " 2> " + ShellQuote(err) + " < /dev/null";
  const int raw = std::system(line.c_str());
  ShellResult result;
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  result.out = ReadFile(out);
  result.err = ReadFile(err);
  return result;
}

inline bool HaveCommand(const std::string& probe) {
  return std::system((probe + " > /dev/null 2>&1").c_str()) == 0;
}

}  // namespace sorbit::testing
