#include "convert/SvfRecord.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace sorbit {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

struct Writer {
  std::string_view id;
  std::string_view handle;
};

// The handle and the ID of the writer, from the handle text "name <address>".
Writer SplitHandle(std::string_view handle_text, const RecordOptions& options) {
  const std::size_t p = handle_text.find(" <");
  if (!options.DivEMail || p == std::string_view::npos) return {{}, handle_text};
  Writer w{" ", handle_text.substr(0, p)};
  if (options.UseEMail4ID) {
    // From just after the "<" up to, not including, the last byte of the text.
    // A text that ends right at the "<" leaves nothing.
    const std::size_t from = p + 2;
    w.id = from < handle_text.size() ? handle_text.substr(from, handle_text.size() - from - 1)
                                     : std::string_view();
  }
  return w;
}

bool IsNumberLabel(std::string_view label) {
  return label.size() == 3 && (label[0] == 'N' || label[0] == 'n') &&
         (label[1] == 'O' || label[1] == 'o') && label[2] == ':';
}

// The values of a record's two "@@@" lines, which read
//   "@@@MSG,0," board "," id "," handle "," date "," time
//   "@@@" number "," reply ",0," title
struct HeaderFields {
  // `message_number`: the decimal text of the message's count, for a message without its own.
  HeaderFields(const LogMessage& message, std::string_view message_number,
               std::string_view board_name, std::string_view reply_no, const RecordOptions& options)
      : board(board_name),
        writer(SplitHandle(message.HandleText(), options)),
        date(message.Date()),
        time(message.Time()),
        number(IsNumberLabel(message.NumberLabel()) ? message.NumberText()
               : options.AddMsgNo                   ? message_number
                                                    : std::string_view()),
        reply(reply_no),
        title(message.Title()) {}
  HeaderFields(const HeaderFields&) = delete;
  HeaderFields& operator=(const HeaderFields&) = delete;

  std::string_view board;
  Writer writer;
  std::string_view date, time, number, reply, title;
};

// The one place that says how the header lines are laid out; a Sink takes text pieces
// (literals, views and single bytes) and counts, appends or copies them.
template <class Sink>
void EmitMsgLine(const HeaderFields& f, Sink& out) {
  out.Put("@@@MSG,0,");
  out.Put(f.board);
  out.Put(',');
  out.Put(f.writer.id);
  out.Put(',');
  out.Put(f.writer.handle);
  out.Put(',');
  out.Put(f.date);
  out.Put(',');
  out.Put(f.time);
}

template <class Sink>
void EmitNumberLine(const HeaderFields& f, Sink& out) {
  out.Put("@@@");
  out.Put(f.number);
  out.Put(',');
  out.Put(f.reply);
  out.Put(",0,");
  out.Put(f.title);
}

struct CountingSink {
  template <std::size_t N>
  void Put(const char (&)[N]) {
    bytes += N - 1;
  }
  void Put(std::string_view text) { bytes += text.size(); }
  void Put(char) { ++bytes; }
  std::size_t bytes = 0;
};

struct StringSink {
  template <std::size_t N>
  void Put(const char (&literal)[N]) {
    text.append(literal, N - 1);
  }
  void Put(std::string_view piece) { text.append(piece); }
  void Put(char c) { text.push_back(c); }
  std::string& text;
};

// Copies `bytes` to `at` and returns the byte after them. Header pieces are mostly a few
// bytes long: those are moved in at most two overlapping words instead of a call.
char* PutBytes(char* at, std::string_view bytes) {
  const char* from = bytes.data();
  const std::size_t n = bytes.size();
  if (n > 16) {
    std::memcpy(at, from, n);
  } else if (n >= 8) {
    std::uint64_t head, tail;
    std::memcpy(&head, from, 8);
    std::memcpy(&tail, from + n - 8, 8);
    std::memcpy(at, &head, 8);
    std::memcpy(at + n - 8, &tail, 8);
  } else if (n >= 4) {
    std::uint32_t head, tail;
    std::memcpy(&head, from, 4);
    std::memcpy(&tail, from + n - 4, 4);
    std::memcpy(at, &head, 4);
    std::memcpy(at + n - 4, &tail, 4);
  } else {
    for (std::size_t i = 0; i < n; ++i) at[i] = from[i];
  }
  return at + n;
}

// Writes into memory known to have room.
struct MemorySink {
  template <std::size_t N>
  void Put(const char (&literal)[N]) {
    std::memcpy(at, literal, N - 1);
    at += N - 1;
  }
  void Put(std::string_view piece) { at = PutBytes(at, piece); }
  void Put(char c) { *at++ = c; }
  void PutLineEnd() {
    at[0] = '\r';
    at[1] = '\n';
    at += 2;
  }
  char* at;
};

// Both header lines as strings, reusing their capacity.
void AssignHeader(SvfHeader& header, const HeaderFields& fields) {
  header.msg_line.clear();
  StringSink msg{header.msg_line};
  EmitMsgLine(fields, msg);
  header.number_line.clear();
  StringSink number{header.number_line};
  EmitNumberLine(fields, number);
}

}  // namespace

