// Reading the run's patterns from their sources, and telling where a bad one is.
#include "Patterns.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "BlockReader.h"
#include "CharClasses.h"
#include "PatternParser.h"
#include "text/Cp932.h"

namespace sjisgrep {

namespace {

constexpr char kProgram[] = "sjisgrep";

// One pattern line and how to name it in a message.
struct PatternLine {
  std::string text;
  std::string where;
};

// Reads a whole pattern file (or standard input for "-") with the one block reader; false
// with errno set when it cannot.
bool ReadWholeFile(const std::string& name, std::string& text) {
  const int fd = name == "-" ? 0 : ::open(name.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  BlockReader reader;
  reader.Reset(fd);
  for (;;) {
    const BlockReader::Status status = reader.Fill(reader.Begin());
    if (status == BlockReader::Status::kRead) continue;
    const int error = status == BlockReader::Status::kError ? errno : ENOMEM;
    if (status == BlockReader::Status::kEnd) text.assign(reader.Begin(), reader.End());
    if (fd != 0) ::close(fd);
    errno = error;
    return status == BlockReader::Status::kEnd;
  }
}

// Cuts pattern text at its LFs, as grep does; in a file a final LF adds no pattern, and the CR
// of a CR LF is dropped.
void AddLines(std::string_view text, bool fromFile, const std::string& where,
              std::vector<PatternLine>& lines) {
  std::vector<std::string_view> cut;
  std::size_t start = 0;
  for (;;) {
    const std::size_t lf = text.find('\n', start);
    if (lf == std::string_view::npos) {
      if (!(fromFile && start == text.size())) cut.push_back(text.substr(start));
      break;
    }
    cut.push_back(text.substr(start, lf - start));
    start = lf + 1;
  }
  for (std::size_t k = 0; k < cut.size(); ++k) {
    std::string_view line = cut[k];
    if (fromFile && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    std::string name = where;
    if (fromFile || cut.size() > 1) name += ", line " + std::to_string(k + 1);
    lines.push_back({std::string(line), std::move(name)});
  }
}

// The typed line, and under it a caret below the character `column` (0-based), spaced by
// the widths the characters before it show with.
void PrintCaret(const std::string& typed, std::size_t column, TextEncoding encoding,
                std::FILE* err) {
  std::string pad;
  std::size_t k = 0;
  for (std::size_t c = 0; c < column && k < typed.size(); ++c) {
    const auto byte = static_cast<unsigned char>(typed[k]);
    if (byte == '\t') {
      pad += '\t';
      ++k;
      continue;
    }
    if (encoding == TextEncoding::kUtf8) {
      char32_t cp = 0;
      const std::size_t length = sorbit::text::ReadUtf8Char(typed, k, cp);
      pad.append(static_cast<std::size_t>(length == 0 ? 1 : DisplayWidth(cp)), ' ');
      k += length == 0 ? 1 : length;
    } else {
      const std::size_t length = sorbit::text::IsCp932LeadByte(byte) ? 2 : 1;
      pad.append(length, ' ');
      k += length;
    }
  }
  std::fprintf(err, "  %s\n  %s^\n", typed.c_str(), pad.c_str());
}

void Report(const PatternLine& line, std::size_t column, const std::string& message,
            TextEncoding encoding, std::FILE* err) {
  std::fprintf(err, "%s: %s, column %zu: %s\n", kProgram, line.where.c_str(), column + 1,
               message.c_str());
  PrintCaret(line.text, column, encoding, err);
}

}  // namespace

std::optional<std::vector<MatchPiece>> ReadPatterns(const Options& options, TextEncoding encoding,
                                                    std::FILE* err) {
  std::vector<PatternLine> lines;
  std::vector<bool> fromFile;
  int option = 0;
  for (const PatternSource& source : options.patterns) {
    switch (source.kind) {
      case PatternSource::Kind::kOperand:
        AddLines(source.text, false, "pattern", lines);
        break;
      case PatternSource::Kind::kRegexp:
        AddLines(source.text, false, "-e pattern " + std::to_string(++option), lines);
        break;
      case PatternSource::Kind::kFile: {
        std::string text;
        if (!ReadWholeFile(source.text, text)) {
          std::fprintf(err, "%s: %s: %s\n", kProgram, source.text.c_str(), std::strerror(errno));
          return std::nullopt;
        }
        std::string_view content = text;
        if (encoding == TextEncoding::kUtf8 && content.starts_with("\xEF\xBB\xBF")) {
          content.remove_prefix(3);
        }
        AddLines(content, true, source.text == "-" ? "(standard input)" : source.text, lines);
        break;
      }
    }
    fromFile.resize(lines.size(), source.kind == PatternSource::Kind::kFile);
  }

  const ParseOptions parse{encoding, options.ignoreCase, options.fixedStrings};
  std::vector<PatternTree> trees;
  trees.reserve(lines.size());
  for (std::size_t k = 0; k < lines.size(); ++k) {
    std::vector<std::string> warnings;
    try {
      trees.push_back(ParsePattern(lines[k].text, parse, warnings));
    } catch (const PatternError& error) {
      std::string message = error.what();
      if (encoding == TextEncoding::kUtf8 && message.starts_with("not valid UTF-8")) {
        message += fromFile[k] ? "; for a Shift-JIS pattern file give --encoding=sjis"
                               : "; for Shift-JIS patterns give --encoding=sjis";
      }
      Report(lines[k], error.Column(), message, encoding, err);
      return std::nullopt;
    }
    for (const std::string& warning : warnings) {
      std::fprintf(err, "%s: warning: %s\n", kProgram, warning.c_str());
    }
  }

  TranslateOptions translate;
  translate.lineRegexp = options.lineRegexp;
  translate.fuzzy = options.fuzzy;
  TranslateError error;
  std::vector<MatchPiece> pieces = TranslatePatterns(trees, translate, error);
  if (!error.message.empty()) {
    Report(lines[error.pattern], error.column, error.message, encoding, err);
    return std::nullopt;
  }
  return pieces;
}

}  // namespace sjisgrep
