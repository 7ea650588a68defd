// FileSearcher: searches one input for the selected lines and prints what the options ask
// for (lines with their context, -o parts, a count, a name) through the Printer.
//
// The input is read in blocks (BlockReader); each block's complete lines are searched as a
// whole for the first line that holds a match (LineMatcher::FindLine), and only that line
// is looked at: with -w its matches are checked for word bounds, and line numbers are
// counted only when -n asks. Context lines before a selected line are kept in
// the block buffer; those after it are printed as the search passes them.
//
// A file is binary when it holds a zero byte (unless -a or -z): instead of its first selected
// line to print, "sjisgrep: NAME: binary file matches" goes to standard error and the rest of
// the file is skipped; with -I the file counts as one without matches.
//
// Lines end at LF, or with -z at a zero byte; the block search knows only LF, so -z searches
// line by line.
#pragma once

#include <cstdint>
#include <string>

#include "BlockReader.h"
#include "LineMatcher.h"
#include "Options.h"
#include "Printer.h"

namespace sjisgrep {

struct SearchSetup {
  const Options* options = nullptr;
  const LineMatcher* lines = nullptr;  // null when there is no pattern: nothing matches
  // Whether a line that holds a match must still be checked with LineMatcher::Find (-w).
  bool checkLines = false;
  Printer* printer = nullptr;
  // Whether a group of lines has been printed from any input yet, for "--" between groups.
  bool* groupPrinted = nullptr;
};

class FileSearcher {
 public:
  explicit FileSearcher(const SearchSetup& setup)
      : setup_(setup), options_(*setup.options), eol_(options_.nullData ? '\0' : '\n') {}

  struct Outcome {
    std::uintmax_t selected = 0;
    bool error = false;    // a read error or a line too long for memory; already reported
    bool stopAll = false;  // -q saw a selected line: nothing more needs to be read
  };
  // Searches the open input fd; name is how it is shown (messages and prefixes).
  Outcome Search(int fd, const std::string& name, bool showName, std::FILE* err);

 private:
  struct Line {
    const char* begin;
    const char* end;  // at its LF, or the end of the data
    bool hasLineFeed;
  };

  // Searches the complete lines [p, end) of the held bytes; false once the file is done with.
  bool SearchLines(const char* p, const char* end);
  // The next line at or after p (a line start) that the pattern matches, or {end, end}.
  Line NextMatchingLine(const char* p, const char* end) const;
  bool Matches(const Line& line) const;
  // Where the text that is matched ends in the line (LineMatcher::TextEnd).
  const char* TextEnd(const Line& line) const;
  // Lines [p, q) that do not match.
  bool PassNonMatching(const char* p, const char* q);
  bool Selected(const Line& line);
  void Context(const Line& line);
  void PrintLine(const Line& line, char separator);
  void PrintBeforeContext(const Line& line);
  Line LineAt(const char* begin) const;
  std::uintmax_t LineNumberOf(const char* lineBegin);
  const char* KeepFrom(const char* pos);

  const SearchSetup& setup_;
  const Options& options_;
  const char eol_;  // the byte that ends a line: LF, or zero with -z
  std::FILE* err_ = nullptr;
  BlockReader reader_;
  const std::string* name_ = nullptr;
  bool showName_ = false;
  bool binary_ = false;
  bool done_ = false;  // no more lines are wanted from this file
  bool quietHit_ = false;
  std::uintmax_t selected_ = 0;
  std::uintmax_t afterLeft_ = 0;    // context lines still to print after the last selected one
  bool printedAny_ = false;         // any line printed in this file
  std::uintmax_t printedEnd_ = 0;   // offset just after the last printed line
  std::uintmax_t countedTo_ = 0;    // line numbers are known up to this line start...
  std::uintmax_t countedLine_ = 1;  // ...which has this number
  bool maxReached_ = false;
};

}  // namespace sjisgrep
