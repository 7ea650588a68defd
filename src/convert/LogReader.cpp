#include "convert/LogReader.h"

#include <algorithm>
#include <cstring>

namespace sorbit {

namespace {

constexpr char kCR = '\r';
constexpr char kLF = '\n';
constexpr char kCtrlZ = '\x1a';

// The bytes of `line` from 1-based position `first`, at most `length` of them; empty when
// `first` lies beyond the end.
std::string_view Cut(std::string_view line, std::size_t first,
                     std::size_t length = std::string_view::npos) {
  if (first > line.size()) return {};
  return line.substr(first - 1, length);
}

}  // namespace

LogMessage::LogMessage(const LogMessage& other) : lines_(other.lines_) { Detach(); }

LogMessage& LogMessage::operator=(const LogMessage& other) {
  if (this != &other) {
    LogMessage copy(other);
    *this = std::move(copy);
  }
  return *this;
}

LogMessage::LogMessage(LogMessage&& other) noexcept
    : lines_(std::move(other.lines_)),
      first_borrowed_(other.first_borrowed_),
      owned_(std::move(other.owned_)) {
  other.Clear();
}

LogMessage& LogMessage::operator=(LogMessage&& other) noexcept {
  lines_ = std::move(other.lines_);
  first_borrowed_ = other.first_borrowed_;
  owned_ = std::move(other.owned_);
  other.Clear();
  return *this;
}

std::size_t LogMessage::CrLfRunEnd(std::size_t index) const {
  // Borrowed lines all stand in the reader's current buffer (a refill detaches them), so
  // two of them exactly two bytes apart are separated by a CR LF: the only two-byte line end.
  std::size_t last = index;
  if (index < first_borrowed_) return last;
  while (last + 1 < lines_.size() &&
         lines_[last + 1].data() == lines_[last].data() + lines_[last].size() + 2) {
    ++last;
  }
  return last;
}

void LogMessage::Clear() {
  lines_.clear();
  owned_.clear();
  first_borrowed_ = 0;
}

void LogMessage::AddLine(std::string_view line) {
  AddBorrowedLine(line);
  Detach();
}

void LogMessage::Detach() {
  std::size_t bytes = 0;
  for (std::size_t i = first_borrowed_; i < lines_.size(); ++i) bytes += lines_[i].size();
  if (bytes > 0) {
    owned_.push_back(std::make_unique_for_overwrite<char[]>(bytes));
    char* at = owned_.back().get();
    for (std::size_t i = first_borrowed_; i < lines_.size(); ++i) {
      if (lines_[i].empty()) {
        lines_[i] = {};
        continue;
      }
      std::memcpy(at, lines_[i].data(), lines_[i].size());
      lines_[i] = std::string_view(at, lines_[i].size());
      at += lines_[i].size();
    }
  } else {
    for (std::size_t i = first_borrowed_; i < lines_.size(); ++i) lines_[i] = {};
  }
  first_borrowed_ = lines_.size();
}

std::string_view LogMessage::Title() const { return Cut(Line(0), 9); }
std::string_view LogMessage::HandleText() const { return Cut(Line(1), 6); }
std::string_view LogMessage::Date() const { return Cut(Line(2), 8, 8); }
std::string_view LogMessage::Time() const { return Cut(Line(2), 17, 5); }
std::string_view LogMessage::NumberLabel() const { return Cut(Line(3), 1, 3); }
std::string_view LogMessage::NumberText() const { return Cut(Line(3), 4); }

LogReader::LogReader(std::unique_ptr<InputFile> file, std::size_t buffer_bytes)
    : file_(std::move(file)),
      buffer_(std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(buffer_bytes, 1))),
      buffer_size_(std::max<std::size_t>(buffer_bytes, 1)) {}

long long LogReader::FileSize() const { return file_ ? file_->Size() : 0; }

void LogReader::Close() {
  file_.reset();
  text_ended_ = true;
  pos_ = end_ = 0;
}

