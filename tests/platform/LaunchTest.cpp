#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../support/TempDir.h"
#include "platform/services/Launch.h"

namespace sorbit::platform {
namespace {

using sorbit::testing::ReadFile;
using sorbit::testing::TempDir;
using sorbit::testing::WriteFile;

TEST(IsWindowsProgram, DriveLettersAndExeNames) {
  EXPECT_TRUE(IsWindowsProgram("C:\\Program Files\\SHOWPC\\SHOWPC.EXE"));
  EXPECT_TRUE(IsWindowsProgram("c:/x/viewer"));
  EXPECT_TRUE(IsWindowsProgram("D:viewer"));
  EXPECT_TRUE(IsWindowsProgram("/opt/showpc/showpc.exe"));
  EXPECT_TRUE(IsWindowsProgram("Viewer.ExE"));
  EXPECT_FALSE(IsWindowsProgram("/usr/bin/less"));
  EXPECT_FALSE(IsWindowsProgram("/opt/exe"));
  EXPECT_FALSE(IsWindowsProgram("/opt/a.exe.sh"));
  EXPECT_FALSE(IsWindowsProgram("1:/x"));
  EXPECT_FALSE(IsWindowsProgram(""));
}

TEST(ToWinePath, AbsoluteAndRelative) {
  EXPECT_EQ(ToWinePath("/home/u/out"), "Z:\\home\\u\\out");
  EXPECT_EQ(ToWinePath("/"), "Z:\\");
  EXPECT_EQ(ToWinePath("out/svf*.log"), "out\\svf*.log");
  EXPECT_EQ(ToWinePath(""), "");
}

// A stand-in program: a script that records the arguments it was given, one NUL after
// each, into `record` (written whole, then renamed, so a reader never sees half of it).
std::string MakeRecorder(const std::string& script, const std::string& record) {
  WriteFile(script, "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\0' \"$a\"; done > '" + record +
                        ".part'\nmv '" + record + ".part' '" + record + "'\n");
  ::chmod(script.c_str(), 0755);
  return script;
}

// Waits up to five seconds for the recorder's file and splits it at the NULs.
std::vector<std::string> RecordedArguments(const std::string& record) {
  for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::string data = ReadFile(record);
  std::vector<std::string> arguments;
  std::size_t pos = 0;
  while (pos < data.size()) {
    std::size_t nul = data.find('\0', pos);
    if (nul == std::string::npos) nul = data.size();
    arguments.push_back(data.substr(pos, nul - pos));
    pos = nul + 1;
  }
  return arguments;
}

// Puts `folder` in front of PATH (or makes it the whole PATH) for one test.
class ScopedPath {
 public:
  ScopedPath(const std::string& folder, bool alone) {
    const char* old = ::getenv("PATH");
    old_ = old != nullptr ? old : "";
    std::string value = alone ? folder : folder + ":" + old_;
    ::setenv("PATH", value.c_str(), 1);
  }
  ~ScopedPath() { ::setenv("PATH", old_.c_str(), 1); }

 private:
  std::string old_;
};

TEST(StartProgram, NoShellTouchesFolderOrParameters) {
  TempDir dir;
  std::string folder = dir / "a b $(touch PWNED) 'q' \"dq\" `touch PWNED2`;x";
  std::filesystem::create_directory(folder);
  std::string record = dir / "record";
  std::string program = MakeRecorder(folder + "/viewer", record);
  const std::string parameters = " /out dir/$(touch PWNED3)\\svf*.log \"q\" 'q' `id` $HOME";
  ASSERT_TRUE(StartProgram(program, parameters));
  EXPECT_EQ(RecordedArguments(record), std::vector<std::string>{parameters});
  for (const char* name : {"PWNED", "PWNED2", "PWNED3"}) {
    EXPECT_FALSE(std::filesystem::exists(name));
    EXPECT_FALSE(std::filesystem::exists(dir / name));
  }
}

TEST(StartProgram, EmptyParametersGiveNoArgument) {
  TempDir dir;
  std::string record = dir / "record";
  ASSERT_TRUE(StartProgram(MakeRecorder(dir / "viewer", record), ""));
  EXPECT_EQ(RecordedArguments(record), std::vector<std::string>{});
  EXPECT_TRUE(std::filesystem::exists(record));
}

TEST(StartProgram, ProgramsThatCannotRunGiveFalse) {
  TempDir dir;
  EXPECT_FALSE(StartProgram(dir / "missing", "x"));
  EXPECT_FALSE(StartProgram(dir.path(), "x"));
  EXPECT_FALSE(StartProgram("", "x"));
  EXPECT_FALSE(StartProgram("sorbit-no-such-program-on-path", ""));
  // Not executable.
  WriteFile(dir / "plain", "#!/bin/sh\ntouch '" + dir / "ran" + "'\n");
  EXPECT_FALSE(StartProgram(dir / "plain", ""));
  // Executable but no interpreter line: execve refuses it, and no shell is tried instead.
  WriteFile(dir / "noshebang", "touch '" + dir / "ran" + "'\n");
  ::chmod((dir / "noshebang").c_str(), 0755);
  EXPECT_FALSE(StartProgram(dir / "noshebang", ""));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_FALSE(std::filesystem::exists(dir / "ran"));
}

TEST(StartProgram, DoesNotWaitAndLeavesNoChildToReap) {
  TempDir dir;
  WriteFile(dir / "slow", "#!/bin/sh\nsleep 3\n");
  ::chmod((dir / "slow").c_str(), 0755);
  auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(StartProgram(dir / "slow", ""));
  auto took = std::chrono::steady_clock::now() - start;
  EXPECT_LT(took, std::chrono::seconds(2));
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

TEST(StartProgram, WindowsProgramRunsThroughWineFromPath) {
  TempDir dir;
  std::filesystem::create_directory(dir / "bin");
  std::string record = dir / "record";
  MakeRecorder(dir / "bin/wine", record);
  ScopedPath path(dir / "bin", false);
  const std::string viewer = "C:\\Program Files\\SHOWPC\\SHOWPC.EXE";
  const std::string parameters = " " + ToWinePath("/home/u/out dir") + "\\svf*.log";
  ASSERT_TRUE(StartProgram(viewer, parameters));
  EXPECT_EQ(RecordedArguments(record),
            (std::vector<std::string>{viewer, " Z:\\home\\u\\out dir\\svf*.log"}));
}

TEST(StartProgram, LinuxPathToExeGoesToWineWhenItExists) {
  TempDir dir;
  std::filesystem::create_directory(dir / "bin");
  std::string record = dir / "record";
  MakeRecorder(dir / "bin/wine", record);
  ScopedPath path(dir / "bin", false);
  EXPECT_FALSE(StartProgram(dir / "SHOWPC.EXE", ""));
  WriteFile(dir / "SHOWPC.EXE", "MZ");
  ASSERT_TRUE(StartProgram(dir / "SHOWPC.EXE", ""));
  EXPECT_EQ(RecordedArguments(record), std::vector<std::string>{dir / "SHOWPC.EXE"});
}

TEST(StartProgram, WindowsProgramWithoutWineFails) {
  TempDir dir;
  ScopedPath path(dir.path(), true);
  EXPECT_FALSE(StartProgram("C:\\SHOWPC\\SHOWPC.EXE", " x"));
}

}  // namespace
}  // namespace sorbit::platform
