#include "convert/SvfRecord.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cstring>

#include "convert/Decimal.h"
#include "convert/FastBytes.h"

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

// The one place that says how the header lines are laid out; a Sink takes the pieces
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

// Sinks of the pieces: one counts them, one appends them to a string, one copies them into
// memory known to have room.
struct CountingSink {
  void Put(std::string_view piece) { bytes += piece.size(); }
  void Put(char) { ++bytes; }
  std::size_t bytes = 0;
};

struct StringSink {
  void Put(std::string_view piece) { text.append(piece); }
  void Put(char c) { text.push_back(c); }
  std::string& text;
};

struct MemorySink {
  template <std::size_t N>
  void Put(const char (&literal)[N]) {
    std::memcpy(at, literal, N - 1);
    at += N - 1;
  }
  void Put(std::string_view piece) { at = CopyShort(at, piece); }
  void Put(char c) { *at++ = c; }
  char* at;
};

// The empty line and both header lines, each followed by its CR LF.
template <class Sink>
void EmitHeader(const HeaderFields& fields, Sink& out) {
  out.Put("\r\n");
  EmitMsgLine(fields, out);
  out.Put("\r\n");
  EmitNumberLine(fields, out);
  out.Put("\r\n");
}

}  // namespace

SvfRecord BuildSvfRecord(const LogMessage& message, long long message_count,
                         std::string_view board_name, std::string_view reply_no,
                         const RecordOptions& options) {
  const std::string number = Decimal(message_count);
  const HeaderFields fields(message, number, board_name, reply_no, options);
  SvfRecord record(3);
  StringSink msg{record[1]}, number_line{record[2]};
  EmitMsgLine(fields, msg);
  EmitNumberLine(fields, number_line);
  for (std::size_t i = 0; i < message.LineCount(); ++i) record.emplace_back(message.Line(i));
  return record;
}

void AppendSvfRecord(std::string& bytes, const LogMessage& message, long long message_count,
                     std::string_view board_name, std::string_view reply_no,
                     const RecordOptions& options) {
  const std::string number = Decimal(message_count);
  StringSink out{bytes};
  EmitHeader(HeaderFields(message, number, board_name, reply_no, options), out);
  for (std::string_view line : message.Lines()) bytes.append(line).append(kLineEnd);
}

OutputLines::OutputLines(std::unique_ptr<OutputFile> file) : file_(std::move(file)) {
  assert(file_ != nullptr);
}

OutputLines::OutputLines(FileError error) : error_(std::move(error)) {}

void OutputLines::Fail(const FileError& error) {
  if (!error_) error_ = error;
  file_.reset();  // removes what it had written
}

void OutputLines::HandOver(bool flush) {
  try {
    if (at_ != begin_ && file_) {
      file_->Write(std::string_view(begin_, static_cast<std::size_t>(at_ - begin_)));
    }
    if (flush && file_) file_->Flush();
  } catch (const FileError& error) {
    Fail(error);
  }
  flushed_ += at_ - begin_;
}

void OutputLines::Spill() {
  assert(begin_ == nullptr || (begin_ <= at_ && at_ <= end_ && end_ - begin_ == kBufferBytes));
  assert((file_ == nullptr) == error_.has_value());
  HandOver(false);
  // The file may still be writing the one just given and those before it.
  if (begin_ != nullptr) current_ = (current_ + 1) % kBuffers;
  if (!buffers_[current_])
    buffers_[current_] = std::make_unique_for_overwrite<char[]>(kBufferBytes);
  begin_ = at_ = buffers_[current_].get();
  end_ = begin_ + kBufferBytes;
}

void OutputLines::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    if (at_ == end_) Spill();
    const std::size_t n = std::min(bytes.size(), static_cast<std::size_t>(end_ - at_));
    std::memcpy(at_, bytes.data(), n);
    at_ += n;
    bytes.remove_prefix(n);
  }
}

void OutputLines::Finish() {
  if (begin_ == nullptr) return;
  HandOver(true);
  for (std::unique_ptr<char[]>& buffer : buffers_) buffer.reset();
  begin_ = at_ = end_ = nullptr;
}

void OutputLines::Commit() {
  Finish();
  if (error_) throw *error_;
  file_->Close();
}

void OutputLines::AppendLine(std::string_view line) {
  if (static_cast<std::size_t>(end_ - at_) >= line.size() + kLineEnd.size()) {
    // The common case: the line and its end fit in the current buffer.
    if (!line.empty()) std::memcpy(at_, line.data(), line.size());  // an empty view may be null
    at_ += line.size();
    at_[0] = '\r';
    at_[1] = '\n';
    at_ += 2;
    return;
  }
  Append(line);
  Append(kLineEnd);
}

void OutputLines::AppendRecord(const LogMessage& message, long long message_count,
                               std::string_view board_name, std::string_view reply_no,
                               const RecordOptions& options) {
  char digits[24];
  const auto [digits_end, ec] = std::to_chars(digits, digits + sizeof digits, message_count);
  (void)ec;  // 24 bytes hold every long long
  const HeaderFields fields(message, std::string_view(digits, digits_end), board_name, reply_no,
                            options);
  CountingSink count;
  EmitHeader(fields, count);
  if (static_cast<std::size_t>(end_ - at_) >= count.bytes) {
    // The common case: the header fits in the current buffer.
    MemorySink out{at_};
    EmitHeader(fields, out);
    at_ = out.at;
  } else {
    // Across a buffer's end: through the scratch string.
    scratch_.clear();
    StringSink out{scratch_};
    EmitHeader(fields, out);
    Append(scratch_);
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

}  // namespace sorbit
