// The input files of a command line: the LOGFILE arguments, with each folder among them
// replaced by the logs directly in it.
#pragma once

#include <string>
#include <vector>

#include "convert/FileSystem.h"

namespace sorbit::cli {

// True for a file name that ends in ".log" in any letter case.
bool HasLogExtension(std::string_view name);

// `paths` (absolute) in order, each folder replaced by the files directly in it whose names
// end in ".log" (HasLogExtension), in byte order of their names. Entries that are folders or
// other special files (FIFOs, devices) are left out; a name that cannot be looked at is kept,
// so that the run reports it. Throws FileError naming the folder when one cannot be read.
std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths);

}  // namespace sorbit::cli
