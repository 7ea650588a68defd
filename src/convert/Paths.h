// Path parts as the conversion run names its files. The separator is "/"; ":" is an ordinary
// character. No byte of a UTF-8 or Shift-JIS file name inside a multibyte character can be
// "/" or ".", so the parts are found by plain byte search.
#pragma once

#include <string>
#include <string_view>

#include "convert/FileSystem.h"

namespace sorbit {

// Up to and including the last "/"; empty when there is none.
std::string_view FolderPart(std::string_view path);
// What follows the last "/".
std::string_view FileNamePart(std::string_view path);
// True when `name` ends in ".log" in any letter case (".log" itself included).
bool EndsInLog(std::string_view name);
// The input file's name without its folder, less its last 4 bytes (".log" is assumed, not
// looked for); empty for a name of 4 bytes or fewer.
std::string BoardName(std::string_view input_path);
// OutputFolder + "/" + Prefix + BoardName + Extension. The separator is always inserted.
std::string OutputPath(std::string_view output_folder, std::string_view prefix,
                       std::string_view board_name, std::string_view extension);
// "yymmddhhnnss" of a local time (two digits each; the year within its century).
std::string TimeStamp(const LocalTime& time);
// The path with its extension (from the last "." with no "/" after it) replaced by "." and
// the stamp; a path without such a "." gets "." and the stamp appended.
std::string BackupName(std::string_view path, const LocalTime& modified);

}  // namespace sorbit
