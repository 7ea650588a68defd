#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "app/InstanceGuard.h"
#include "platform/services/NamedMutex.h"

namespace sorbit::app {
namespace {

using namespace std::chrono_literals;
using sorbit::platform::NamedMutex;
using sorbit::testing::ChildProcess;
using Clock = std::chrono::steady_clock;

// Every test gets its own runtime folder (inherited by the processes it starts), so that
// neither a running sorbit nor another test is disturbed.
class GuardTest : public ::testing::Test {
 protected:
  GuardTest() {
    std::string pattern = (std::filesystem::temp_directory_path() / "sorbit-run-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    runtime_ = pattern;
    const char* old = ::getenv("XDG_RUNTIME_DIR");
    had_old_ = old != nullptr;
    if (had_old_) old_ = old;
    ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
  }
  ~GuardTest() override {
    if (had_old_) {
      ::setenv("XDG_RUNTIME_DIR", old_.c_str(), 1);
    } else {
      ::unsetenv("XDG_RUNTIME_DIR");
    }
    std::error_code ignored;
    std::filesystem::remove_all(runtime_, ignored);
  }

  static ChildProcess Probe(const std::string& name, int wait_ms = 10000) {
    return ChildProcess({SORBIT_GUARD_PROBE, name, std::to_string(wait_ms)});
  }

  std::string runtime_;
  bool had_old_ = false;
  std::string old_;
};

// ---- the guard in this process ----

TEST_F(GuardTest, FirstStartProceedsAndHolds) {
  InstanceGuard guard;
  EXPECT_EQ(guard.Enter("G"), GuardOutcome::Proceed);
  EXPECT_TRUE(guard.Holds());
  EXPECT_TRUE(NamedMutex::OpenExisting("G"));
  guard.Leave();
  EXPECT_FALSE(NamedMutex::OpenExisting("G"));
}

TEST_F(GuardTest, StartWhileHeldIsAlreadyRunningAtOnce) {
  InstanceGuard first;
  ASSERT_EQ(first.Enter("G"), GuardOutcome::Proceed);
  InstanceGuard second;
  auto start = Clock::now();
  EXPECT_EQ(second.Enter("G"), GuardOutcome::AlreadyRunning);
  EXPECT_LT(Clock::now() - start, 500ms);
  EXPECT_FALSE(second.Holds());
  EXPECT_TRUE(first.Holds());
}

TEST_F(GuardTest, WaitingStartTimesOutWhileTheOtherRuns) {
  // The near-simultaneous start: both passed the check, the other one won the mutex.
  InstanceGuard winner;
  ASSERT_EQ(winner.Enter("G"), GuardOutcome::Proceed);
  InstanceGuard loser;
  auto start = Clock::now();
  EXPECT_EQ(loser.TakeMutex("G", 300), GuardOutcome::TimedOut);
  EXPECT_GE(Clock::now() - start, 300ms);
  EXPECT_FALSE(loser.Holds());
}

TEST_F(GuardTest, WaitingStartProceedsWhenTheOtherEndsInTime) {
  auto winner = std::make_unique<InstanceGuard>();
  ASSERT_EQ(winner->Enter("G"), GuardOutcome::Proceed);
  std::thread ender([&] {
    std::this_thread::sleep_for(300ms);
    winner.reset();  // the first instance ends
  });
  InstanceGuard waiter;
  EXPECT_EQ(waiter.TakeMutex("G", 10000), GuardOutcome::Proceed);
  EXPECT_TRUE(waiter.Holds());
  ender.join();
}

TEST_F(GuardTest, UnusableMutexStillProceeds) {
  InstanceGuard guard;
  EXPECT_EQ(guard.Enter("bad/name"), GuardOutcome::Proceed);
  EXPECT_FALSE(guard.Holds());
}

TEST(ProgramTitle, FileNameUpToTheFirstDotInTitleCase) {
  const std::pair<const char*, const char*> cases[] = {
      {"/usr/bin/sorbit", "Sorbit"},
      {"/opt/Sorbit.exe", "Sorbit"},
      {"/opt/SORBIT.EXE", "Sorbit"},
      {"/opt/sjisGrep", "Sjisgrep"},
      {"/opt/my.prog.bin", "My"},
      {"/v1.2/tekuri2svf", "Tekuri2svf"},
      {"sorbit", "Sorbit"},
      {"/opt/\xE3\x82\xBD\xE3\x83\xAB.X", "\xE3\x82\xBD\xE3\x83\xAB"},
      {"/opt/.hidden", ""},
  };
  for (const auto& [path, title] : cases) EXPECT_EQ(ProgramTitle(path), title) << path;
}

// ---- real processes ----

TEST_F(GuardTest, SecondProcessIsRefusedAndTheFirstGoesOn) {
  ChildProcess first = Probe("P");
  ASSERT_EQ(first.ReadLine(5s), "running");
  ChildProcess second = Probe("P");
  EXPECT_EQ(second.ReadLine(5s), "already-running");
  std::optional<int> status = second.WaitExit(5s);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  // The first one is untouched: still running, still holding, and it ends normally.
  EXPECT_TRUE(first.IsRunning());
  EXPECT_TRUE(NamedMutex::OpenExisting("P"));
  first.CloseInput();
  status = first.WaitExit(5s);
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

TEST_F(GuardTest, NextProcessStartsAtOnceAfterTheFirstClosed) {
  {
    ChildProcess first = Probe("P");
    ASSERT_EQ(first.ReadLine(5s), "running");
    first.CloseInput();
    ASSERT_TRUE(first.WaitExit(5s));
  }
  auto start = Clock::now();
  ChildProcess next = Probe("P");
  EXPECT_EQ(next.ReadLine(5s), "running");
  EXPECT_LT(Clock::now() - start, 1s);
}

TEST_F(GuardTest, NextProcessStartsAtOnceAfterTheFirstWasKilled) {
  {
    ChildProcess first = Probe("P");
    ASSERT_EQ(first.ReadLine(5s), "running");
    first.Kill(SIGKILL);
    ASSERT_TRUE(first.WaitExit(5s));
  }
  auto start = Clock::now();
  ChildProcess next = Probe("P");
  EXPECT_EQ(next.ReadLine(5s), "running");
  EXPECT_LT(Clock::now() - start, 1s);
}

TEST_F(GuardTest, RefusedProcessDoesNotDisturbALaterStart) {
  ChildProcess first = Probe("P");
  ASSERT_EQ(first.ReadLine(5s), "running");
  for (int i = 0; i < 3; ++i) {
    ChildProcess refused = Probe("P");
    EXPECT_EQ(refused.ReadLine(5s), "already-running");
    ASSERT_TRUE(refused.WaitExit(5s));
  }
  first.CloseInput();
  ASSERT_TRUE(first.WaitExit(5s));
  ChildProcess next = Probe("P");
  EXPECT_EQ(next.ReadLine(5s), "running");
}

#ifdef SORBIT_PROGRAM
// The window program itself, on Qt's offscreen platform. A refused start shows its box
// and waits for an answer: it stays alive without the lock file open, which is what tells
// it apart from a start that passed the check (that one keeps the file open, to wait on
// or to hold the mutex).
class SorbitProgramTest : public GuardTest {
 protected:
  SorbitProgramTest() { ::setenv("QT_QPA_PLATFORM", "offscreen", 1); }
  static bool WaitUntilHeld(std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    while (Clock::now() < deadline) {
      if (NamedMutex::OpenExisting("Sorbit")) return true;
      std::this_thread::sleep_for(20ms);
    }
    return false;
  }
  std::string LockPath() const { return runtime_ + "/Sorbit.lock"; }
};

TEST_F(SorbitProgramTest, SecondStartShowsTheBoxAndLeavesTheFirstUntouched) {
  ChildProcess first({SORBIT_PROGRAM});
  ASSERT_TRUE(WaitUntilHeld(10s));
  EXPECT_TRUE(first.HasOpen(LockPath()));
  ChildProcess second({SORBIT_PROGRAM});
  std::this_thread::sleep_for(1500ms);
  EXPECT_TRUE(second.IsRunning());  // the box is open
  EXPECT_FALSE(second.HasOpen(LockPath()));
  EXPECT_TRUE(first.IsRunning());
  EXPECT_TRUE(NamedMutex::OpenExisting("Sorbit"));
}

TEST_F(SorbitProgramTest, NextStartSucceedsAtOnceAfterTheFirstWasKilled) {
  {
    ChildProcess first({SORBIT_PROGRAM});
    ASSERT_TRUE(WaitUntilHeld(10s));
    first.Kill(SIGKILL);
    ASSERT_TRUE(first.WaitExit(5s));
  }
  EXPECT_FALSE(NamedMutex::OpenExisting("Sorbit"));
  auto start = Clock::now();
  ChildProcess next({SORBIT_PROGRAM});
  EXPECT_TRUE(WaitUntilHeld(5s));
  EXPECT_LT(Clock::now() - start, 5s);
  EXPECT_TRUE(next.IsRunning());
}
#endif

}  // namespace
}  // namespace sorbit::app
