// Arbitrary bytes as an archive, exported: there must be one JSON line a message, each the
// object of the fourteen keys with every string closed and nothing raw in it (the tests parse
// the lines with Python's json module; this scan finds the same faults fast); every page of
// every board must be valid UTF-8, hold no control byte but TAB and LF, and hold "<" only
// where the export's own tags begin, so that nothing of the input stands in a page unescaped.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Archive.h"
#include "export/MessageLines.h"
#include "export/SiteLayout.h"
#include "export/SitePages.h"
#include "text/Cp932.h"

namespace {

using namespace sorbit;

// Whether `rest` begins with one of the tags the pages are made of.
bool IsOwnTag(std::string_view rest) {
  static constexpr std::string_view kNames[] = {
      "!DOCTYPE", "html",    "head",  "meta",  "title", "link", "body", "header", "nav",
      "main",     "h1",      "h2",    "p",     "a",     "span", "pre",  "ul",     "li",
      "strong",   "article", "table", "thead", "tbody", "tr",   "th",   "td"};
  rest.remove_prefix(rest.starts_with("</") ? 2 : 1);
  for (std::string_view name : kNames) {
    if (rest.size() > name.size() && rest.starts_with(name) &&
        (rest[name.size()] == ' ' || rest[name.size()] == '>')) {
      return true;
    }
  }
  return false;
}

// A JSON line: outside strings only the export's punctuation, numbers and literals; inside
// them valid UTF-8 without a control byte; the keys in their order.
void CheckJsonLine(std::string_view line) {
  static constexpr std::string_view kKeys[] = {"file",  "offset", "index", "board", "no",
                                               "reply", "parent", "date",  "time",  "handle",
                                               "id",    "title",  "body",  "lossy"};
  std::size_t keys = 0;
  for (std::size_t at = 0; at < line.size();) {
    const char c = line[at];
    if (c != '"') {
      if (std::string_view("{}:,-0123456789nultrefas").find(c) == std::string_view::npos) {
        std::abort();
      }
      ++at;
      continue;
    }
    const std::size_t begin = ++at;
    char32_t code_point = 0;
    for (std::size_t length; at < line.size() && line[at] != '"'; at += length) {
      length = line[at] == '\\' ? 2 : text::ReadUtf8Char(line, at, code_point);
      if (length == 0 || static_cast<unsigned char>(line[at]) < 0x20) std::abort();
    }
    if (at >= line.size()) std::abort();
    // Keys stand after "{" or ",".
    if (begin >= 2 && (line[begin - 2] == '{' || line[begin - 2] == ',')) {
      if (keys >= std::size(kKeys) || line.substr(begin, at - begin) != kKeys[keys++]) std::abort();
    }
    ++at;
  }
  if (keys != std::size(kKeys) || !line.starts_with("{") || !line.ends_with("}")) std::abort();
}

void CheckPage(std::string_view page) {
  for (std::size_t at = 0; at < page.size();) {
    char32_t c = 0;
    const std::size_t length = text::ReadUtf8Char(page, at, c);
    if (length == 0 || (c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) std::abort();
    if (c == '<' && !IsOwnTag(page.substr(at))) std::abort();
    at += length;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = "/tmp/sorbit-export-fuzz-" + std::to_string(::getpid()) + ".log";
  {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size) std::abort();
    std::fclose(file);
  }
  std::unique_ptr<archive::Archive> archive = archive::Archive::Open(path);
  archive->BuildIndex();

  std::string json;
  {
    exporter::StringSink sink(json);
    exporter::OutputBuffer out(sink);
    exporter::WriteMessageLines(*archive, path, exporter::LineFormat::kJson, out);
    out.Flush();
  }
  std::size_t lines = 0;
  for (std::size_t at = 0, lf; (lf = json.find('\n', at)) != std::string::npos; at = lf + 1) {
    CheckJsonLine(std::string_view(json).substr(at, lf - at));
    ++lines;
  }
  if (lines != archive->MessageCount()) std::abort();

  std::vector<std::uint32_t> page_of(archive->MessageCount(), archive::kNone);
  for (std::uint32_t b = 0; b < archive->Boards().size(); ++b) {
    const exporter::BoardLayout layout = exporter::LayOutBoard(*archive, b, page_of);
    exporter::BoardSummary summary;
    text::AppendCp932AsUtf8(archive->Boards()[b].name, summary.name);
    exporter::BoardPages pages(*archive, layout, page_of, summary);
    for (std::uint32_t p = 0; p < layout.PageCount() + layout.IndexPageCount(); ++p) {
      std::string page;
      exporter::StringSink sink(page);
      exporter::OutputBuffer out(sink);
      if (p < layout.PageCount()) {
        pages.WriteThreadPage(p, out);
      } else {
        pages.WriteIndexPage(p - layout.PageCount(), out);
      }
      out.Flush();
      CheckPage(page);
    }
  }
  ::unlink(path.c_str());
  return 0;
}
