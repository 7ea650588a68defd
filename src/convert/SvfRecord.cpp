#include "convert/SvfRecord.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>

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

// The two "@@@" lines of a record as the byte pieces they are joined from, so that each
// caller copies them straight to where they go.
class HeaderPieces {
 public:
  // The arrays are built in place: filling default-made ones would first clear them, which
  // cost more than the rest of the header.
  HeaderPieces(const LogMessage& message, long long message_count, std::string_view board_name,
               std::string_view reply_no, const RecordOptions& options)
      : msg_(MsgPieces(message, board_name, SplitHandle(message.HandleText(), options))),
        number_{"@@@",          Number(message, message_count, options), ",", reply_no, ",0,",
                message.Title()} {}
  HeaderPieces(const HeaderPieces&) = delete;
  HeaderPieces& operator=(const HeaderPieces&) = delete;

  const std::array<std::string_view, 10>& MsgLine() const { return msg_; }
  const std::array<std::string_view, 6>& NumberLine() const { return number_; }

 private:
  static std::array<std::string_view, 10> MsgPieces(const LogMessage& message,
                                                    std::string_view board_name, Writer w) {
    return {"@@@MSG,0,", board_name,     ",", w.id,          ",", w.handle,
            ",",         message.Date(), ",", message.Time()};
  }

  std::string_view Number(const LogMessage& message, long long message_count,
                          const RecordOptions& options) {
    if (IsNumberLabel(message.NumberLabel())) return message.NumberText();
    if (!options.AddMsgNo) return {};
    const auto [end, ec] = std::to_chars(digits_, digits_ + sizeof digits_, message_count);
    (void)ec;  // 24 bytes hold every long long
    return std::string_view(digits_, static_cast<std::size_t>(end - digits_));
  }

  char digits_[24];  // before number_, which may point into it
  std::array<std::string_view, 10> msg_;
  std::array<std::string_view, 6> number_;
};

template <std::size_t N>
std::size_t Length(const std::array<std::string_view, N>& pieces) {
  std::size_t n = 0;
  for (std::string_view p : pieces) n += p.size();
  return n;
}

template <std::size_t N>
void Assign(std::string& s, const std::array<std::string_view, N>& pieces) {
  s.clear();
  for (std::string_view p : pieces) s.append(p);
}

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

// Copies the pieces to `at` followed by CR LF; returns the byte after them.
template <std::size_t N>
char* PutLine(char* at, const std::array<std::string_view, N>& pieces) {
  for (std::string_view p : pieces) at = PutBytes(at, p);
  at[0] = '\r';
  at[1] = '\n';
  return at + 2;
}

}  // namespace

void BuildSvfHeaderInto(SvfHeader& header, const LogMessage& message, long long message_count,
                        std::string_view board_name, std::string_view reply_no,
                        const RecordOptions& options) {
  const HeaderPieces pieces(message, message_count, board_name, reply_no, options);
  Assign(header.msg_line, pieces.MsgLine());
  Assign(header.number_line, pieces.NumberLine());
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
  chunks_.push_back(std::make_unique_for_overwrite<char[]>(kChunkBytes));
  used_in_last_ = 0;
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
  const HeaderPieces pieces(message, message_count, board_name, reply_no, options);
  const std::size_t head = 2 + Length(pieces.MsgLine()) + 2 + Length(pieces.NumberLine()) + 2;
  if (!chunks_.empty() && kChunkBytes - used_in_last_ >= head) {
    // The common case: the empty line and both header lines fit in the current chunk.
    char* at = chunks_.back().get() + used_in_last_;
    at[0] = '\r';
    at[1] = '\n';
    at = PutLine(PutLine(at + 2, pieces.MsgLine()), pieces.NumberLine());
    used_in_last_ += head;
    size_ += head;
  } else {
    AppendLine({});
    Assign(header_.msg_line, pieces.MsgLine());
    AppendLine(header_.msg_line);
    Assign(header_.number_line, pieces.NumberLine());
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
