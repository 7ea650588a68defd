// The archive library: one SVF file or tekuri log opened for reading, its messages indexed,
// threaded by reply number and read as CP932 or as UTF-8. The reader window and the export
// both read archives through it, so these are the one statement of the reading rules.
//
// READING RULES
//
// Kind. A file whose first line that is not empty begins with "@@@MSG," is an SVF file; any
// other file (an empty one too) is a tekuri log. The name does not matter.
//
// Lines. A line ends at LF; a CR just before that LF belongs to the line end, any other CR is
// an ordinary byte. A last line without an LF is a line.
//
// Messages of an SVF file. A message starts at an empty line followed by a line beginning
// "@@@MSG," and a line beginning "@@@" (at the file's start its leading CR LF is that empty
// line; a file that begins directly with the "@@@MSG," line starts a message there too). Its
// body is every line after those two up to the empty line before the next start, or up to the
// end of the file. Bytes before the first start belong to no message.
//
// Header fields. In "@@@MSG,0,BOARD,ID,HANDLE,DATE,TIME" the field after "@@@MSG" is skipped,
// BOARD and ID run to the next comma, the last two fields are DATE and TIME and HANDLE is
// everything between ID and them (handles may hold commas). In "@@@NO,REPLY,0,TITLE" the
// title is everything after the third comma. Missing fields are empty (archive/Fields.h).
//
// Numbers. NO and REPLY are numbers when, less the blanks (spaces, tabs) around them, they are
// ASCII digits; " 12" and "012" are both 12. Less their blanks they are otherwise empty
// (NumberKind::kBlank) or text (NumberKind::kText).
//
// Dates and times. DATE "YY/MM/DD" (a day the calendar has; years 70-99 are 19xx, 00-69 are
// 20xx) and TIME "HH:MM" make one sortable value (WhenKey); a malformed date or time keeps its
// text and sorts after the well-formed ones.
//
// Threads. A message's parent is the latest earlier message of the same board whose NO
// equals its REPLY as numbers. A message whose REPLY is a number without such a message is a
// root marked "original not in the log" (OriginalMissing); one whose REPLY is blank or text is
// a plain root. A parent always comes earlier in the file, so duplicate numbers, replies to
// themselves, forward references and numbers that are not decimal cannot make a loop, and
// every message is in exactly one thread of its board.
//
// Tekuri logs read exactly as their conversion by tekuri2svf with its default options does:
// each message block is read by the converter's LogReader and laid out by its record builder
// (board = the file's name less its last four bytes, message numbers added, e-mail addresses
// split off the handle, reply numbers from the titles), and the resulting SVF text is read by
// the rules above. A message's offset is that of its block's first line in the log.
//
// Text. Fields and bodies are CP932 bytes; the UTF-8 views convert them through text/Cp932.h
// (U+FFFD for each byte that does not decode, and the view is then lossy).
//
// COST
//
// The file is mapped, never copied: an SVF file's fields are views into the mapping, and a
// tekuri message is read again from the log when it is asked for. The index keeps 40 bytes a
// message (MessageEntry), and 4 more once FindNumbered has been called; nothing else grows
// with the file but the board table. An Archive is used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Fields.h"

namespace sorbit::archive {

enum class FileKind : std::uint8_t { kSvf, kTekuri };

// No message, no board.
inline constexpr std::uint32_t kNone = 0xFFFFFFFF;

// A file that cannot be opened or read: the reason in words (UTF-8), naming the path, and the
// system's error number behind it (0 when there is none), for callers that word it their own way.
struct ArchiveError {
  std::string reason;
  int error_number = 0;
};

// One message in the index. Messages are numbered 0, 1, ... in file order.
class MessageEntry {
 public:
  // SVF: the offset of the "@@@MSG" line; tekuri log: of the block's first line.
  std::uint64_t Offset() const { return offset_; }
  std::uint32_t Board() const { return board_; }
  // The sortable date and time (archive/Fields.h).
  WhenKey When() const { return when_; }
  NumberKind NoKind() const { return static_cast<NumberKind>(flags_ & 3); }
  // NO's value when it is a number of at most kMaxExactDigits significant digits.
  std::optional<std::uint64_t> NoValue() const {
    if (NoKind() != NumberKind::kNumber || (flags_ & kLongNumber) != 0) return std::nullopt;
    return number_;
  }
  NumberKind ReplyKind() const { return static_cast<NumberKind>((flags_ >> 2) & 3); }
  // REPLY is a number and no earlier message of the board has that NO.
  bool OriginalMissing() const { return (flags_ & kOriginalMissing) != 0; }
  // A header line holds a zero byte (which ends a line for the pattern library's searches).
  bool HeaderHoldsZeroByte() const { return (flags_ & kHeaderNul) != 0; }
  // The thread links: message numbers or kNone. Children and the roots of a board are in file
  // order, linked by NextSibling.
  std::uint32_t Parent() const { return parent_; }
  std::uint32_t FirstChild() const { return first_child_; }
  std::uint32_t NextSibling() const { return next_sibling_; }

 private:
  friend class Archive;
  static constexpr std::uint8_t kOriginalMissing = 1 << 4;
  static constexpr std::uint8_t kLongNumber = 1 << 5;  // number_ is not NO's value
  static constexpr std::uint8_t kHeaderNul = 1 << 6;   // a header line holds a zero byte
  static constexpr std::uint8_t kSplitPart = 1 << 7;   // tekuri: not its block's first message

