// A stand-in for sorbit's start-up in the guard tests: the same guard, with its decision
// printed instead of shown. Usage: guard_probe <mutex name> <wait in ms>
// Prints "already-running", "timed-out" or "running"; when running it holds the mutex
// until its standard input ends, then releases it.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/InstanceGuard.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: guard_probe NAME WAIT_MS\n");
    return 2;
  }
  sorbit::app::InstanceGuard guard;
  switch (guard.Enter(argv[1], std::atoi(argv[2]))) {
    case sorbit::app::GuardOutcome::AlreadyRunning:
      std::puts("already-running");
      return 0;
    case sorbit::app::GuardOutcome::TimedOut:
      std::puts("timed-out");
      return 0;
    case sorbit::app::GuardOutcome::Proceed:
      break;
  }
  std::puts(guard.Holds() ? "running" : "running-unguarded");
  std::fflush(stdout);
  char buffer[256];
  while (::read(0, buffer, sizeof buffer) > 0) {
  }
  guard.Leave();
  return 0;
}
