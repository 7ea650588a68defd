// Expanding the reader's arguments into files: folders, patterns, duplicates.
#include "reader/Arguments.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <utility>

namespace sorbit::reader {

namespace {

bool EndsWithLog(std::string_view name) {
  if (name.size() < 4) return false;
  std::string tail(name.substr(name.size() - 4));
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return tail == ".log";
}

// The regular files directly in `folder` whose names `keep` accepts, as full paths in byte
// order of their names; errno's value on failure.
template <typename Keep>
int FilesIn(const std::string& folder, Keep keep, std::vector<std::string>& out) {
  const std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
  if (!dir) return errno;
  const std::string prefix = folder.ends_with('/') ? folder : folder + "/";
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    struct stat st;
    if (keep(name) && ::stat((prefix + entry->d_name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
      names.emplace_back(name);
    }
    errno = 0;
  }
  if (errno != 0) return errno;
  std::sort(names.begin(), names.end());  // std::string compares bytes as unsigned char
  for (std::string& name : names) out.push_back(prefix + name);
  return 0;
}

}  // namespace

bool NameMatches(std::string_view pattern, std::string_view name) {
  if (!name.empty() && name[0] == '.' && (pattern.empty() || pattern[0] != '.')) return false;
  // The classic two-pointer match: on a mismatch, the last "*" takes one byte more.
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() && pattern[p] == name[n]) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

ExpandedArguments ExpandArguments(const std::vector<std::string>& arguments) {
  ExpandedArguments result;
  std::set<std::pair<dev_t, ino_t>> seen;
  auto add = [&](const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) == 0 && !seen.insert({st.st_dev, st.st_ino}).second) return;
    result.files.push_back(path);
  };
  for (const std::string& argument : arguments) {
    std::vector<std::string> files;
    struct stat st;
    if (::stat(argument.c_str(), &st) == 0) {
      if (S_ISREG(st.st_mode)) {
        add(argument);
        continue;
      }
      if (!S_ISDIR(st.st_mode)) {
        result.problems.push_back({argument, ArgumentProblem::Kind::kNotARegularFile, 0});
        continue;
      }
      if (const int error = FilesIn(argument, EndsWithLog, files); error != 0) {
        result.problems.push_back({argument, ArgumentProblem::Kind::kUnreadable, error});
      } else if (files.empty()) {
        result.problems.push_back({argument, ArgumentProblem::Kind::kEmptyFolder, 0});
      }
    } else {
      const int stat_error = errno;
      const std::size_t slash = argument.rfind('/');
      const std::string_view last = slash == std::string::npos
                                        ? std::string_view(argument)
                                        : std::string_view(argument).substr(slash + 1);
      if (last.find('*') == std::string_view::npos) {
        result.problems.push_back({argument, ArgumentProblem::Kind::kUnreadable, stat_error});
        continue;
      }
      const std::string folder = slash == std::string::npos ? std::string(".")
                                 : slash == 0               ? std::string("/")
                                                            : argument.substr(0, slash);
      const int error = FilesIn(
          folder, [last](std::string_view name) { return NameMatches(last, name); }, files);
      if (error != 0) {
        result.problems.push_back({argument, ArgumentProblem::Kind::kUnreadable, error});
      } else if (files.empty()) {
        result.problems.push_back({argument, ArgumentProblem::Kind::kNoMatch, 0});
      }
      // A pattern without a folder names files as the working folder's, without "./".
      if (slash == std::string::npos) {
        for (std::string& file : files) file.erase(0, 2);
      }
    }
    for (const std::string& file : files) add(file);
  }
  return result;
}

}  // namespace sorbit::reader
