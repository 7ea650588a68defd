// The reader's command line: each argument names a FILE, a FOLDER or a PATTERN, and together
// they make the list of files to open, in the order given.
//
//   - A path that exists as a regular file (or a link to one) is that file, whatever its name.
//   - A path that exists as a folder stands for the regular files directly in it whose names
//     end in ".log" in any letter case, in byte order of their names: the converter's outputs
//     and tekuri's logs, as tekuri2svf reads a folder. Subfolders are not searched.
//   - Any other argument with "*" in its last part is a pattern: the regular files of its
//     folder (the part before the last "/", or the working folder) whose names match it, in
//     byte order; "*" stands for any run of bytes and every other byte for itself. A name that
//     begins with "." matches only a pattern that does. The converter's window hands the
//     reader one such argument, as it hands the SHOWPC viewer.
//
// A file named twice (also through a folder, a pattern or another path to it) is listed once,
// where it first appears. Paths are bytes and stay as given.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace sorbit::reader {

struct ArgumentProblem {
  enum class Kind {
    kUnreadable,       // stat or opendir failed: error_number says why
    kNotARegularFile,  // exists, but is neither a regular file nor a folder
    kEmptyFolder,      // a folder without any ".log" file
    kNoMatch,          // a pattern that no file matches
  };
  std::string argument;
  Kind kind = Kind::kUnreadable;
  int error_number = 0;
};

struct ExpandedArguments {
  std::vector<std::string> files;
  std::vector<ArgumentProblem> problems;
};

ExpandedArguments ExpandArguments(const std::vector<std::string>& arguments);

// Whether `name` matches `pattern`, "*" standing for any run of bytes (see above for ".").
bool NameMatches(std::string_view pattern, std::string_view name);

}  // namespace sorbit::reader
