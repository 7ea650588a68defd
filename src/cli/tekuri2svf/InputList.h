// The input files of a command line: the LOGFILE arguments, with each folder among them
// replaced by the logs directly in it.
#pragma once

#include <string>
#include <vector>

#include "convert/FileSystem.h"

namespace sorbit::cli {

// `paths` (absolute) in order, each folder replaced by the files directly in it whose names
// end in ".log" in any letter case (EndsInLog), in byte order of their names. Entries that are
// folders or other special files (FIFOs, devices) are left out; a name that cannot be looked at is
// kept, so that the run reports it. Throws FileError naming the folder when one cannot be read.
std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths);

}  // namespace sorbit::cli
