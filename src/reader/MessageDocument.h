// The message pane's text: one message laid out for reading in a QTextDocument.
//
//   title                                   (bold; "Re: N" references are links)
//   No. 12   ハンドル: …   ID: …   日付: …
//   親発言: No. 10 …                          (a link; or a note that the original is not in
//   返信: No. 13  No. 15                       the log; replies as links, in file order)
//   ─────
//   body lines                              (quoted lines, "> " or "＞", set apart)
//
// Links are URLs the window follows: kMessageScheme ("sorbit-message:N", message N of the
// archive) and kReferenceScheme ("sorbit-reference:DIGITS", a "Re: N" reference that the window
// resolves with Archive::FindNumbered when it is followed, so that showing a message costs no
// lookup). Search matches (archive/Search.h FindInMessage) are drawn highlighted, and their
// places in the document are returned in the order they stand, for stepping through them.
#pragma once

#include <QString>
#include <cstdint>
#include <utility>
#include <vector>

#include "archive/Archive.h"
#include "archive/Search.h"

class QTextDocument;

namespace sorbit::reader {

inline constexpr char kMessageScheme[] = "sorbit-message";
inline constexpr char kReferenceScheme[] = "sorbit-reference";

// A span of the document in its own positions (UTF-16 units): [begin, end).
struct DocumentSpan {
  int begin = 0;
  int end = 0;
};

// Replaces the document's content with `message`; returns where each match of `matches`
// stands, in the order given (matches in fields the document does not show are left out).
std::vector<DocumentSpan> FillMessageDocument(QTextDocument& document,
                                              const archive::Archive& archive,
                                              std::uint32_t message,
                                              const std::vector<archive::TextMatch>& matches);

// Whether a body line is a quotation: its first character other than blanks is ">" or "＞".
bool IsQuotedLine(std::string_view utf8_line);

}  // namespace sorbit::reader