bool LogReader::Fill() {
  if (pos_ < end_) return true;
  if (text_ended_ || !file_) return false;
  // The buffer is about to be overwritten: the block being read keeps copies of its lines.
  if (filling_ != nullptr) filling_->Detach();
  pos_ = end_ = 0;
  std::size_t got = file_->Read(buffer_.get(), buffer_size_);
  if (got == 0) {
    text_ended_ = true;
    return false;
  }
  // Nothing after a Ctrl-Z is ever read: cut the buffer there and stop reading the file.
  const char* stop = static_cast<const char*>(std::memchr(buffer_.get(), kCtrlZ, got));
  if (stop != nullptr) {
    got = static_cast<std::size_t>(stop - buffer_.get());
    text_ended_ = true;
  }
  end_ = got;
  const char* nul = static_cast<const char*>(std::memchr(buffer_.get(), '\0', end_));
  next_nul_ = nul ? static_cast<std::size_t>(nul - buffer_.get()) : end_;
  return end_ > 0;
}

bool LogReader::AtEnd() {
  if (!Fill()) return true;
  if (skip_lf_) {
    skip_lf_ = false;
    if (buffer_[pos_] == kLF) {
      ++pos_;
      ++consumed_;
      return !Fill();
    }
  }
  return false;
}

void LogReader::ConsumeLineEnd() {
  ++pos_;  // the CR
  ++consumed_;
  if (pos_ < end_) {
    if (buffer_[pos_] == kLF) {
      ++pos_;
      ++consumed_;
    }
  } else {
    skip_lf_ = true;  // the LF, if any, is at the start of the next buffer
  }
}

bool LogReader::ReadLine(std::string_view& line) {
  if (AtEnd()) return false;
  // Most lines lie whole in the buffer and are short and free of NUL: hand them out as they
  // stand, without copying.
  const char* begin = buffer_.get() + pos_;
  const std::size_t avail = end_ - pos_;
  const char* cr = static_cast<const char*>(std::memchr(begin, kCR, avail));
  if (cr != nullptr) {
    const std::size_t length = static_cast<std::size_t>(cr - begin);
    if (next_nul_ < pos_ + length) {
      const char* nul = static_cast<const char*>(std::memchr(begin, '\0', avail));
      next_nul_ = nul ? static_cast<std::size_t>(nul - buffer_.get()) : end_;
    }
    if (length <= kMaxLineBytes && next_nul_ >= pos_ + length) {
      line = std::string_view(begin, length);
      pos_ += length;
      consumed_ += static_cast<long long>(length);
      ConsumeLineEnd();
      return true;
    }
  }
  return ReadLongLine(line);
}

bool LogReader::ReadLongLine(std::string_view& line) {
  line_.clear();
  bool keep = true;  // false once a NUL byte or the length limit has been met
  for (;;) {
    const char* begin = buffer_.get() + pos_;
    const std::size_t avail = end_ - pos_;
    const char* cr = static_cast<const char*>(std::memchr(begin, kCR, avail));
    const std::size_t piece = cr ? static_cast<std::size_t>(cr - begin) : avail;
    if (keep) {
      std::size_t take = std::min(piece, kMaxLineBytes - line_.size());
      const char* nul = static_cast<const char*>(std::memchr(begin, '\0', take));
      if (nul != nullptr) {
        take = static_cast<std::size_t>(nul - begin);
        keep = false;
      }
      line_.append(begin, take);
      if (line_.size() == kMaxLineBytes) keep = false;
    }
    pos_ += piece;
    consumed_ += static_cast<long long>(piece);
    if (cr != nullptr) {
      ConsumeLineEnd();
      break;
    }
    if (!Fill()) break;  // the text ends inside this line: it is the last one
  }
  line = line_;
  return true;
}

bool LogReader::ReadMessage(LogMessage& message) {
  message.Clear();
  filling_ = &message;
  struct Done {
    LogReader& reader;
    ~Done() { reader.filling_ = nullptr; }
  } done{*this};
  bool any_text = false;
  std::string_view line;
  while (ReadLine(line)) {
    if (!line.empty() && line[0] == '.') return true;
    any_text = any_text || !line.empty();
    if (line.data() == line_.data()) {
      message.AddLine(line);  // a long line lives in line_, which the next read reuses
    } else {
      message.AddBorrowedLine(line);
    }
  }
  // The text ended before a terminator: an unfinished block is a message only when it holds
  // some text, so trailing blank lines invent no empty record.
  if (!any_text) message.Clear();
  return any_text;
}

std::unique_ptr<LogReader> OpenLogReader(FileSystem& fs, const std::string& path) {
  return std::make_unique<LogReader>(fs.OpenInput(path));
}

}  // namespace sorbit
