// Laying out one message in a QTextDocument: header lines, links, quotations, highlights.
#include "reader/MessageDocument.h"

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>
#include <string>
#include <string_view>

#include "archive/References.h"

namespace sorbit::reader {

namespace {

using archive::kNone;

QString Utf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString MessageHref(std::uint32_t message) {
  return QStringLiteral("%1:%2").arg(QLatin1String(kMessageScheme)).arg(message);
}

// A link over a field's bytes [begin, end).
struct Link {
  std::size_t begin = 0;
  std::size_t end = 0;
  QString href;
};

// A field's match [begin, end) and its place in the caller's list of matches.
struct Highlight {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t match = 0;
};

class Writer {
 public:
  Writer(QTextDocument& document, std::vector<DocumentSpan>& spans)
      : cursor_(&document), spans_(spans) {}

  void StartBlock(const QTextBlockFormat& format) {
    if (first_block_) {
      cursor_.setBlockFormat(format);
      first_block_ = false;
    } else {
      cursor_.insertBlock(format);
    }
  }

  void Plain(const QString& text, const QTextCharFormat& format) {
    cursor_.insertText(text, format);
  }

  void Anchor(const QString& text, const QString& href, QTextCharFormat format,
              const QString& tool_tip = {}) {
    MakeLink(format, href);
    if (!tool_tip.isEmpty()) format.setToolTip(tool_tip);
    cursor_.insertText(text, format);
  }

  // The bytes [base, base + text.size()) of a field, with the links and highlights that fall
  // in them; both are ascending and none crosses the piece's ends.
  void Marked(std::string_view text, std::size_t base, const std::vector<Link>& links,
              const std::vector<Highlight>& highlights, const QTextCharFormat& format) {
    const std::size_t end = base + text.size();
    std::vector<std::size_t> cuts = {base, end};
    for (const Link& link : links) {
      if (link.begin >= base && link.end <= end) cuts.insert(cuts.end(), {link.begin, link.end});
    }
    for (const Highlight& h : highlights) {
      if (h.begin >= base && h.end <= end) cuts.insert(cuts.end(), {h.begin, h.end});
    }
    std::sort(cuts.begin(), cuts.end());
    cuts.erase(std::unique(cuts.begin(), cuts.end()), cuts.end());
    for (const Highlight& h : highlights) {  // empty matches stand where they are
      if (h.begin == h.end && h.begin >= base && h.begin <= end) {
        spans_[h.match] = {cursor_.position() + Utf16Length(text.substr(0, h.begin - base)),
                           cursor_.position() + Utf16Length(text.substr(0, h.begin - base))};
      }
    }
    for (std::size_t c = 0; c + 1 < cuts.size(); ++c) {
      const std::size_t from = cuts[c];
      const std::size_t to = cuts[c + 1];
      QTextCharFormat piece = format;
      for (const Link& link : links) {
        if (link.begin <= from && to <= link.end) MakeLink(piece, link.href);
      }
      const int position = cursor_.position();
      const Highlight* inside = nullptr;
      for (const Highlight& h : highlights) {
        if (h.begin <= from && to <= h.end) {
          piece.setBackground(QColor(0xFF, 0xEB, 0x3B));
          inside = &h;
        }
      }
      cursor_.insertText(Utf8(text.substr(from - base, to - from)), piece);
      if (inside != nullptr) {
        if (from == inside->begin) spans_[inside->match].begin = position;
        if (to == inside->end) spans_[inside->match].end = cursor_.position();
      }
    }
  }

 private:
  static int Utf16Length(std::string_view utf8) { return static_cast<int>(Utf8(utf8).size()); }
  static void MakeLink(QTextCharFormat& format, const QString& href) {
    format.setAnchor(true);
    format.setAnchorHref(href);
    format.setForeground(QColor(0x1A, 0x4F, 0xB0));
    format.setFontUnderline(true);
  }

