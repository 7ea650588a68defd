// Expanding folders given as LOGFILE into the logs they hold.
#include "InputList.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "convert/Paths.h"
#include "platform/posix/PosixFile.h"

namespace sorbit::cli {

namespace {

using platform::RetryOnEintr;

bool IsFolder(const std::string& path) {
  struct stat st;
  return RetryOnEintr([&] { return ::stat(path.c_str(), &st); }) == 0 && S_ISDIR(st.st_mode);
}

// Whether an entry of a folder is a log to convert: a regular file, or a name that cannot be
// looked at (a dangling link, say), which the run then reports instead of skipping it unseen.
bool IsLogEntry(const std::string& path) {
  struct stat st;
  if (RetryOnEintr([&] { return ::stat(path.c_str(), &st); }) != 0) return true;
  return S_ISREG(st.st_mode);
}

FileError FolderError(const std::string& folder) {
  return FileError{"cannot read the folder " + folder + ": " + std::strerror(errno)};
}

std::vector<std::string> LogsIn(const std::string& folder) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(nullptr, &::closedir);
  do {
    dir.reset(::opendir(folder.c_str()));
  } while (!dir && errno == EINTR);
  if (!dir) throw FolderError(folder);
  const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
  std::vector<std::string> names;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir.get());
    if (entry == nullptr) {
      // A signal that cut the read short leaves the folder's position where it was.
      if (errno == EINTR) continue;
      if (errno != 0) throw FolderError(folder);
      break;
    }
    const std::string_view name = entry->d_name;
    if (EndsInLog(name) && entry->d_type != DT_DIR && IsLogEntry(prefix + entry->d_name)) {
      names.emplace_back(name);
    }
  }
  // std::string compares its bytes as unsigned char: byte order.
  std::sort(names.begin(), names.end());
  for (std::string& name : names) name.insert(0, prefix);
  return names;
}

}  // namespace

std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths) {
  std::vector<std::string> files;
  for (const std::string& path : paths) {
    if (!IsFolder(path)) {
      files.push_back(path);
      continue;
    }
    std::vector<std::string> logs = LogsIn(path);
    files.insert(files.end(), std::make_move_iterator(logs.begin()),
                 std::make_move_iterator(logs.end()));
  }
  return files;
}

}  // namespace sorbit::cli
