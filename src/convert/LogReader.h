// Log message reader: cuts a tekuri log file into its message blocks.
//
// A tekuri log is Shift-JIS byte text. Lines end at CR (CR LF counts as one line end; an LF
// on its own is an ordinary byte). A line whose first byte is "." closes the block before it
// and belongs to no message. A 0x1A byte (Ctrl-Z) ends the text like the physical end.
//
// The reader holds one fixed-size buffer and the current block only, so a file of any size,
// and a line of any length, are read in bounded memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "convert/FileSystem.h"
#include "convert/InputBlocks.h"

namespace sorbit {

// The most bytes of a line that are kept; the rest of a longer line is dropped.
inline constexpr std::size_t kMaxLineBytes = 4096;

// One message block: its lines as held (header lines included), without the terminator.
//
// The lines of a message that LogReader::ReadMessage filled may point straight into the
// reader's buffer, so that most lines are never copied: they stay valid until the next
// AtEnd, ReadMessage or Close on that reader. A copy of a message owns its lines.
class LogMessage {
 public:
  LogMessage() = default;
  LogMessage(const LogMessage& other);
  LogMessage& operator=(const LogMessage& other) { return *this = LogMessage(other); }
  // Owned lines keep their place in memory when their storage moves.
  LogMessage(LogMessage&& other) noexcept = default;
  LogMessage& operator=(LogMessage&& other) noexcept = default;

  std::size_t LineCount() const { return lines_.size(); }
  // Line `index` (0-based); a line the block does not have reads as empty.
  std::string_view Line(std::size_t index) const {
    return index < lines_.size() ? lines_[index] : std::string_view();
  }
  const std::vector<std::string_view>& Lines() const { return lines_; }

  // The index of the last line of the run that begins at `index` and whose lines lie one
  // after another in the reader's buffer, each followed by CR LF there; `index` itself when
  // the next line is not so placed. The bytes from the start of line `index` to the end of
  // that last line are then exactly the run's lines joined by CR LF.
  std::size_t CrLfRunEnd(std::size_t index) const;

  void Clear();
  // Appends a copy of `line`.
  void AddLine(std::string_view line);

  // Header values, cut from the first four lines by byte position. Views into this message.
  std::string_view Title() const { return Cut(Line(0), 9); }           // line 0 from byte 9
  std::string_view HandleText() const { return Cut(Line(1), 6); }      // line 1 from byte 6
  std::string_view Date() const { return Cut(Line(2), 8, 8); }         // line 2, bytes 8-15
  std::string_view Time() const { return Cut(Line(2), 17, 5); }        // line 2, bytes 17-21
  std::string_view NumberLabel() const { return Cut(Line(3), 1, 3); }  // line 3, bytes 1-3
  std::string_view NumberText() const { return Cut(Line(3), 4); }      // line 3 from byte 4

 private:
  friend class LogReader;
  // The bytes of `line` from 1-based position `first`, at most `length` of them; empty when
  // `first` lies beyond the end.
  static std::string_view Cut(std::string_view line, std::size_t first,
                              std::size_t length = std::string_view::npos) {
    if (first > line.size()) return {};
    return line.substr(first - 1, length);
  }

  // Appends `line` without copying; it must stay valid until the next Detach or Clear.
  // `joined`: the line follows the previous one in the same buffer, after a CR LF.
  void AddBorrowedLine(std::string_view line, bool joined = false) {
    if (!joined) run_starts_.push_back(lines_.size());
    lines_.push_back(line);
  }
  // Copies every borrowed line into storage of the message's own.
  void Detach();

  std::vector<std::string_view> lines_;
  std::size_t first_borrowed_ = 0;  // lines before this index are owned
  // Ascending indexes of the borrowed lines that were not added as joined: each begins a run
  // for CrLfRunEnd.
  std::vector<std::size_t> run_starts_;
  std::vector<std::unique_ptr<char[]>> owned_;
};

class LogReader {
 public:
  static constexpr std::size_t kDefaultBufferBytes = 1 << 20;

  // Reads an opened input file. Any buffer size gives the same messages; a large one lets
  // most lines be handed out without copying.
  explicit LogReader(std::unique_ptr<InputFile> file,
                     std::size_t buffer_bytes = kDefaultBufferBytes);
  // Reads the blocks `blocks` hands out; they give the same messages as the file read directly.
  explicit LogReader(std::unique_ptr<InputBlockSource> blocks);
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;

  // True when the next byte to read is the end of the file's text. Throws FileError.
  bool AtEnd();
  // Reads the next block into `message`. Returns false, leaving `message` empty, when the
  // text ends inside a block all of whose lines are empty (blank lines after the last
  // terminator): that is no message. The message's lines stay valid until the next call on
  // this reader (see LogMessage). Throws FileError.
  bool ReadMessage(LogMessage& message);
  // Releases the buffer (and the file, when the reader owns it). Reading afterwards finds the
  // end of the text.
  void Close();

  long long BytesConsumed() const { return consumed_ + static_cast<long long>(pos_); }

 private:
  // Reads one line, keeping at most kMaxLineBytes bytes and nothing from a NUL byte on.
  // The view stays valid until the next read. Returns false when the text is exhausted.
  bool ReadLine(std::string_view& line);
  // The slow path of ReadLine: the line runs past the buffer, holds a NUL or is too long.
  bool ReadLongLine(std::string_view& line);
  // Consumes a line end that starts at pos_ (a CR, and the LF after it).
  void ConsumeLineEnd();
  // Makes at least one unread byte available unless the text has ended.
  bool Fill();
  // The position of the first CR at or after `from` (never behind an earlier `from` of the
  // block) in the buffer, or end_ when there is none.
  std::size_t NextCr(std::size_t from);

  std::unique_ptr<InputFile> owned_file_;
  std::unique_ptr<InputBlockSource> blocks_;  // null once closed
  // The current block's bytes (InputBlock), null before the first and after the last, and
  // the first entry of its CR list that may lie at or after pos_.
  const char* buffer_ = nullptr;
  const std::uint32_t* cr_ = nullptr;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool text_ended_ = false;  // physical end or Ctrl-Z reached: nothing more is read
  bool skip_lf_ = false;     // the last line ended with a CR at the buffer's end
  long long consumed_ = 0;   // bytes consumed before the buffer's first byte
  std::string line_;
  LogMessage* filling_ = nullptr;  // the message being read, detached before each refill
  std::size_t next_nul_ = 0;       // position of the first NUL at or after pos_, or end_
};

}  // namespace sorbit