  QTextCursor cursor_;
  std::vector<DocumentSpan>& spans_;
  bool first_block_ = true;
};

std::vector<Link> ReferenceLinks(std::string_view text) {
  std::vector<Link> links;
  for (const archive::Reference& reference : archive::FindReferences(text)) {
    links.push_back(
        {reference.begin, reference.end,
         QStringLiteral("%1:%2").arg(QLatin1String(kReferenceScheme), Utf8(reference.digits))});
  }
  return links;
}

std::vector<Highlight> HighlightsOf(const std::vector<archive::TextMatch>& matches,
                                    std::uint8_t field) {
  std::vector<Highlight> found;
  for (std::size_t m = 0; m < matches.size(); ++m) {
    if (matches[m].field == field) found.push_back({matches[m].begin, matches[m].end, m});
  }
  return found;
}

QString NumberLabel(const archive::Archive& archive, std::uint32_t message,
                    archive::RawMessage& raw) {
  archive.ReadRaw(message, raw);
  std::string no;
  archive::AppendFieldAsUtf8(raw.number.no, no);
  return QStringLiteral("No. ") + Utf8(no).trimmed();
}

QString TitleOf(const archive::Archive& archive, std::uint32_t message, archive::RawMessage& raw) {
  archive.ReadRaw(message, raw);
  std::string title;
  archive::AppendFieldAsUtf8(raw.number.title, title);
  return Utf8(title);
}

}  // namespace

bool IsQuotedLine(std::string_view line) {
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  line.remove_prefix(first);
  return line.starts_with('>') || line.starts_with("\xEF\xBC\x9E");  // ">" or "＞"
}

std::vector<DocumentSpan> FillMessageDocument(QTextDocument& document,
                                              const archive::Archive& archive,
                                              std::uint32_t message,
                                              const std::vector<archive::TextMatch>& matches) {
  document.clear();
  std::vector<DocumentSpan> spans(matches.size());
  archive::MessageText text;
  archive::RawMessage raw;
  archive.ReadText(message, text, raw);
  const archive::MessageEntry& entry = archive.Message(message);
  Writer out(document, spans);

  QTextCharFormat plain;
  QTextCharFormat label;
  label.setForeground(QColor(0x60, 0x60, 0x60));
  QTextBlockFormat header;
  header.setBottomMargin(2);

  QTextCharFormat title = plain;
  title.setFontWeight(QFont::Bold);
  title.setProperty(QTextFormat::FontSizeAdjustment, 1);
  QTextBlockFormat title_block;
  title_block.setBottomMargin(6);
  out.StartBlock(title_block);
  out.Marked(text.title, 0, ReferenceLinks(text.title),
             HighlightsOf(matches, archive::kSearchTitle), title);

  out.StartBlock(header);
  out.Plain(QStringLiteral("No. ") + Utf8(text.no).trimmed() + QStringLiteral("　　"), plain);
  out.Plain(QStringLiteral("ハンドル: "), label);
  out.Marked(text.handle, 0, {}, HighlightsOf(matches, archive::kSearchHandle), plain);
  if (!text.id.empty() && text.id != " ") {
    out.Plain(QStringLiteral("　　"), plain);
    out.Plain(QStringLiteral("ID: "), label);
    out.Plain(Utf8(text.id), plain);
  }
  out.Plain(QStringLiteral("　　"), plain);
  out.Plain(QStringLiteral("日付: "), label);
  out.Plain(Utf8(text.date) + QLatin1Char(' ') + Utf8(text.time), plain);

  if (entry.Parent() != kNone) {
    out.StartBlock(header);
    out.Plain(QStringLiteral("親発言: "), label);
    out.Anchor(NumberLabel(archive, entry.Parent(), raw), MessageHref(entry.Parent()), plain,
               TitleOf(archive, entry.Parent(), raw));
    out.Plain(QStringLiteral("  ") + TitleOf(archive, entry.Parent(), raw), label);
  } else if (entry.OriginalMissing()) {
    out.StartBlock(header);
    out.Plain(QStringLiteral("返信先の発言 (No. ") + Utf8(text.reply).trimmed() +
                  QStringLiteral(") はこのログにありません"),
              label);
  }
  if (entry.FirstChild() != kNone) {
    out.StartBlock(header);
    out.Plain(QStringLiteral("返信: "), label);
    for (std::uint32_t child = entry.FirstChild(); child != kNone;
         child = archive.Message(child).NextSibling()) {
      out.Anchor(NumberLabel(archive, child, raw), MessageHref(child), plain,
                 TitleOf(archive, child, raw));
      out.Plain(QStringLiteral("  "), plain);
    }
  }

  QTextBlockFormat rule;
  rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth, 1);
  rule.setBottomMargin(6);
  out.StartBlock(rule);

  const std::vector<Link> links = ReferenceLinks(text.body);
  const std::vector<Highlight> highlights = HighlightsOf(matches, archive::kSearchBody);
  QTextBlockFormat body;
  QTextBlockFormat quoted;
  quoted.setLeftMargin(12);
  quoted.setBackground(QColor(0xEE, 0xF3, 0xEC));
  QTextCharFormat quoted_text = plain;
  quoted_text.setForeground(QColor(0x3C, 0x6E, 0x47));
  const std::string_view all = text.body;
  std::size_t next_link = 0;
  std::size_t next_highlight = 0;
  std::vector<Link> line_links;
  std::vector<Highlight> line_highlights;
  for (std::size_t at = 0; at <= all.size();) {
    std::size_t end = all.find('\n', at);
    if (end == std::string_view::npos) end = all.size();
    const std::string_view line = all.substr(at, end - at);
    // Neither a reference nor a match crosses a line end.
    line_links.clear();
    for (; next_link < links.size() && links[next_link].begin <= end; ++next_link) {
      line_links.push_back(links[next_link]);
    }
    line_highlights.clear();
    for (; next_highlight < highlights.size() && highlights[next_highlight].begin <= end;
         ++next_highlight) {
      line_highlights.push_back(highlights[next_highlight]);
    }
    const bool is_quote = IsQuotedLine(line);
    out.StartBlock(is_quote ? quoted : body);
    out.Marked(line, at, line_links, line_highlights, is_quote ? quoted_text : plain);
    at = end + 1;
  }
  return spans;
}

}  // namespace sorbit::reader
