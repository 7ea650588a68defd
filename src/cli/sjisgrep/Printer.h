// Printer: everything sjisgrep writes to standard output goes through here, in GNU grep's
// formats: "NAME:LINE:OFFSET:TEXT" for selected lines, "-" in place of ":" for context lines,
// "--" between context groups, a zero byte after names with -Z, and colours with --color.
//
// Colours follow GREP_COLORS (ms, mc, sl, cx, fn, ln, bn, se and the flag ne; GREP_COLOR as
// the older form of mt), default "ms=01;31:mc=01;31:sl=:cx=:fn=35:ln=32:bn=32:se=36". A part
// with an empty colour is printed without escapes.
//
// Line text is Shift-JIS from the file; it is converted to UTF-8 when the output encoding is
// UTF-8 (text/Cp932.h, a piece at a time through one buffer, so a line of any length prints
// without memory of its size), and written as it is otherwise. File names are written as the
// file system gives them.
//
// Output is buffered (per line with --line-buffered). Once a write has failed nothing more is
// written, so the output is a beginning of what it should have been, never one with a gap;
// Failed() tells.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "Encoding.h"

namespace sjisgrep {

struct Colors {
  std::string ms = "01;31", mc = "01;31", sl, cx, fn = "35", ln = "32", bn = "32", se = "36";
  bool eraseLine = true;  // "\33[K" after each start and end; off with "ne"
};

// The colours of the environment (GREP_COLOR, then GREP_COLORS).
Colors ColorsFromEnvironment();

class Printer {
 public:
  // colors null: no colours.
  Printer(std::FILE* out, TextEncoding encoding, const Colors* colors, bool nullAfterName);

  // The prefix of a line: the name, line number and byte offset that are wanted, each followed
  // by the separator (':' for a selected line, '-' for context).
  void Prefix(const std::string* name, const std::uintmax_t* lineNumber,
              const std::uintmax_t* offset, char separator);
  // Line text; `match` marks matched text (selected: ms, context: mc), else the line's colour.
  void Text(const char* begin, const char* end, bool selected, bool match);
  void EndLine();
  // "--" between context groups.
  void GroupSeparator();
  // A name on its own (-l, -L): followed by a newline, or a zero byte with -Z.
  void NameLine(const std::string& name);
  // "NAME:" (or "NAME\0" with -Z) before a count.
  void CountPrefix(const std::string& name);
  void Put(std::string_view bytes);

  bool HasColors() const { return colors_ != nullptr; }
  // --line-buffered: every line goes out when it ends.
  void SetLineBuffered(bool on) { lineBuffered_ = on; }
  // The byte that ends lines and the group separator: LF, or zero with -z.
  void SetLineEnd(char eol) { eol_ = eol; }
  bool Flush();
  bool Failed() const { return std::ferror(out_) != 0; }

 private:
  void Colored(const std::string& color, std::string_view bytes);

  std::FILE* out_;
  TextEncoding encoding_;
  const Colors* colors_;
  bool nullAfterName_;
  bool lineBuffered_ = false;
  char eol_ = '\n';
  std::vector<char> utf8_;  // room for one piece of converted text
};

}  // namespace sjisgrep
