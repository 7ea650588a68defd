// Writing the static site into its folder.
//
// DIR/style.css and DIR/index.html (the boards), and a folder a board (export/FolderNames.h)
// holding its index pages and thread pages (export/SiteLayout.h, export/SitePages.h). Each
// file is written into a hidden temporary file beside it and renamed over its name only when
// whole (export/FileOutput.h).
//
// The export writes nothing but those files and touches no other file in DIR. Before it
// writes any, it looks at every name it is about to write: a board folder must be a folder
// (not a link), and a file that stands under a page's name must be a regular file that the
// export wrote (it begins as every page does, SitePages.h); otherwise it stops with an error
// and writes nothing. So an export into a folder of other files, or a second export over the
// first, is safe; pages that a later export no longer writes stay as they were.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Archive.h"

namespace sorbit::exporter {

struct SiteSource {
  std::string path;                           // as given
  const archive::Archive* archive = nullptr;  // indexed
};

struct SiteReport {
  // Called now and then with the messages written so far and in all.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  // An error, in words that name the file.
  std::function<void(std::string_view)> error;
};

// Writes the site of `sources` into `dir` (made when missing; its parent must exist). True
// when every file was written; otherwise the error was reported, and the files that had been
// written stay (each of them whole). A page read from an input that another program cut short
// meanwhile (Archive::FileTruncated) is not written, and the export stops there.
bool WriteSite(const std::string& dir, const std::vector<SiteSource>& sources,
               const SiteReport& report);

}  // namespace sorbit::exporter
