// The program file's own path, and where the settings file lives: the path that follows from
// the program's path and the command line, beside the program when its folder can be
// written, else in the user's settings folder.
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

// Where the settings file lives. A program whose folder the user can write (a build tree,
// a portable copy) keeps it beside itself, by SettingsPathFor. An installed one, whose
// folder (/usr/bin) is not the user's, could never write it there and so could never be
// closed: its settings live in the user's settings folder instead, by the same rule with
// that folder in place of the program's (so "sorbit.ini", or the one argument's file in that
// folder).
struct SettingsPlace {
  std::string path;  // the settings file
  // The user's settings folder when `path` lies in it; it is made (with its parents) before
  // the first write. Empty when the file lies beside the program.
  std::string folder_to_make;
};

// The decision itself, with its two facts given: whether the program's folder can be
// written, and the user's settings folder (empty when there is none: then the file stays
// beside the program, as there is nowhere better).
SettingsPlace ChooseSettingsPlace(const std::string& program_path,
                                  const std::vector<std::string>& arguments,
                                  bool program_folder_writable,
                                  const std::string& user_settings_folder);

// The decision with the facts of this process: the program's folder probed for writing
// (IsWritableFolder) and UserSettingsFolder().
SettingsPlace SettingsPlaceFor(const std::string& program_path,
                               const std::vector<std::string>& arguments);

// Whether this process may create files in `folder`, by its effective user and group; a
// read-only mount says no even to root.
bool IsWritableFolder(const std::string& folder);

// $XDG_CONFIG_HOME/sorbit, or ~/.config/sorbit when XDG_CONFIG_HOME is unset, empty or not
// absolute; empty when no home folder is known.
std::string UserSettingsFolder();

// Makes `folder` and any missing parents, new ones readable by the user only. True when the
// folder exists afterwards.
bool MakeSettingsFolder(const std::string& folder);

}  // namespace sorbit::platform
