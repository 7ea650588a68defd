// JSON lines and text, one message after another.
#include "export/MessageLines.h"

#include <charconv>
#include <cstring>
#include <string>

#include "archive/Fields.h"
#include "export/Escape.h"
#include "export/PieceDecoder.h"
#include "export/Utf8Path.h"

namespace sorbit::exporter {

namespace {

using archive::Archive;
using archive::kNone;

constexpr std::uint32_t kProgressEvery = 4096;

class LineWriter {
 public:
  LineWriter(const Archive& archive, std::string_view file, OutputBuffer& out)
      : archive_(archive), out_(out) {
    StringSink sink(file_json_);
    OutputBuffer text(sink);
    text.Append('"');
    AppendJsonEscaped(ValidUtf8(file), text);
    text.Append('"');
    text.Flush();
  }

  void Json(std::uint32_t index);
  void Text(std::uint32_t index);

 private:
  void JsonString(std::string_view cp932, bool body = false) {
    out_.Append('"');
    decoder_.Decode(cp932, lossy_,
                    [this, body](std::string_view utf8) { AppendJsonEscaped(utf8, out_, body); });
    out_.Append('"');
  }
  void JsonNumberField(std::string_view field) {
    const archive::NumberField number = archive::ReadNumberField(field);
    if (number.kind == archive::NumberKind::kNumber) {
      out_.Append(number.digits);
    } else if (number.kind == archive::NumberKind::kBlank) {
      out_.Append("null");
    } else {
      JsonString(field);
    }
  }
  void Unsigned(std::uint64_t value) {
    char* const at = out_.Room(20);
    out_.SetEnd(std::to_chars(at, at + 20, value).ptr);
  }
  // Text as it is; in a body a CR LF becomes an LF.
  void Plain(std::string_view cp932, bool body = false);

  const Archive& archive_;
  OutputBuffer& out_;
  std::string file_json_;
  PieceDecoder decoder_;
  archive::RawMessage raw_;
  bool lossy_ = false;
};

void LineWriter::Json(std::uint32_t index) {
  archive_.ReadRaw(index, raw_);
  const archive::MessageEntry& entry = archive_.Message(index);
  lossy_ = false;
  out_.Append("{\"file\":");
  out_.Append(file_json_);
  out_.Append(",\"offset\":");
  Unsigned(entry.Offset());
  out_.Append(",\"index\":");
  Unsigned(index);
  out_.Append(",\"board\":");
  JsonString(raw_.msg.board);
  out_.Append(",\"no\":");
  JsonNumberField(raw_.number.no);
  out_.Append(",\"reply\":");
  JsonNumberField(raw_.number.reply);
  out_.Append(",\"parent\":");
  if (entry.Parent() == kNone) {
    out_.Append("null");
  } else {
    Unsigned(entry.Parent());
  }
  out_.Append(",\"date\":");
  if (const std::optional<archive::CalendarDate> date = archive::ReadDate(raw_.msg.date)) {
    // The field's own digits, with the century in front: "98/12/31" is "1998-12-31".
    const std::string_view f = raw_.msg.date;
    const int century = date->year / 100;
    const char iso[] = {'"',
                        static_cast<char>('0' + century / 10),
                        static_cast<char>('0' + century % 10),
                        f[0],
                        f[1],
                        '-',
                        f[3],
                        f[4],
                        '-',
                        f[6],
                        f[7],
                        '"'};
    out_.Append(std::string_view(iso, sizeof iso));
  } else {
    JsonString(raw_.msg.date);
  }
  out_.Append(",\"time\":");
  JsonString(raw_.msg.time);
  out_.Append(",\"handle\":");
  JsonString(raw_.msg.handle);
  out_.Append(",\"id\":");
  JsonString(raw_.msg.id);
  out_.Append(",\"title\":");
  JsonString(raw_.number.title);
  out_.Append(",\"body\":");
  JsonString(archive::WithoutFinalLineEnd(raw_.body), true);
  out_.Append(lossy_ ? ",\"lossy\":true}\n" : ",\"lossy\":false}\n");
}

void LineWriter::Plain(std::string_view cp932, bool body) {
  decoder_.Decode(cp932, lossy_, [this, body](std::string_view utf8) {
    if (!body) {
      out_.Append(utf8);
      return;
    }
    // A piece never ends between the CR and the LF of a line end.
    char* o = out_.Room(utf8.size());
    for (std::size_t at = 0; at < utf8.size();) {
      const std::size_t cr = utf8.find('\r', at);
      const std::size_t run_end = cr == std::string_view::npos ? utf8.size() : cr;
      std::memcpy(o, utf8.data() + at, run_end - at);
      o += run_end - at;
      if (cr == std::string_view::npos) break;
      if (cr + 1 == utf8.size() || utf8[cr + 1] != '\n') *o++ = '\r';
      at = cr + 1;
    }
    out_.SetEnd(o);
  });
}

void LineWriter::Text(std::uint32_t index) {
  archive_.ReadRaw(index, raw_);
  Plain(raw_.msg.board);
  out_.Append(" #");
  Plain(archive::WithoutBlanks(raw_.number.no));
  if (!archive::WithoutBlanks(raw_.number.reply).empty()) {
    out_.Append(" > #");
    Plain(archive::WithoutBlanks(raw_.number.reply));
  }
  out_.Append(" | ");
  Plain(raw_.msg.date);
  out_.Append(' ');
  Plain(raw_.msg.time);
  out_.Append(" | ");
  Plain(raw_.msg.handle);
  if (!archive::WithoutBlanks(raw_.msg.id).empty()) {
    out_.Append(" <");
    Plain(archive::WithoutBlanks(raw_.msg.id));
    out_.Append('>');
  }
  out_.Append(" | ");
  Plain(raw_.number.title);
  out_.Append('\n');
  const std::string_view body = archive::WithoutFinalLineEnd(raw_.body);
  Plain(body, true);
  out_.Append(body.empty() ? "\n" : "\n\n");
}

}  // namespace

void WriteMessageLines(const Archive& archive, std::string_view file, LineFormat format,
                       OutputBuffer& out, const MessageProgress& progress) {
  LineWriter writer(archive, file, out);
  const std::uint32_t count = archive.MessageCount();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (format == LineFormat::kJson) {
      writer.Json(i);
    } else {
      writer.Text(i);
    }
    out.WriteFullBlocks();
    if ((i + 1) % kProgressEvery == 0) {
      if (out.error() != 0) return;
      if (progress) progress(i + 1);
    }
  }
  if (progress) progress(count);
}

}  // namespace sorbit::exporter
