// The site's files: planned, checked, then written one by one.
#include "export/Site.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "export/FileOutput.h"
#include "export/FolderNames.h"
#include "export/OutputBuffer.h"
#include "export/SiteLayout.h"
#include "export/SitePages.h"
#include "export/Utf8Path.h"
#include "platform/posix/PosixFile.h"
#include "text/Cp932.h"

namespace sorbit::exporter {

namespace {

struct Board {
  const SiteSource* source = nullptr;
  std::uint32_t board = 0;
  BoardSummary summary;
};

std::string InFolder(const std::string& folder, std::string_view name) {
  std::string path = folder;
  if (!path.ends_with('/')) path += '/';
  path += name;
  return path;
}

std::string Reason(const std::string& path, int error) {
  return "cannot write " + path + ": " + std::strerror(error);
}

enum class Standing { kNothing, kFolder, kOurs, kOther };

// What stands under `path`, not following a link; a regular file is the export's own when it
// begins with `start`.
Standing Look(const std::string& path, std::string_view start) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0)
    return errno == ENOENT ? Standing::kNothing : Standing::kOther;
  if (S_ISDIR(status.st_mode)) return Standing::kFolder;
  if (!S_ISREG(status.st_mode)) return Standing::kOther;
  int error = 0;
  std::optional<platform::OpenedFile> file = platform::OpenRegularFile(path, error);
  if (!file) return Standing::kOther;
  std::string head(start.size(), '\0');
  std::size_t got = 0;
  if (platform::ReadFull(file->fd.get(), head.data(), head.size(), got) != 0 ||
      got != head.size()) {
    return Standing::kOther;
  }
  return head == start ? Standing::kOurs : Standing::kOther;
}

class SiteWriter {
 public:
  SiteWriter(const std::string& dir, const std::vector<SiteSource>& sources,
             const SiteReport& report);
  bool Write();

 private:
  bool Check();
  bool CheckFile(const std::string& path, std::string_view start);
  // `follow`: the folder may be a link to one (DIR itself, which the user named).
  bool CreateFolder(const std::string& path, bool follow);
  // Writes the file that `fill` makes; `source`, when given, must still be whole at the end.
  template <typename Fill>
  bool WriteFile(const std::string& path, const SiteSource* source, Fill&& fill);
  bool WriteBoard(const Board& board, std::vector<std::uint32_t>& page_of);
  std::vector<std::uint32_t>& PageOf(const archive::Archive& archive);

  const std::string& dir_;
  const SiteReport& report_;
  std::vector<Board> boards_;
  std::uint64_t total_ = 0;
  std::uint64_t done_ = 0;
  const archive::Archive* page_of_archive_ = nullptr;
  std::vector<std::uint32_t> page_of_;
};

SiteWriter::SiteWriter(const std::string& dir, const std::vector<SiteSource>& sources,
                       const SiteReport& report)
    : dir_(dir), report_(report) {
  std::vector<std::string> names;
  for (const SiteSource& source : sources) {
    const std::string file = ValidUtf8(platform::NameOfPath(source.path));
    const std::vector<archive::BoardInfo>& infos = source.archive->Boards();
    for (std::uint32_t b = 0; b < infos.size(); ++b) {
      Board board;
      board.source = &source;
      board.board = b;
      text::AppendCp932AsUtf8(infos[b].name, board.summary.name);
      board.summary.file = file;
      board.summary.messages = infos[b].message_count;
      if (infos[b].earliest != archive::kNone) {
        board.summary.first = source.archive->Message(infos[b].earliest).When();
        board.summary.last = source.archive->Message(infos[b].latest).When();
      }
      total_ += infos[b].message_count;
      names.push_back(board.summary.name);
      boards_.push_back(std::move(board));
    }
  }
  const std::vector<std::string> folders = DistinctFolderNames(names);
  for (std::size_t k = 0; k < boards_.size(); ++k) boards_[k].summary.folder = folders[k];
}

std::vector<std::uint32_t>& SiteWriter::PageOf(const archive::Archive& archive) {
  if (page_of_archive_ != &archive) {
    page_of_.assign(archive.MessageCount(), archive::kNone);
    page_of_archive_ = &archive;
  }
  return page_of_;
}

bool SiteWriter::CheckFile(const std::string& path, std::string_view start) {
  const Standing standing = Look(path, start);
  if (standing == Standing::kNothing || standing == Standing::kOurs) return true;
  report_.error(path + " is in the way: it was not written by sorbit-export (nothing was written)");
  return false;
}

