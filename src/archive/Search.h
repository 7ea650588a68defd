// Searching an archive with a pattern of the pattern library: which messages hold a match in
// their title, handle or body (or any of them), in one board or all, and where the matches
// stand in a message's UTF-8 view.
//
// What a match in a field means: the pattern is searched in the title and in the handle as
// texts of their own ("^" and "$" at their ends), and in the body line by line, each line
// without its line end ("^" and "$" at the line's ends), as SjisRegExp's FindLine reads a
// block of lines. A field ends early at its first zero byte, a body line at its own. A lone CR
// is an ordinary byte, so patterns are compiled with "$" before LF only (CompileSearchPattern
// does). Hits are message numbers in file order, each once.
//
// How it is fast: over an SVF file, a search that takes bodies runs the pattern over the
// mapped file in one pass, block by block, and maps each line that holds a match to its
// message by offset; a match in a header line is checked again in the field itself, and a
// message with a hit is skipped to its end. A pattern that may hold an anchor ("^" or "$"),
// a search of titles or handles alone, and a tekuri log are searched message by message.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "SjisRegExp/SjisRegExp.h"
#include "archive/Archive.h"

namespace sorbit::archive {

// Which fields a search looks in; any combination.
enum SearchFields : std::uint8_t {
  kSearchTitle = 1,
  kSearchHandle = 2,
  kSearchBody = 4,
  kSearchAll = 7,
};

// A search run in steps, so that a window can serve its events in between; the archive's
// index must be complete, and the archive and the pattern must outlive the search.
class ArchiveSearch {
 public:
  ArchiveSearch(const Archive& archive, const SjisRegExp::TCompiledRegExp& pattern,
                std::uint8_t fields = kSearchAll, std::uint32_t board = kNone);

  // Searches about `bytes` more of the file; true once the search is complete.
  static constexpr std::size_t kDefaultStepBytes = 8 << 20;
  bool Step(std::size_t bytes = kDefaultStepBytes);
  bool Done() const { return done_; }
  // The messages with a match, ascending; complete once Done.
  const std::vector<std::uint32_t>& Hits() const { return hits_; }
  std::uint64_t BytesSearched() const { return position_; }

 private:
  bool StepWholeFile(std::size_t bytes);
  bool StepByMessage(std::size_t bytes);
  bool MessageMatches(std::uint32_t index);
  bool InScope(std::uint32_t index) const;
  void Finish();

  const Archive& archive_;
  const SjisRegExp::TCompiledRegExp& pattern_;
  std::uint8_t fields_;
  std::uint32_t board_;
  bool whole_file_ = false;
  bool done_ = false;
  std::uint64_t position_ = 0;  // file offset reached
  std::uint32_t next_ = 0;      // the next message to look at
  std::vector<std::uint32_t> hits_;
  std::vector<std::uint32_t> header_nul_;  // whole-file search: messages checked on their own
  RawMessage raw_;
};

// Every message with a match, as an ArchiveSearch run to its end finds them.
std::vector<std::uint32_t> SearchArchive(const Archive& archive,
                                         const SjisRegExp::TCompiledRegExp& pattern,
                                         std::uint8_t fields = kSearchAll,
                                         std::uint32_t board = kNone);

// One match in a message's UTF-8 view (MessageText): its field (kSearchTitle, kSearchHandle or
// kSearchBody) and byte offsets into that field's text.
struct TextMatch {
  std::uint8_t field = 0;
  std::size_t begin = 0;
  std::size_t end = 0;
};
// Every match in the fields asked for, one after another in each field (an empty match is
// passed by one character), for highlighting.
std::vector<TextMatch> FindInMessage(const Archive& archive,
                                     const SjisRegExp::TCompiledRegExp& pattern,
                                     std::uint32_t index, std::uint8_t fields, RawMessage& raw);

// A UTF-8 pattern with a character that is not UTF-8 or has no CP932 form: the byte offset of
// that character in the pattern, and the reason in words.
class PatternEncodingError : public std::runtime_error {
 public:
  PatternEncodingError(const std::string& reason, std::size_t offset)
      : std::runtime_error(reason), offset_(offset) {}
  std::size_t Offset() const { return offset_; }

 private:
  std::size_t offset_;
};

// A pattern typed in UTF-8, in CP932 for the pattern library, as sjisgrep makes what its users
// type (text/Cp932Pattern.h): a character with several CP932 codes matches each of them, and
// "¥" and "＼" are the characters whose bytes they stand for. Throws PatternEncodingError.
std::string PatternToCp932(std::string_view utf8);
// The pattern, converted, compiled for searching an archive: "$" before LF only, the fuzzy
// dictionary when `fuzzy`. Throws PatternEncodingError or SjisRegExp::ERegExpParser (whose
// position counts CP932 bytes).
SjisRegExp::TCompiledRegExp CompileSearchPattern(std::string_view utf8, bool fuzzy);

}  // namespace sorbit::archive
