#include "convert/LogReader.h"

#include <algorithm>
#include <cstring>

namespace sorbit {

namespace {

constexpr std::size_t kBufferBytes = 1 << 20;
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

std::string_view LogMessage::Line(std::size_t index) const {
  if (index >= spans_.size()) return {};
  return std::string_view(bytes_).substr(spans_[index].offset, spans_[index].length);
}

std::vector<std::string_view> LogMessage::Lines() const {
  std::vector<std::string_view> lines;
  lines.reserve(spans_.size());
  for (std::size_t i = 0; i < spans_.size(); ++i) lines.push_back(Line(i));
  return lines;
}

void LogMessage::Clear() {
  bytes_.clear();
  spans_.clear();
}

void LogMessage::AddLine(std::string_view line) {
  spans_.push_back({bytes_.size(), line.size()});
  bytes_.append(line);
}

std::string_view LogMessage::Title() const { return Cut(Line(0), 9); }
std::string_view LogMessage::HandleText() const { return Cut(Line(1), 6); }
std::string_view LogMessage::Date() const { return Cut(Line(2), 8, 8); }
std::string_view LogMessage::Time() const { return Cut(Line(2), 17, 5); }
std::string_view LogMessage::NumberLabel() const { return Cut(Line(3), 1, 3); }
std::string_view LogMessage::NumberText() const { return Cut(Line(3), 4); }

LogReader::LogReader(std::unique_ptr<InputFile> file)
    : file_(std::move(file)), buffer_(kBufferBytes) {}

long long LogReader::FileSize() const { return file_ ? file_->Size() : 0; }

void LogReader::Close() {
  file_.reset();
  text_ended_ = true;
  pos_ = end_ = 0;
}

bool LogReader::Fill() {
  if (pos_ < end_) return true;
  if (text_ended_ || !file_) return false;
  pos_ = end_ = 0;
  std::size_t got = file_->Read(buffer_.data(), buffer_.size());
  if (got == 0) {
    text_ended_ = true;
    return false;
  }
  // Nothing after a Ctrl-Z is ever read: cut the buffer there and stop reading the file.
  const char* stop = static_cast<const char*>(std::memchr(buffer_.data(), kCtrlZ, got));
  if (stop != nullptr) {
    got = static_cast<std::size_t>(stop - buffer_.data());
    text_ended_ = true;
  }
  end_ = got;
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

bool LogReader::ReadLine(std::string& line) {
  line.clear();
  if (AtEnd()) return false;
  bool keep = true;  // false once a NUL byte or the length limit has been met
  for (;;) {
    const char* begin = buffer_.data() + pos_;
    const std::size_t avail = end_ - pos_;
    const char* cr = static_cast<const char*>(std::memchr(begin, kCR, avail));
    const std::size_t piece = cr ? static_cast<std::size_t>(cr - begin) : avail;
    if (keep) {
      std::size_t take = std::min(piece, kMaxLineBytes - line.size());
      const char* nul = static_cast<const char*>(std::memchr(begin, '\0', take));
      if (nul != nullptr) {
        take = static_cast<std::size_t>(nul - begin);
        keep = false;
      }
      line.append(begin, take);
      if (line.size() == kMaxLineBytes) keep = false;
    }
    pos_ += piece;
    consumed_ += static_cast<long long>(piece);
    if (cr != nullptr) {
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
      return true;
    }
    if (!Fill()) return true;  // the text ends inside this line: it is the last one
  }
}

bool LogReader::ReadMessage(LogMessage& message) {
  message.Clear();
  bool any_text = false;
  while (ReadLine(line_)) {
    if (!line_.empty() && line_[0] == '.') return true;
    any_text = any_text || !line_.empty();
    message.AddLine(line_);
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
