#include "app/InstanceGuard.h"

namespace sorbit::app {

GuardOutcome InstanceGuard::Enter(std::string_view name, int wait_milliseconds) {
  if (platform::NamedMutex::OpenExisting(name)) return GuardOutcome::AlreadyRunning;
  return TakeMutex(name, wait_milliseconds);
}

GuardOutcome InstanceGuard::TakeMutex(std::string_view name, int wait_milliseconds) {
  // A mutex that cannot be made is like a wait that failed: start-up goes on.
  if (!mutex_.Create(name)) return GuardOutcome::Proceed;
  switch (mutex_.Wait(wait_milliseconds)) {
    case platform::NamedMutex::WaitResult::Timeout:
      return GuardOutcome::TimedOut;
    case platform::NamedMutex::WaitResult::Acquired:
    case platform::NamedMutex::WaitResult::Abandoned:
    case platform::NamedMutex::WaitResult::Failed:
      break;
  }
  return GuardOutcome::Proceed;
}

std::string ProgramTitle(const std::string& program_path) {
  std::size_t slash = program_path.rfind('/');
  std::string title = program_path.substr(slash == std::string::npos ? 0 : slash + 1);
  title = title.substr(0, title.find('.'));
  for (std::size_t i = 0; i < title.size(); ++i) {
    char& c = title[i];
    if (i == 0 && c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (i > 0 && c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return title;
}

}  // namespace sorbit::app
