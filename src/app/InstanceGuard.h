// Start-up's single-instance guard, kept free of Qt so that it can be tested with plain
// processes. The window program (main.cpp) runs it before anything else; a second start
// while an instance runs is refused, and the lock is held until the program ends.
#pragma once

#include <string>
#include <string_view>

#include "platform/services/NamedMutex.h"

namespace sorbit::app {

// The machine-wide mutex of the window program and how long a start waits for it.
inline constexpr std::string_view kInstanceMutexName = "Sorbit";
inline constexpr int kInstanceWaitMilliseconds = 10000;

enum class GuardOutcome {
  Proceed,         // this instance owns the mutex (or could not make one: it runs anyway)
  AlreadyRunning,  // another instance holds it: tell the user and end
  TimedOut,        // another start took it while we waited: end without a word
};

class InstanceGuard {
 public:
  // The whole guard: another instance running gives AlreadyRunning at once (nothing is
  // kept open then); otherwise TakeMutex.
  GuardOutcome Enter(std::string_view name = kInstanceMutexName,
                     int wait_milliseconds = kInstanceWaitMilliseconds);

  // Creates the mutex and waits for it. Acquired, abandoned by an instance that ended,
  // or not to be had at all (no lock file possible): Proceed. Only a time-out ends start-up.
  GuardOutcome TakeMutex(std::string_view name, int wait_milliseconds);

  // Gives the mutex back. The destructor does it too, on every way out.
  void Leave() { mutex_.Release(); }

  bool Holds() const { return mutex_.IsHeld(); }

 private:
  platform::NamedMutex mutex_;
};

// The title a program has before it sets its own: the program file's name up to its first
// ".", its first letter in upper case and every letter after it in lower case
// ("/usr/bin/sorbit" -> "Sorbit"). Only ASCII letters change.
std::string ProgramTitle(const std::string& program_path);

}  // namespace sorbit::app
