// The search of one input: block search, line bounds after a hit, context and output.
#include "FileSearcher.h"

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <cstring>

namespace sjisgrep {

namespace {

// The start of the line that holds p: just after the line end before it, or floor.
const char* LineStart(const char* floor, const char* p, char eol) {
  const void* lf = p > floor ? memrchr(floor, eol, static_cast<std::size_t>(p - floor)) : nullptr;
  return lf != nullptr ? static_cast<const char*>(lf) + 1 : floor;
}

// The bytes of the character at p, which lies before end.
std::size_t CharLength(const char* p, const char* end) {
  return SjisRegExp::CharLength(std::string_view(p, static_cast<std::size_t>(end - p)), 0);
}

std::uintmax_t CountLineEnds(const char* p, const char* end, char eol) {
  std::uintmax_t count = 0;
  while (p < end) {
    const void* lf = std::memchr(p, eol, static_cast<std::size_t>(end - p));
    if (lf == nullptr) break;
    ++count;
    p = static_cast<const char*>(lf) + 1;
  }
  return count;
}

}  // namespace

FileSearcher::Line FileSearcher::LineAt(const char* begin) const {
  const char* end = reader_.End();
  const void* lf = std::memchr(begin, eol_, static_cast<std::size_t>(end - begin));
  if (lf == nullptr) return {begin, end, false};
  return {begin, static_cast<const char*>(lf), true};
}

FileSearcher::Outcome FileSearcher::Search(int fd, const std::string& name, bool showName,
                                           std::FILE* err) {
  reader_.Reset(fd);
  err_ = err;
  name_ = &name;
  showName_ = showName;
  binary_ = false;
  done_ = false;
  quietHit_ = false;
  selected_ = 0;
  afterLeft_ = 0;
  printedAny_ = false;
  printedEnd_ = 0;
  countedTo_ = 0;
  countedLine_ = 1;
  maxReached_ = options_.maxCount && *options_.maxCount == 0;

  Outcome outcome;
  std::uintmax_t pos = 0;  // offset of the first line not yet searched
  bool atEnd = maxReached_;
  // A failed write (a full disk, a closed pipe) ends the search; Grep reports it.
  while (!atEnd && !done_ && !setup_.printer->Failed()) {
    const BlockReader::Status status = reader_.Fill(KeepFrom(reader_.At(pos)));
    if (status == BlockReader::Status::kError || status == BlockReader::Status::kNoMemory) {
      // -s hides what went wrong reading a file, as grep's does; not that memory ran out.
      if (status == BlockReader::Status::kNoMemory || !options_.noMessages) {
        const char* reason = status == BlockReader::Status::kError
                                 ? std::strerror(errno)
                                 : "a line is too long to hold in memory";
        setup_.printer->Flush();
        std::fprintf(err, "sjisgrep: %s: %s\n", name.c_str(), reason);
      }
      outcome.error = true;
      break;
    }
    atEnd = status == BlockReader::Status::kEnd;
    // With -z zero bytes end lines, and no file is binary.
    if (options_.binaryFiles != BinaryFiles::kText && !options_.nullData && !binary_ &&
        std::memchr(reader_.Fresh(), 0,
                    static_cast<std::size_t>(reader_.End() - reader_.Fresh()))) {
      binary_ = true;
      if (options_.binaryFiles == BinaryFiles::kWithoutMatch) {
        // -I: a binary file is one without matches.
        selected_ = 0;
        break;
      }
    }
    const char* p = reader_.At(pos);
    const char* end = reader_.End();
    if (!atEnd) {
      // Only complete lines; the rest waits for more bytes. The kept bytes from p on hold no
      // LF (they are the start of a line), so only the fresh ones are looked at: a long line
      // costs one pass, not one per block.
      const char* fresh = std::max(p, reader_.Fresh());
      const void* lastLf = memrchr(fresh, eol_, static_cast<std::size_t>(end - fresh));
      if (lastLf == nullptr) continue;
      end = static_cast<const char*>(lastLf) + 1;
    }
    if (p < end && !SearchLines(p, end)) done_ = true;
    pos = reader_.OffsetOf(end);
  }
  if (outcome.error) return outcome;
  outcome.selected = selected_;
  outcome.stopAll = quietHit_;
  Printer& printer = *setup_.printer;
  if (options_.countOnly && !options_.quiet && !options_.listMatching &&
      !options_.listNonMatching) {
    if (showName_) printer.CountPrefix(name);
    printer.Put(std::to_string(selected_));
    printer.Put("\n");
  }
  if (options_.listNonMatching && selected_ == 0 && !options_.quiet) printer.NameLine(name);
  return outcome;
}

const char* FileSearcher::KeepFrom(const char* pos) {
  // Up to -B lines before pos that have not been printed stay for the next selected line.
  const char* keep = pos;
  const char* floor = reader_.Begin();
  if (printedAny_ && printedEnd_ > reader_.BaseOffset()) floor = reader_.At(printedEnd_);
  for (std::uintmax_t k = 0; k < options_.before && keep > floor; ++k) {
    keep = LineStart(floor, keep - 1, eol_);
  }
  // Line numbers must be counted before the bytes go.
  if (options_.lineNumbers && countedTo_ < reader_.OffsetOf(keep)) {
    LineNumberOf(keep);
  }
  return keep;
}

std::uintmax_t FileSearcher::LineNumberOf(const char* lineBegin) {
  const std::uintmax_t offset = reader_.OffsetOf(lineBegin);
  if (offset >= countedTo_) {
    countedLine_ += CountLineEnds(reader_.At(countedTo_), lineBegin, eol_);
  } else {
    countedLine_ -= CountLineEnds(lineBegin, reader_.At(countedTo_), eol_);
  }
  countedTo_ = offset;
  return countedLine_;
}

const char* FileSearcher::TextEnd(const Line& line) const {
  // A zero-terminated line (-z) keeps a CR before its end.
  return LineMatcher::TextEnd(line.begin, line.end, line.hasLineFeed && eol_ == '\n');
}

bool FileSearcher::Matches(const Line& line) const {
  const LineMatcher* lines = setup_.lines;
  if (lines == nullptr) return false;
  return lines->Find(line.begin, line.begin, TextEnd(line)).start != nullptr;
}

FileSearcher::Line FileSearcher::NextMatchingLine(const char* p, const char* end) const {
  if (setup_.lines == nullptr) return {end, end, false};
  if (eol_ != '\n') {
    // The block search cuts lines at LF: zero-terminated lines are searched one by one.
    while (p < end) {
      const Line line = LineAt(p);
      if (Matches(line)) return line;
      p = line.end + 1;
    }
    return {end, end, false};
  }
  while (p < end) {
    const LineMatch hit = setup_.lines->FindLine(p, end);
    if (hit.start == nullptr) break;
    const Line line = LineAt(hit.start);
    if (!setup_.checkLines || Matches(line)) return line;
    p = line.end + 1;
  }
  return {end, end, false};
}

bool FileSearcher::SearchLines(const char* p, const char* end) {
  // Whole lines only: p starts one, and end is just after a line end or the end of the input.
  assert(p == reader_.Begin() || p[-1] == eol_);
  assert(end == reader_.End() || end[-1] == eol_);
  while (p < end) {
    if (maxReached_) {
      // Only the context after the last selected line is still wanted, matching lines or not.
      if (afterLeft_ == 0) return false;
      const Line line = LineAt(p);
      Context(line);
      p = line.end + 1;
      continue;
    }
    const Line match = NextMatchingLine(p, end);
    if (!PassNonMatching(p, match.begin)) return false;
    if (match.begin >= end) break;
    if (options_.invert) {
      Context(match);
    } else if (!Selected(match)) {
      return false;
    }
    p = match.end + 1;
  }
  return true;
}

bool FileSearcher::PassNonMatching(const char* p, const char* q) {
  if (options_.invert) {
    while (p < q && !maxReached_) {
      const Line line = LineAt(p);
      if (!Selected(line)) return false;
      p = line.end + 1;
    }
    if (p < q && maxReached_) {
      while (p < q && afterLeft_ > 0) {
        const Line line = LineAt(p);
        Context(line);
        p = line.end + 1;
      }
    }
    return true;
  }
  while (p < q && afterLeft_ > 0) {
    const Line line = LineAt(p);
    Context(line);
    p = line.end + 1;
  }
  return true;
}

bool FileSearcher::Selected(const Line& line) {
  ++selected_;
  if (options_.maxCount && selected_ >= *options_.maxCount) maxReached_ = true;
  if (options_.quiet) {
    quietHit_ = true;
    return false;
  }
  Printer& printer = *setup_.printer;
  if (options_.listMatching) {
    printer.NameLine(*name_);
    return false;
  }
  if (options_.listNonMatching) return false;
  if (options_.countOnly) return !maxReached_;
  if (binary_) {
    // As grep 3.5 and later say it: on standard error, after what was printed before.
    printer.Flush();
    std::fprintf(err_, "sjisgrep: %s: binary file matches\n", name_->c_str());
    return false;
  }
  PrintBeforeContext(line);
  PrintLine(line, ':');
  afterLeft_ = options_.after;
  return !maxReached_ || afterLeft_ > 0;
}

void FileSearcher::Context(const Line& line) {
  if (afterLeft_ == 0) return;
  --afterLeft_;
  PrintLine(line, '-');
}

void FileSearcher::PrintBeforeContext(const Line& line) {
  if (options_.before == 0) return;
  const char* floor = reader_.Begin();
  if (printedAny_ && printedEnd_ > reader_.BaseOffset()) floor = reader_.At(printedEnd_);
  const char* first = line.begin;
  for (std::uintmax_t k = 0; k < options_.before && first > floor; ++k) {
    first = LineStart(floor, first - 1, eol_);
  }
  while (first < line.begin) {
    const Line context = LineAt(first);
    PrintLine(context, '-');
    first = context.end + 1;
  }
}

void FileSearcher::PrintLine(const Line& line, char separator) {
  Printer& printer = *setup_.printer;
  const std::uintmax_t offset = reader_.OffsetOf(line.begin);
  if (options_.contextGiven && *setup_.groupPrinted && (!printedAny_ || offset != printedEnd_)) {
    printer.GroupSeparator();
  }
  *setup_.groupPrinted = true;
  printedAny_ = true;
  printedEnd_ = reader_.OffsetOf(line.end) + 1;

  std::uintmax_t number = 0;
  if (options_.lineNumbers) number = LineNumberOf(line.begin);
  const std::uintmax_t* numberPtr = options_.lineNumbers ? &number : nullptr;
  const std::string* namePtr = showName_ ? name_ : nullptr;
  const bool selected = separator == ':';
  const char* textEnd = TextEnd(line);
  const LineMatcher* lines = setup_.lines;

  if (options_.onlyMatching) {
    // Context lines print nothing here, but they join groups as grep's do, so "--" stands
    // where grep puts it.
    if (!selected || lines == nullptr) return;
    const char* from = line.begin;
    while (from <= textEnd) {
      const LineMatch m = lines->Find(line.begin, from, textEnd);
      if (m.start == nullptr) break;
      if (m.end > m.start) {
        const std::uintmax_t at = reader_.OffsetOf(m.start);
        printer.Prefix(namePtr, numberPtr, options_.byteOffset ? &at : nullptr, separator);
        printer.Text(m.start, m.end, true, true);
        printer.EndLine();
        from = m.end;
      } else {
        // An empty match prints nothing; look again one character further on.
        if (m.start >= textEnd) break;
        from = m.start + CharLength(m.start, textEnd);
      }
      if (from >= textEnd) break;
    }
    return;
  }

  printer.Prefix(namePtr, numberPtr, options_.byteOffset ? &offset : nullptr, separator);
  // Matches are marked in selected lines, and in context lines when -v makes those the
  // matching ones.
  const bool mark = printer.HasColors() && lines != nullptr && selected != options_.invert;
  const char* from = line.begin;
  if (mark) {
    while (from < textEnd) {
      const LineMatch m = lines->Find(line.begin, from, textEnd);
      if (m.start == nullptr) break;
      printer.Text(from, m.start, selected, false);
      if (m.end > m.start) {
        printer.Text(m.start, m.end, selected, true);
        from = m.end;
      } else if (m.start < textEnd) {
        const char* next = m.start + CharLength(m.start, textEnd);
        printer.Text(m.start, next, selected, false);
        from = next;
      } else {
        from = textEnd;  // an empty match at the end of the text marks nothing
      }
    }
  }
  printer.Text(from, line.end, selected, false);
  printer.EndLine();
}

}  // namespace sjisgrep
