#include "platform/ProgramFile.h"

#include <unistd.h>

#include <climits>

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

}  // namespace sorbit::platform