bool SiteWriter::Check() {
  struct stat status {};
  if (::stat(dir_.c_str(), &status) == 0) {
    if (!S_ISDIR(status.st_mode)) {
      report_.error(dir_ + " is not a folder");
      return false;
    }
  } else if (errno != ENOENT) {
    report_.error("cannot use " + dir_ + ": " + std::strerror(errno));
    return false;
  } else {
    return true;  // a new folder: nothing is in the way
  }
  if (!CheckFile(InFolder(dir_, "style.css"), kStyleSheetStart) ||
      !CheckFile(InFolder(dir_, "index.html"), kPageStart)) {
    return false;
  }
  for (const Board& board : boards_) {
    const std::string folder = InFolder(dir_, board.summary.folder);
    const Standing standing = Look(folder, {});
    if (standing == Standing::kNothing) continue;
    if (standing != Standing::kFolder) {
      report_.error(folder + " is in the way: it is not a folder (nothing was written)");
      return false;
    }
    const BoardLayout layout =
        LayOutBoard(*board.source->archive, board.board, PageOf(*board.source->archive));
    for (std::uint32_t page = 0; page < layout.PageCount(); ++page) {
      if (!CheckFile(InFolder(folder, layout.PageName(page)), kPageStart)) return false;
    }
    for (std::uint32_t j = 0; j < layout.IndexPageCount(); ++j) {
      if (!CheckFile(InFolder(folder, IndexPageName(j)), kPageStart)) return false;
    }
  }
  return true;
}

bool SiteWriter::CreateFolder(const std::string& path, bool follow) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  const int error = errno;
  struct stat status {};
  // A folder made since the check is as good; anything else is not.
  if (error == EEXIST &&
      (follow ? ::stat(path.c_str(), &status) : ::lstat(path.c_str(), &status)) == 0 &&
      S_ISDIR(status.st_mode)) {
    return true;
  }
  report_.error("cannot make the folder " + path + ": " + std::strerror(error));
  return false;
}

template <typename Fill>
bool SiteWriter::WriteFile(const std::string& path, const SiteSource* source, Fill&& fill) {
  FileSink sink;
  int error = sink.Open(path);
  if (error == 0) {
    OutputBuffer out(sink);
    fill(out);
    error = out.Flush();
    if (source != nullptr && source->archive->FileTruncated()) {
      sink.Abandon();
      report_.error(source->path +
                    ": the file was cut short while it was read; nothing more was written");
      return false;
    }
    if (error == 0) error = sink.Commit();
  }
  if (error != 0) {
    sink.Abandon();
    report_.error(Reason(path, error));
    return false;
  }
  return true;
}

bool SiteWriter::WriteBoard(const Board& board, std::vector<std::uint32_t>& page_of) {
  const archive::Archive& archive = *board.source->archive;
  const std::string folder = InFolder(dir_, board.summary.folder);
  if (!CreateFolder(folder, false)) return false;
  const BoardLayout layout = LayOutBoard(archive, board.board, page_of);
  BoardPages pages(archive, layout, page_of, board.summary);
  for (std::uint32_t page = 0; page < layout.PageCount(); ++page) {
    if (!WriteFile(InFolder(folder, layout.PageName(page)), board.source,
                   [&](OutputBuffer& out) { pages.WriteThreadPage(page, out); })) {
      return false;
    }
    for (std::uint32_t t = layout.page_first[page]; t < layout.page_first[page + 1]; ++t) {
      done_ += layout.thread_sizes[t];
    }
    if (report_.progress) report_.progress(done_, total_);
  }
  for (std::uint32_t j = 0; j < layout.IndexPageCount(); ++j) {
    if (!WriteFile(InFolder(folder, IndexPageName(j)), board.source,
                   [&](OutputBuffer& out) { pages.WriteIndexPage(j, out); })) {
      return false;
    }
  }
  return true;
}

bool SiteWriter::Write() {
  if (!Check()) return false;
  if (!CreateFolder(dir_, true)) return false;
  if (!WriteFile(InFolder(dir_, "style.css"), nullptr,
                 [](OutputBuffer& out) { out.Append(StyleSheet()); })) {
    return false;
  }
  for (const Board& board : boards_) {
    if (!WriteBoard(board, PageOf(*board.source->archive))) return false;
  }
  std::vector<BoardSummary> summaries;
  for (const Board& board : boards_) summaries.push_back(board.summary);
  return WriteFile(InFolder(dir_, "index.html"), nullptr,
                   [&summaries](OutputBuffer& out) { WriteSiteIndex(summaries, out); });
}

}  // namespace

bool WriteSite(const std::string& dir, const std::vector<SiteSource>& sources,
               const SiteReport& report) {
  SiteWriter writer(dir, sources, report);
  return writer.Write();
}

}  // namespace sorbit::exporter
