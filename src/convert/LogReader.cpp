#include "convert/LogReader.h"

#include <algorithm>
#include <cassert>
#include <cstring>

namespace sorbit {

constexpr char kLF = '\n';

LogMessage::LogMessage(const LogMessage& other) : lines_(other.lines_) { Detach(); }

std::size_t LogMessage::CrLfRunEnd(std::size_t index) const {
  // Owned lines are stored without line ends; borrowed lines were marked as they were read.
  if (index < first_borrowed_ || index >= lines_.size()) return index;
  const auto next = std::upper_bound(run_starts_.begin(), run_starts_.end(), index);
  return (next == run_starts_.end() ? lines_.size() : *next) - 1;
}

void LogMessage::Clear() {
  lines_.clear();
  run_starts_.clear();
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
  run_starts_.clear();
}

LogReader::LogReader(std::unique_ptr<InputFile> file, std::size_t buffer_bytes)
    : owned_file_(std::move(file)),
      blocks_(std::make_unique<SequentialBlocks>(*owned_file_, buffer_bytes)) {}

LogReader::LogReader(std::unique_ptr<InputBlockSource> blocks) : blocks_(std::move(blocks)) {}

void LogReader::Close() {
  blocks_.reset();
  owned_file_.reset();
  buffer_ = nullptr;
  cr_ = nullptr;
  text_ended_ = true;
  consumed_ += static_cast<long long>(pos_);
  pos_ = end_ = 0;
}

bool LogReader::Fill() {
  if (pos_ < end_) return true;
  if (text_ended_ || !blocks_) return false;
  // The buffer is about to be given back: the block being read keeps copies of its lines.
  if (filling_ != nullptr) filling_->Detach();
  consumed_ += static_cast<long long>(end_);
  pos_ = end_ = 0;
  buffer_ = nullptr;
  cr_ = nullptr;
  const InputBlock& block = blocks_->Next();
  assert(block.size <= block.capacity && block.first_nul <= block.size);
  buffer_ = block.bytes.get();
  cr_ = block.crs.get();
  end_ = block.size;
  next_nul_ = block.first_nul;
  text_ended_ = block.text_ended;
  return end_ > 0;
}

std::size_t LogReader::NextCr(std::size_t from) {
  while (*cr_ < from) ++cr_;  // the block's size ends the list
  return *cr_;
}

bool LogReader::AtEnd() {
  if (!Fill()) return true;
  if (skip_lf_) {
    skip_lf_ = false;
    if (buffer_[pos_] == kLF) {
      ++pos_;
      return !Fill();
    }
  }
  return false;
}

void LogReader::ConsumeLineEnd() {
  ++pos_;  // the CR
  if (pos_ < end_) {
    if (buffer_[pos_] == kLF) ++pos_;
  } else {
    skip_lf_ = true;  // the LF, if any, is at the start of the next buffer
  }
}

bool LogReader::ReadLine(std::string_view& line) {
  if (AtEnd()) return false;
  // Most lines lie whole in the buffer and are short and free of NUL: hand them out as they
  // stand, without copying.
  const std::size_t cr = NextCr(pos_);
  if (cr < end_) {
    const std::size_t length = cr - pos_;
    if (next_nul_ < cr) {
      const char* nul = static_cast<const char*>(std::memchr(buffer_ + pos_, '\0', end_ - pos_));
      next_nul_ = nul ? static_cast<std::size_t>(nul - buffer_) : end_;
    }
    if (length <= kMaxLineBytes && next_nul_ >= cr) {
      line = std::string_view(buffer_ + pos_, length);
      pos_ = cr;
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
    const char* begin = buffer_ + pos_;
    const std::size_t cr = NextCr(pos_);
    const std::size_t piece = cr - pos_;
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
    pos_ = cr;
    if (cr < end_) {
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
  std::string_view line;
  for (;;) {
    // The common lines: each ends with CR LF inside the buffer, is short and holds no NUL.
    // They are taken in a loop of locals, as the stores into the message could otherwise
    // be the reader's own fields for all the compiler knows; every other line goes through
    // ReadLine below.
    if (!skip_lf_ && pos_ < end_) {
      const char* const buffer = buffer_;
      // A line is taken here only when its CR ends before `limit`: an LF can follow it in the
      // buffer, and no NUL (next_nul_ is at or after pos_) lies before it.
      const std::size_t limit = std::min(end_ - 1, next_nul_ + 1);
      std::size_t pos = pos_;
      // The lines of this loop follow each other, after CR LF: one run for CrLfRunEnd.
      std::vector<std::string_view>& lines = message.lines_;
      const std::size_t run_start = lines.size();
      // The next CR at or after pos; after a line is taken, the next one lies after its LF.
      NextCr(pos);
      const std::uint32_t* next_cr = cr_;
      bool terminated = false;
      for (;;) {
        const std::size_t cr = *next_cr;  // the block's size ends the list
        if (cr >= limit || buffer[cr + 1] != kLF || cr - pos > kMaxLineBytes) break;
        ++next_cr;
        const std::size_t line_start = pos;
        pos = cr + 2;
        if (buffer[line_start] == '.') {  // an empty line has its CR here, not a "."
          terminated = true;
          break;
        }
        lines.emplace_back(buffer + line_start, cr - line_start);
      }
      if (lines.size() > run_start) message.run_starts_.push_back(run_start);
      cr_ = next_cr;
      pos_ = pos;
      if (terminated) return true;
    }
    if (!ReadLine(line)) break;
    if (!line.empty() && line[0] == '.') return true;
    if (line.data() == line_.data()) {
      message.AddLine(line);  // a long line lives in line_, which the next read reuses
    } else {
      message.AddBorrowedLine(line);
    }
  }
  // The text ended before a terminator: an unfinished block is a message only when it holds
  // some text, so trailing blank lines invent no empty record.
  const std::vector<std::string_view>& lines = message.Lines();
  const bool any_text =
      std::any_of(lines.begin(), lines.end(), [](std::string_view l) { return !l.empty(); });
  if (!any_text) message.Clear();
  return any_text;
}

}  // namespace sorbit
