// The pages of the site as HTML.
#include "export/SitePages.h"

#include <charconv>
#include <cstdio>

#include "archive/Fields.h"
#include "archive/References.h"
#include "export/Escape.h"

namespace sorbit::exporter {

namespace {

using archive::kNone;

constexpr std::string_view kStyleSheet = R"(/* sorbit-export */
body { font-family: sans-serif; line-height: 1.5; margin: 0 auto; max-width: 60em; padding: 0 1em; }
header nav, nav.pages { font-size: 0.9em; margin: 0.5em 0; }
table.boards { border-collapse: collapse; }
table.boards th, table.boards td { border-bottom: 1px solid #ccc; padding: 0.2em 0.6em; text-align: left; }
table.boards td.count { text-align: right; }
ul.tree { padding-left: 1.2em; }
ul.tree ul { padding-left: 1.2em; }
.handle { color: #063; }
.date, .time, .id { color: #555; }
article.msg { border-top: 1px solid #ccc; padding: 0.3em 0; }
article.msg h2 { font-size: 1.05em; margin: 0.2em 0; }
article.msg p { margin: 0.2em 0; font-size: 0.9em; }
article.d1 { margin-left: 1.5em; }
article.d2 { margin-left: 3em; }
article.d3 { margin-left: 4.5em; }
article.d4 { margin-left: 6em; }
article.d5 { margin-left: 7.5em; }
article.d6 { margin-left: 9em; }
article.d7 { margin-left: 10.5em; }
article.d8 { margin-left: 12em; }
pre.body { font-family: monospace; white-space: pre-wrap; overflow-wrap: anywhere; margin: 0.4em 0; }
.quote { color: #666; }
.missing { color: #a00; }
)";

void Unsigned(std::uint64_t value, OutputBuffer& out) {
  char* const at = out.Room(20);
  out.SetEnd(std::to_chars(at, at + 20, value).ptr);
}

// "1,234".
void Count(std::uint32_t value, OutputBuffer& out) {
  const std::string digits = std::to_string(value);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.Append(',');
    out.Append(digits[i]);
  }
}

// "1998-12-31", or "-" for a key without a date.
void IsoDate(archive::WhenKey key, OutputBuffer& out) {
  const std::optional<archive::CalendarDate> date = archive::DateOfKey(key);
  if (!date) {
    out.Append('-');
    return;
  }
  char text[16];
  const int n =
      std::snprintf(text, sizeof text, "%04d-%02d-%02d", date->year, date->month, date->day);
  out.Append(std::string_view(text, static_cast<std::size_t>(n)));
}

// A folder name in a link: its bytes outside ASCII percent-encoded (the rest is [a-z0-9_-]).
void FolderHref(std::string_view folder, OutputBuffer& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : folder) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x80) {
      out.Append(c);
    } else {
      out.Append('%');
      out.Append(kHex[byte >> 4]);
      out.Append(kHex[byte & 15]);
    }
  }
}

void PageHead(OutputBuffer& out) {
  out.Append(kPageStart);
  out.Append("<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
}

void PageHeadEnd(std::string_view css, OutputBuffer& out) {
  out.Append("</title>\n<link rel=\"stylesheet\" href=\"");
  out.Append(css);
  out.Append("\">\n</head>\n<body>\n");
}

constexpr std::string_view kPageEnd = "</main>\n</body>\n</html>\n";

// Whether a field shows anything: a span of blanks alone is not worth an element.
bool Shows(std::string_view field) { return !archive::WithoutBlanks(field).empty(); }

bool IsQuote(std::string_view line) {
  return line.starts_with('>') || line.starts_with("\x81\x84");
}

}  // namespace

std::string_view StyleSheet() { return kStyleSheet; }

void WriteSiteIndex(const std::vector<BoardSummary>& boards, OutputBuffer& out) {
  PageHead(out);
  out.Append("掲示板の一覧");
  PageHeadEnd("style.css", out);
  out.Append("<header>\n<h1>掲示板の一覧</h1>\n</header>\n<main>\n");
  if (boards.empty()) {
    out.Append("<p>掲示板はありません。</p>\n");
  } else {
    out.Append(
        "<table class=\"boards\">\n<thead>\n<tr><th>掲示板</th><th>件数</th><th>最初の日付</th>"
        "<th>最後の日付</th><th>ファイル</th></tr>\n</thead>\n<tbody>\n");
    for (const BoardSummary& board : boards) {
      out.Append("<tr><td><a href=\"");
      FolderHref(board.folder, out);
      out.Append("/index.html\">");
      AppendHtmlEscaped(board.name.empty() ? std::string_view("(名前なし)") : board.name, out);
      out.Append("</a></td><td class=\"count\">");
      Count(board.messages, out);
      out.Append("</td><td>");
      IsoDate(board.first, out);
      out.Append("</td><td>");
      IsoDate(board.last, out);
      out.Append("</td><td>");
      AppendHtmlEscaped(board.file, out);
      out.Append("</td></tr>\n");
    }
    out.Append("</tbody>\n</table>\n");
  }
  out.Append(kPageEnd);
}

BoardPages::BoardPages(const archive::Archive& archive, const BoardLayout& layout,
                       const std::vector<std::uint32_t>& page_of, const BoardSummary& summary)
    : archive_(archive), layout_(layout), page_of_(page_of), summary_(summary) {}

void BoardPages::Text(std::string_view cp932, OutputBuffer& out) {
  decoder_.Decode(cp932, lossy_, [&out](std::string_view utf8) { AppendHtmlEscaped(utf8, out); });
}

void BoardPages::MessageLink(std::uint32_t target, std::uint32_t page, OutputBuffer& out) {
  out.Append("<a href=\"");
  if (page_of_[target] != page) out.Append(layout_.PageName(page_of_[target]));
  out.Append("#m");
  Unsigned(target, out);
  out.Append("\">");
}

void BoardPages::LinkedText(std::string_view cp932, std::uint32_t from, std::uint32_t page,
                            OutputBuffer& out) {
  decoder_.Decode(cp932, lossy_, [&](std::string_view utf8) {
    std::size_t done = 0;
    for (const archive::Reference& reference : archive::FindReferences(utf8)) {
      const std::uint32_t target = archive_.FindNumbered(layout_.board, reference.digits, from);
      if (target == kNone) continue;
      AppendHtmlEscaped(utf8.substr(done, reference.begin - done), out);
      MessageLink(target, page, out);
      AppendHtmlEscaped(utf8.substr(reference.begin, reference.end - reference.begin), out);
      out.Append("</a>");
      done = reference.end;
    }
    AppendHtmlEscaped(utf8.substr(done), out);
  });
}

void BoardPages::NumberLabel(std::uint32_t message, OutputBuffer& out) {
  if (const std::optional<std::uint64_t> value = archive_.Message(message).NoValue()) {
    Unsigned(*value, out);
    return;
  }
  archive_.ReadRaw(message, other_);
  const archive::NumberField no = archive::ReadNumberField(other_.number.no);
  if (no.digits.empty()) {
    out.Append("番号なし");
  } else {
    Text(no.digits, out);
  }
}

void BoardPages::Head(std::string_view title_cp932, std::string_view title_utf8,
                      OutputBuffer& out) {
  PageHead(out);
  if (!title_cp932.empty()) {
    Text(title_cp932, out);
    out.Append(" - ");
  }
  AppendHtmlEscaped(title_utf8, out);
  PageHeadEnd("../style.css", out);
}

void BoardPages::Body(std::string_view body, std::uint32_t from, std::uint32_t page,
                      OutputBuffer& out) {
  body = archive::WithoutFinalLineEnd(body);
  if (body.empty()) return;
  out.Append("<pre class=\"body\">");
  // A page reader drops a line break just after <pre>: an empty first line needs another.
  if (body.front() == '\n' || body.starts_with("\r\n")) out.Append('\n');
  for (std::size_t at = 0;;) {
    const std::size_t lf = body.find('\n', at);
    std::string_view line = body.substr(at, lf == std::string_view::npos ? lf : lf - at);
    if (lf != std::string_view::npos && line.ends_with('\r')) line.remove_suffix(1);
    if (IsQuote(line)) {
      out.Append("<span class=\"quote\">");
      LinkedText(line, from, page, out);
      out.Append("</span>");
    } else {
      LinkedText(line, from, page, out);
    }
    if (lf == std::string_view::npos) break;
    out.Append('\n');
    at = lf + 1;
    out.WriteFullBlocks();
  }
  out.Append("</pre>\n");
}

void BoardPages::Message(std::uint32_t message, std::uint32_t depth, std::uint32_t page,
                         OutputBuffer& out) {
  const archive::MessageEntry& entry = archive_.Message(message);
  archive_.ReadRaw(message, raw_);
  out.Append("<article class=\"msg d");
  Unsigned(std::min(depth, kMaxNesting), out);
  out.Append("\" id=\"m");
  Unsigned(message, out);
  out.Append("\">\n<h2><a href=\"#m");
  Unsigned(message, out);
  out.Append("\">");
  NumberLabel(message, out);
  out.Append("</a> ");
  LinkedText(raw_.number.title, message, page, out);
  out.Append("</h2>\n");

  const archive::MsgLineFields& fields = raw_.msg;
  if (Shows(fields.handle) || Shows(fields.id) || Shows(fields.date) || Shows(fields.time)) {
    out.Append("<p class=\"meta\">");
    const std::pair<std::string_view, std::string_view> spans[] = {
        {"handle", fields.handle}, {"id", fields.id}, {"date", fields.date}, {"time", fields.time}};
    bool first = true;
    for (const auto& [name, value] : spans) {
      if (!Shows(value)) continue;
      if (!first) out.Append(' ');
      first = false;
      out.Append("<span class=\"");
      out.Append(name);
      out.Append("\">");
      Text(value, out);
      out.Append("</span>");
    }
    out.Append("</p>\n");
  }

  if (entry.Parent() != kNone) {
    out.Append("<p class=\"links\">返信先 ");
    MessageLink(entry.Parent(), page, out);
    NumberLabel(entry.Parent(), out);
    out.Append("</a></p>\n");
  } else if (entry.OriginalMissing()) {
    out.Append("<p class=\"links missing\">返信先 ");
    Text(archive::ReadNumberField(raw_.number.reply).digits, out);
    out.Append(" はログにありません</p>\n");
  }
  if (entry.FirstChild() != kNone) {
    out.Append("<p class=\"links\">返信");
    for (std::uint32_t child = entry.FirstChild(); child != kNone;
         child = archive_.Message(child).NextSibling()) {
      out.Append(' ');
      MessageLink(child, page, out);
      NumberLabel(child, out);
      out.Append("</a>");
    }
    out.Append("</p>\n");
  }
  Body(raw_.body, message, page, out);
  out.Append("</article>\n");
  out.WriteFullBlocks();
}

void BoardPages::Navigation(std::uint32_t page, OutputBuffer& out) {
  out.Append("<header>\n<nav><a href=\"../index.html\">掲示板の一覧</a> &gt; <a href=\"");
  out.Append(IndexPageName(layout_.IndexPageOf(page)));
  out.Append("\">");
  AppendHtmlEscaped(summary_.name.empty() ? std::string_view("(名前なし)") : summary_.name, out);
  out.Append("</a></nav>\n");
  if (layout_.PageCount() > 1) {
    out.Append("<nav class=\"pages\">");
    if (page > 0) {
      out.Append("<a href=\"");
      out.Append(layout_.PageName(page - 1));
      out.Append("\" rel=\"prev\">前のページ</a>");
    }
    if (page + 1 < layout_.PageCount()) {
      if (page > 0) out.Append(' ');
      out.Append("<a href=\"");
      out.Append(layout_.PageName(page + 1));
      out.Append("\" rel=\"next\">次のページ</a>");
    }
    out.Append("</nav>\n");
  }
  out.Append("</header>\n<main>\n");
}

void BoardPages::WriteThreadPage(std::uint32_t page, OutputBuffer& out) {
  const std::uint32_t first_root = layout_.threads[layout_.page_first[page]];
  archive_.ReadRaw(first_root, raw_);
  Head(raw_.number.title, summary_.name, out);
  Navigation(page, out);
  for (std::uint32_t t = layout_.page_first[page]; t < layout_.page_first[page + 1]; ++t) {
    WalkThread(archive_, layout_.threads[t], [&](std::uint32_t message, std::uint32_t depth) {
      Message(message, depth, page, out);
    });
  }
  out.Append(kPageEnd);
}

void BoardPages::IndexItem(std::uint32_t message, std::uint32_t page, OutputBuffer& out) {
  archive_.ReadRaw(message, raw_);
  out.Append("<a href=\"");
  out.Append(layout_.PageName(page));
  out.Append("#m");
  Unsigned(message, out);
  out.Append("\">");
  NumberLabel(message, out);
  out.Append("</a> ");
  Text(raw_.number.title, out);
  if (Shows(raw_.msg.handle)) {
    out.Append(" <span class=\"handle\">");
    Text(raw_.msg.handle, out);
    out.Append("</span>");
  }
  if (Shows(raw_.msg.date) || Shows(raw_.msg.time)) {
    out.Append(" <span class=\"date\">");
    Text(raw_.msg.date, out);
    if (!raw_.msg.date.empty() && !raw_.msg.time.empty()) out.Append(' ');
    Text(raw_.msg.time, out);
    out.Append("</span>");
  }
}

void BoardPages::WriteIndexPage(std::uint32_t index_page, OutputBuffer& out) {
  const std::uint32_t pages = layout_.IndexPageCount();
  PageHead(out);
  AppendHtmlEscaped(summary_.name, out);
  if (pages > 1) {
    out.Append(" (");
    Unsigned(index_page + 1, out);
    out.Append('/');
    Unsigned(pages, out);
    out.Append(')');
  }
  out.Append(" - 掲示板の一覧");
  PageHeadEnd("../style.css", out);
  out.Append("<header>\n<nav><a href=\"../index.html\">掲示板の一覧</a></nav>\n<h1>");
  AppendHtmlEscaped(summary_.name.empty() ? std::string_view("(名前なし)") : summary_.name, out);
  out.Append("</h1>\n<p>");
  Count(summary_.messages, out);
  out.Append(" 件 ");
  IsoDate(summary_.first, out);
  out.Append(" 〜 ");
  IsoDate(summary_.last, out);
  out.Append("</p>\n</header>\n<main>\n");
  auto page_list = [&] {
    if (pages <= 1) return;
    out.Append("<nav class=\"pages\">ページ");
    for (std::uint32_t j = 0; j < pages; ++j) {
      out.Append(' ');
      if (j == index_page) {
        out.Append("<strong>");
        Unsigned(j + 1, out);
        out.Append("</strong>");
      } else {
        out.Append("<a href=\"");
        out.Append(IndexPageName(j));
        out.Append("\">");
        Unsigned(j + 1, out);
        out.Append("</a>");
      }
    }
    out.Append("</nav>\n");
  };
  page_list();
  out.Append("<ul class=\"tree\">\n");
  for (std::uint32_t page = layout_.index_first[index_page];
       page < layout_.index_first[index_page + 1]; ++page) {
    for (std::uint32_t t = layout_.page_first[page]; t < layout_.page_first[page + 1]; ++t) {
      // Nesting: `open` lists are open below the top one; a message at depth d stands in a
      // list min(d, kMaxNesting) below it.
      std::uint32_t open = 0;
      WalkThread(archive_, layout_.threads[t], [&](std::uint32_t message, std::uint32_t depth) {
        const std::uint32_t level = std::min(depth, kMaxNesting);
        if (depth == 0) {
          out.Append("<li>");
        } else if (level > open) {
          out.Append("\n<ul>\n<li>");
          open = level;
        } else {
          for (; open > level; --open) out.Append("</li>\n</ul>\n");
          out.Append("</li>\n<li>");
        }
        IndexItem(message, page, out);
        out.WriteFullBlocks();
      });
      for (; open > 0; --open) out.Append("</li>\n</ul>\n");
      out.Append("</li>\n");
    }
  }
  out.Append("</ul>\n");
  page_list();
  out.Append(kPageEnd);
}

}  // namespace sorbit::exporter
