// The program file's path from /proc, and the settings file's place that follows from it.
#include "platform/services/ProgramFile.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace sorbit::platform {

std::string ProgramPath() {
  // The link's target can be longer than PATH_MAX on some file systems; grow until it fits.
  std::string buffer(PATH_MAX, '\0');
  for (;;) {
    ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      buffer.resize(static_cast<std::size_t>(length));
      return buffer;
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::string SettingsPathFor(const std::string& program_path,
                            const std::vector<std::string>& arguments) {
  std::size_t slash = program_path.rfind('/');
  std::size_t name_begin = slash == std::string::npos ? 0 : slash + 1;
  if (arguments.size() == 1) {
    const std::string& argument = arguments.front();
    // An empty argument has no first character to drop: the folder itself is named.
    return program_path.substr(0, name_begin) + (argument.empty() ? "" : argument.substr(1));
  }
  std::size_t dot = program_path.rfind('.');
  if (dot == std::string::npos || dot < name_begin) return program_path + ".ini";
  return program_path.substr(0, dot) + ".ini";
}

SettingsPlace ChooseSettingsPlace(const std::string& program_path,
                                  const std::vector<std::string>& arguments,
                                  bool program_folder_writable,
                                  const std::string& user_settings_folder) {
  if (program_folder_writable || user_settings_folder.empty()) {
    return {SettingsPathFor(program_path, arguments), {}};
  }
  // The same rule, as if the program stood in the user's settings folder.
  const std::size_t slash = program_path.rfind('/');
  const std::string name =
      slash == std::string::npos ? program_path : program_path.substr(slash + 1);
  return {SettingsPathFor(user_settings_folder + "/" + name, arguments), user_settings_folder};
}

bool IsWritableFolder(const std::string& folder) {
  // AT_EACCESS: the effective ids decide, as they do for the write itself.
  return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string UserSettingsFolder() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  if (config != nullptr && config[0] == '/') return std::string(config) + "/sorbit";
  const char* home = std::getenv("HOME");
  if (home == nullptr || home[0] != '/') {
    const struct passwd* entry = ::getpwuid(::geteuid());
    home = entry != nullptr ? entry->pw_dir : nullptr;
  }
  if (home == nullptr || home[0] != '/') return {};
  std::string folder(home);
  if (folder.back() != '/') folder.push_back('/');
  return folder + ".config/sorbit";
}

SettingsPlace SettingsPlaceFor(const std::string& program_path,
                               const std::vector<std::string>& arguments) {
  const std::size_t slash = program_path.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string(".")
                             : slash == 0               ? std::string("/")
                                                        : program_path.substr(0, slash);
  const bool writable = IsWritableFolder(folder);
  return ChooseSettingsPlace(program_path, arguments, writable,
                             writable ? std::string() : UserSettingsFolder());
}

bool MakeSettingsFolder(const std::string& folder) {
  if (folder.empty()) return false;
  // Each level from the top; one that exists already is fine whatever made it.
  for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
    const std::string level = folder.substr(0, slash);
    if (::mkdir(level.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat st {};
  return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace sorbit::platform
