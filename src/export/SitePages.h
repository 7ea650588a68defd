// The HTML of the site's pages, written into an output buffer: the site's index of boards,
// a board's index pages (its threads as nested lists) and its thread pages (each message with
// an anchor "m" + its "index", its header, links to its parent and replies, and its body).
//
// Every text of a message is escaped (export/Escape.h); "Re: N" in a title or a body line
// (archive/References.h) links to the message that Archive::FindNumbered names, wherever in
// the board it is; a body line that begins with ">" or "＞" is a quote, set apart. Lists nest
// to kMaxNesting levels, deeper replies stand at that level, so a chain of replies of any
// length makes a page a browser can show. Every page begins with kPageStart, which marks it
// as the export's own; the style sheet with kStyleSheetStart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Archive.h"
#include "export/OutputBuffer.h"
#include "export/PieceDecoder.h"
#include "export/SiteLayout.h"

namespace sorbit::exporter {

inline constexpr std::string_view kPageStart =
    "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
    "<meta name=\"generator\" content=\"sorbit-export\">\n";
inline constexpr std::string_view kStyleSheetStart = "/* sorbit-export */\n";
inline constexpr std::uint32_t kMaxNesting = 8;

std::string_view StyleSheet();

// One board's line in the site's index.
struct BoardSummary {
  std::string name;    // UTF-8
  std::string folder;  // its folder's name (export/FolderNames.h)
  std::string file;    // the input file's name, UTF-8
  std::uint32_t messages = 0;
  archive::WhenKey first = archive::kFirstUndatedKey;  // undated: none
  archive::WhenKey last = archive::kFirstUndatedKey;
};

void WriteSiteIndex(const std::vector<BoardSummary>& boards, OutputBuffer& out);

class BoardPages {
 public:
  // `page_of` is LayOutBoard's; `summary` the board's line of the site index.
  BoardPages(const archive::Archive& archive, const BoardLayout& layout,
             const std::vector<std::uint32_t>& page_of, const BoardSummary& summary);

  // Each calls out.WriteFullBlocks() as it goes, so a page of any size streams.
  void WriteThreadPage(std::uint32_t page, OutputBuffer& out);
  void WriteIndexPage(std::uint32_t index_page, OutputBuffer& out);

 private:
  void Head(std::string_view title_cp932, std::string_view title_utf8, OutputBuffer& out);
  void Text(std::string_view cp932, OutputBuffer& out);
  // Text with its "Re: N" references made links, read in message `from` of page `page`.
  void LinkedText(std::string_view cp932, std::uint32_t from, std::uint32_t page,
                  OutputBuffer& out);
  void MessageLink(std::uint32_t target, std::uint32_t page, OutputBuffer& out);
  void NumberLabel(std::uint32_t message, OutputBuffer& out);
  void Message(std::uint32_t message, std::uint32_t depth, std::uint32_t page, OutputBuffer& out);
  void Body(std::string_view body, std::uint32_t from, std::uint32_t page, OutputBuffer& out);
  void IndexItem(std::uint32_t message, std::uint32_t page, OutputBuffer& out);
  void Navigation(std::uint32_t page, OutputBuffer& out);

  const archive::Archive& archive_;
  const BoardLayout& layout_;
  const std::vector<std::uint32_t>& page_of_;
  const BoardSummary& summary_;
  PieceDecoder decoder_;
  archive::RawMessage raw_;
  archive::RawMessage other_;  // for a label of another message
  std::string piece_;
  // The decoder's flag, not read: a page simply shows U+FFFD where a byte did not decode.
  bool lossy_ = false;
};

}  // namespace sorbit::exporter
