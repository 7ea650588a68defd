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

namespace sorbit {

// The most bytes of a line that are kept; the rest of a longer line is dropped.
inline constexpr std::size_t kMaxLineBytes = 4096;

// One message block: its lines as held (header lines included), without the terminator.
// The lines live in one buffer, so a message can be refilled without allocating.
class LogMessage {
 public:
  std::size_t LineCount() const { return spans_.size(); }
  // Line `index` (0-based); a line the block does not have reads as empty.
  std::string_view Line(std::size_t index) const;
  std::vector<std::string_view> Lines() const;

  void Clear();
  void AddLine(std::string_view line);

  // Header values, cut from the first four lines by byte position. Views into this message.
  std::string_view Title() const;        // line 0 from byte 9
  std::string_view HandleText() const;   // line 1 from byte 6
  std::string_view Date() const;         // line 2, bytes 8-15
  std::string_view Time() const;         // line 2, bytes 17-21
  std::string_view NumberLabel() const;  // line 3, bytes 1-3
  std::string_view NumberText() const;   // line 3 from byte 4

 private:
  struct Span {
    std::size_t offset;
    std::size_t length;
  };
  std::string bytes_;
  std::vector<Span> spans_;
};

class LogReader {
 public:
  // Takes an opened input file. Use OpenLogReader to open by path.
  explicit LogReader(std::unique_ptr<InputFile> file);
  LogReader(const LogReader&) = delete;
  LogReader& operator=(const LogReader&) = delete;

  // True when the next byte to read is the end of the file's text. Throws FileError.
  bool AtEnd();
  // Reads the next block into `message`. Returns false, leaving `message` empty, when the
  // text ends inside a block all of whose lines are empty (blank lines after the last
  // terminator): that is no message. Throws FileError.
  bool ReadMessage(LogMessage& message);
  // Releases the file. Reading afterwards finds the end of the text.
  void Close();

  long long BytesConsumed() const { return consumed_; }
  long long FileSize() const;
  // The open file, for the check that an output path does not name it.
  const InputFile* File() const { return file_.get(); }

 private:
  // Reads one line into `line`, keeping at most kMaxLineBytes bytes and nothing from a NUL
  // byte on. Returns false, with `line` empty, when the text is exhausted.
  bool ReadLine(std::string& line);
  // Makes at least one unread byte available unless the text has ended.
  bool Fill();

  std::unique_ptr<InputFile> file_;
  std::vector<char> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool text_ended_ = false;  // physical end or Ctrl-Z reached: nothing more is read
  bool skip_lf_ = false;     // the last line ended with a CR at the buffer's end
  long long consumed_ = 0;
  std::string line_;
};

std::unique_ptr<LogReader> OpenLogReader(FileSystem& fs, const std::string& path);

}  // namespace sorbit