void BuildSvfHeaderInto(SvfHeader& header, const LogMessage& message, long long message_count,
                        std::string_view board_name, std::string_view reply_no,
                        const RecordOptions& options) {
  DecimalCounter number;
  AssignHeader(header,
               HeaderFields(message, number.Text(message_count), board_name, reply_no, options));
}

SvfHeader BuildSvfHeader(const LogMessage& message, long long message_count,
                         std::string_view board_name, std::string_view reply_no,
                         const RecordOptions& options) {
  SvfHeader header;
  BuildSvfHeaderInto(header, message, message_count, board_name, reply_no, options);
  return header;
}

SvfRecord BuildSvfRecord(const LogMessage& message, long long message_count,
                         std::string_view board_name, std::string_view reply_no,
                         const RecordOptions& options) {
  SvfHeader header = BuildSvfHeader(message, message_count, board_name, reply_no, options);
  SvfRecord record;
  record.reserve(3 + message.LineCount());
  record.emplace_back();
  record.push_back(std::move(header.msg_line));
  record.push_back(std::move(header.number_line));
  for (std::size_t i = 0; i < message.LineCount(); ++i) record.emplace_back(message.Line(i));
  return record;
}

void OutputLines::AddChunk() {
  used_in_last_ = 0;
  if (chunk_source_ != nullptr) {
    chunks_.push_back(chunk_source_->TakeChunk());
    return;
  }
  chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunkBytes));
  if (prepare_ != nullptr) prepare_(chunks_.back().get(), kChunkBytes);
}

void OutputLines::Append(std::string_view bytes) {
  size_ += bytes.size();
  while (!bytes.empty()) {
    if (chunks_.empty() || used_in_last_ == kChunkBytes) AddChunk();
    const std::size_t n = std::min(bytes.size(), kChunkBytes - used_in_last_);
    std::memcpy(chunks_.back().get() + used_in_last_, bytes.data(), n);
    used_in_last_ += n;
    bytes.remove_prefix(n);
  }
}

void OutputLines::AppendLine(std::string_view line) {
  const std::size_t n = line.size() + kLineEnd.size();
  if (!chunks_.empty() && kChunkBytes - used_in_last_ >= n) {
    // The common case: the line and its end fit in the current chunk.
    char* at = chunks_.back().get() + used_in_last_;
    if (!line.empty()) std::memcpy(at, line.data(), line.size());  // an empty view may be null
    at[line.size()] = '\r';
    at[line.size() + 1] = '\n';
    used_in_last_ += n;
    size_ += n;
    return;
  }
  Append(line);
  Append(kLineEnd);
}

void OutputLines::AppendRecord(const LogMessage& message, long long message_count,
                               std::string_view board_name, std::string_view reply_no,
                               const RecordOptions& options) {
  const HeaderFields fields(message, message_number_.Text(message_count), board_name, reply_no,
                            options);
  CountingSink count;
  EmitMsgLine(fields, count);
  EmitNumberLine(fields, count);
  const std::size_t head = count.bytes + 3 * kLineEnd.size();
  if (!chunks_.empty() && kChunkBytes - used_in_last_ >= head) {
    // The common case: the empty line and both header lines fit in the current chunk.
    MemorySink out{chunks_.back().get() + used_in_last_};
    out.PutLineEnd();
    EmitMsgLine(fields, out);
    out.PutLineEnd();
    EmitNumberLine(fields, out);
    out.PutLineEnd();
    used_in_last_ += head;
    size_ += head;
  } else {
    // The slow way, across a chunk's end: through the scratch strings.
    AssignHeader(header_, fields);
    AppendLine({});
    AppendLine(header_.msg_line);
    AppendLine(header_.number_line);
  }
  // A run of lines that still stand in the reader's buffer separated by CR LF is copied in
  // one piece: those bytes are exactly the output of the run, line ends included.
  for (std::size_t i = 0; i < message.LineCount();) {
    const std::size_t last = message.CrLfRunEnd(i);
    const std::string_view first = message.Line(i);
    const std::string_view end = message.Line(last);
    AppendLine(std::string_view(first.data(),
                                static_cast<std::size_t>(end.data() - first.data()) + end.size()));
    i = last + 1;
  }
}

std::vector<std::string_view> OutputLines::Chunks() const {
  std::vector<std::string_view> out;
  out.reserve(chunks_.size());
  for (std::size_t i = 0; i < chunks_.size(); ++i) {
    const std::size_t n = (i + 1 == chunks_.size()) ? used_in_last_ : kChunkBytes;
    out.emplace_back(chunks_[i].get(), n);
  }
  return out;
}

std::string OutputLines::ToString() const {
  std::string s;
  s.reserve(size_);
  for (std::string_view c : Chunks()) s.append(c);
  return s;
}

}  // namespace sorbit