  std::uint64_t offset_ = 0;
  // NO's value when it is a number of at most 19 significant digits; for a longer one a hash
  // of its digits (kLongNumber), compared by text.
  std::uint64_t number_ = 0;
  std::uint32_t board_ = 0;
  std::uint32_t parent_ = kNone;
  std::uint32_t first_child_ = kNone;
  std::uint32_t next_sibling_ = kNone;
  WhenKey when_ = 0;
  std::uint8_t flags_ = 0;
};

struct BoardInfo {
  std::string name;  // CP932 bytes, as in the file
  std::uint32_t message_count = 0;
  std::uint32_t first_root = kNone;  // the board's first thread, in file order
  // The messages with the earliest and the latest well-formed date (and time), kNone when no
  // message of the board has one.
  std::uint32_t earliest = kNone;
  std::uint32_t latest = kNone;
};

// One message's fields and body as CP932 bytes. For an SVF file the views point into the
// mapping; for a tekuri log into `storage`. Valid until the next read into this object or the
// archive's end. Reuse one object for many messages: its storage is kept.
struct RawMessage {
  std::string_view msg_line;     // the "@@@MSG," line without its line end
  std::string_view number_line;  // the "@@@" line without its line end
  MsgLineFields msg;             // board, id, handle, date, time
  NumberLineFields number;       // no, reply, title
  // The body lines, each with its line end ("\r\n" or "\n"; the file's last line may have
  // none): a block that FindInLines-style searches take whole.
  std::string_view body;
  std::string storage;
  // Which tekuri block's record `storage` holds, and where in it the last message read
  // starts, so that the messages of one block are read in turn without building its record
  // again: the archive's serial number (0: none), the block's offset, the message's place.
  std::uint64_t storage_archive = 0;
  std::uint64_t storage_block = 0;
  std::uint32_t storage_part = 0;
  std::size_t storage_part_at = 0;
};

// The same as UTF-8. `body` is the body lines joined by "\n", without a final "\n".
struct MessageText {
  std::string board, id, handle, date, time, no, reply, title, body;
  bool lossy = false;  // some byte did not decode and reads as U+FFFD
};

class Archive {
 public:
  // Opens and maps the file and tells its kind; the index is empty until built. Throws
  // ArchiveError.
  static std::unique_ptr<Archive> Open(const std::string& path);
  ~Archive();
  Archive(const Archive&) = delete;
  Archive& operator=(const Archive&) = delete;

  const std::string& Path() const { return path_; }
  FileKind Kind() const { return kind_; }
  std::uint64_t FileSize() const;
  // The file's bytes, mapped: offsets of the index point into them.
  std::string_view Bytes() const;
  // Whether another program cut the file short while it was read, so that its vanished end
  // read as zeros (only under the truncation guard, platform/posix/TruncationGuard.h; without
  // it such a read ends the process). The index and the views are then not to be trusted.
  bool FileTruncated() const;

  // Building the index. IndexStep reads about `bytes` more of the file and returns true once
  // the index is complete; a caller with an event loop calls it between events (a step of
  // the default size takes a few milliseconds). BuildIndex runs the steps to the end, calling
  // `progress` (bytes read, file size) after each. Until the index is complete only the
  // entries found so far exist, and their thread links, the roots and the board figures are
  // not yet set. Building a complete index again does nothing.
  static constexpr std::size_t kDefaultStepBytes = 8 << 20;
  bool IndexStep(std::size_t bytes = kDefaultStepBytes);
  void BuildIndex(const std::function<void(std::uint64_t, std::uint64_t)>& progress = {});
  bool Indexed() const;
  std::uint64_t BytesIndexed() const;

  std::uint32_t MessageCount() const;
  const MessageEntry& Message(std::uint32_t index) const;
  const std::vector<BoardInfo>& Boards() const;
  // The message after `index` in its board's thread order (depth first, children in file
  // order, threads in file order), or kNone after the board's last one.
  std::uint32_t NextInThreadOrder(std::uint32_t index) const;
  // The root of the thread `index` is in.
  std::uint32_t ThreadRoot(std::uint32_t index) const;

  // The message that a reference to NO `digits` (ASCII digits, leading zeros allowed) made in
  // message `from` of `board` means: the latest message of the board before `from` with that
  // NO, else the first after it; kNone when the board has none. Pass from = kNone to ask for
  // the latest of the whole board.
  std::uint32_t FindNumbered(std::uint32_t board, std::string_view digits,
                             std::uint32_t from) const;

  // Reading one message. Throws nothing for an indexed message (a tekuri log's blocks are read
  // from the mapping). A message of an SVF file that another program has changed since it was
  // indexed, so that its header lines are no longer where the index says, reads as empty.
  void ReadRaw(std::uint32_t index, RawMessage& raw) const;
  // `raw` is the caller's scratch, reused.
  void ReadText(std::uint32_t index, MessageText& text, RawMessage& raw) const;

  // Bytes the index holds, for the figures: entries, boards, side tables.
  std::size_t IndexBytes() const;

 private:
  struct State;
  Archive(std::string path, std::unique_ptr<State> state);

  std::string path_;
  FileKind kind_ = FileKind::kSvf;
  std::unique_ptr<State> state_;
};

// A body block without the line end of its last line: its lines joined by their line ends.
std::string_view WithoutFinalLineEnd(std::string_view body);

// Append the UTF-8 form of raw CP932 bytes to `out`: a field as it is; a body block with its
// line ends made "\n" and the last one dropped. Return false when a byte did not decode.
bool AppendFieldAsUtf8(std::string_view bytes, std::string& out);
bool AppendBodyAsUtf8(std::string_view body, std::string& out);

}  // namespace sorbit::archive
