// A machine-wide named mutex for the single-instance guard, standing in for the Windows
// named mutex: an exclusive flock on a lock file in the user's runtime folder,
// $XDG_RUNTIME_DIR/<name>.lock (or /tmp/<name>-<uid>.lock when there is none).
//
// The kernel drops a flock when its holder dies, so a killed instance leaves nothing
// behind that could keep the next one out (the "abandoned" case). The lock file itself
// stays; removing it would let two processes lock two different files of the same name.
//
// Two starts at nearly the same moment may both find no holder in OpenExisting; both then
// Create and Wait, one acquires the lock and the other keeps retrying until it is free or
// its time is up. That is the behaviour the guard expects of the Windows mutex.
#pragma once

#include <string>
#include <string_view>

#include "platform/posix/PosixFile.h"

namespace sorbit::platform {

class NamedMutex {
 public:
  enum class WaitResult { Acquired, Abandoned, Timeout, Failed };

  NamedMutex() = default;
  NamedMutex(const NamedMutex&) = delete;
  NamedMutex& operator=(const NamedMutex&) = delete;
  ~NamedMutex();  // releases and closes

  // True when a live process (this one included, through another NamedMutex) holds the
  // mutex `name`. The probe takes a shared lock on its own descriptor and drops it at
  // once: it can make a concurrent Wait retry once, never make it fail or time out.
  static bool OpenExisting(std::string_view name);

  // Opens the lock file of `name`, creating it when needed; does not lock. False when the
  // name is unusable (empty, holds "/") or the file cannot be opened or belongs to another
  // user.
  bool Create(std::string_view name);

  // Tries to take the lock until it is ours or `milliseconds` have passed (negative: no
  // limit). Abandoned when the previous holder ended without Release (it was killed or
  // crashed). Failed when Create has not succeeded or the system refuses the lock.
  WaitResult Wait(int milliseconds);

  // Gives the lock back; the file stays open for another Wait. Harmless when not held.
  void Release();

  bool IsHeld() const { return held_; }

  // Where the lock file of `name` lives; empty for an unusable name.
  static std::string LockPathFor(std::string_view name);

 private:
  FileDescriptor fd_;  // the lock file, once Create succeeded
  bool held_ = false;
};

}  // namespace sorbit::platform
