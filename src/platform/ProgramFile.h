// The program file's own path and the settings path that follows from it and the
// command line.
#pragma once

#include <string>
#include <vector>

namespace sorbit::platform {

// The full path of the running program file; empty when the system does not tell it.
std::string ProgramPath();

// The settings file's path. With exactly one argument: the program's folder with its
// final "/", followed by the argument without its first character (whatever that is; a
// relative path lands below the program's folder). Otherwise the program path with the
// part from the last "." of its file name replaced by ".ini" (".ini" appended when the
// file name has no ".").
std::string SettingsPathFor(const std::string& program_path,
                            const std::vector<std::string>& arguments);

}  // namespace sorbit::platform
