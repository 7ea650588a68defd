#include "convert/SvfRecord.h"

#include <algorithm>
#include <cstring>

#include "convert/Decimal.h"

namespace sorbit {

namespace {

constexpr std::size_t kChunkBytes = 1 << 20;
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

void AppendMessageNumber(std::string& s, const LogMessage& message, long long message_count,
                         const RecordOptions& options) {
  if (IsNumberLabel(message.NumberLabel())) {
    s.append(message.NumberText());
  } else if (options.AddMsgNo) {
    AppendDecimal(s, message_count);
  }
}

}  // namespace

void BuildSvfHeaderInto(SvfHeader& header, const LogMessage& message, long long message_count,
                        std::string_view board_name, std::string_view reply_no,
                        const RecordOptions& options) {
  const Writer w = SplitHandle(message.HandleText(), options);
  std::string& a = header.msg_line;
  a.assign("@@@MSG,0,").append(board_name).append(",").append(w.id).append(",");
  a.append(w.handle).append(",").append(message.Date()).append(",").append(message.Time());
  std::string& b = header.number_line;
  b.assign("@@@");
  AppendMessageNumber(b, message, message_count, options);
  b.append(",").append(reply_no).append(",0,").append(message.Title());
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

void OutputLines::Append(std::string_view bytes) {
  size_ += bytes.size();
  while (!bytes.empty()) {
    if (chunks_.empty() || used_in_last_ == kChunkBytes) {
      chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunkBytes));
      used_in_last_ = 0;
    }
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
  BuildSvfHeaderInto(header_, message, message_count, board_name, reply_no, options);
  AppendLine({});
  AppendLine(header_.msg_line);
  AppendLine(header_.number_line);
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
