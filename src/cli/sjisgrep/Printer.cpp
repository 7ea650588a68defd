// The output formats of sjisgrep, with colours and the conversion of line text.
#include "Printer.h"

#include <cstdlib>

namespace sjisgrep {

Colors ColorsFromEnvironment() {
  Colors colors;
  if (const char* old = std::getenv("GREP_COLOR"); old != nullptr && *old != '\0') {
    colors.ms = colors.mc = old;
  }
  const char* settings = std::getenv("GREP_COLORS");
  if (settings == nullptr) return colors;
  std::string_view rest = settings;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view item = rest.substr(0, colon);
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    const std::size_t equals = item.find('=');
    const std::string_view key = item.substr(0, equals);
    const std::string value =
        equals == std::string_view::npos ? std::string() : std::string(item.substr(equals + 1));
    if (key == "mt") {
      colors.ms = colors.mc = value;
    } else if (key == "ms") {
      colors.ms = value;
    } else if (key == "mc") {
      colors.mc = value;
    } else if (key == "sl") {
      colors.sl = value;
    } else if (key == "cx") {
      colors.cx = value;
    } else if (key == "fn") {
      colors.fn = value;
    } else if (key == "ln") {
      colors.ln = value;
    } else if (key == "bn") {
      colors.bn = value;
    } else if (key == "se") {
      colors.se = value;
    } else if (key == "ne") {
      colors.eraseLine = false;
    }
    // Other keys (rv, ...) are GNU grep's refinements that we do without.
  }
  return colors;
}

Printer::Printer(std::FILE* out, TextEncoding encoding, const Colors* colors, bool nullAfterName)
    : out_(out), encoding_(encoding), colors_(colors), nullAfterName_(nullAfterName) {}

void Printer::Put(std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), out_); }

void Printer::Colored(const std::string& color, std::string_view bytes) {
  if (colors_ == nullptr || color.empty() || bytes.empty()) {
    Put(bytes);
    return;
  }
  const char* erase = colors_->eraseLine ? "\33[K" : "";
  std::fprintf(out_, "\33[%sm%s", color.c_str(), erase);
  Put(bytes);
  std::fprintf(out_, "\33[m%s", erase);
}

void Printer::Prefix(const std::string* name, const std::uintmax_t* lineNumber,
                     const std::uintmax_t* offset, char separator) {
  // Without colours every part is printed plain: the colours are all empty.
  static const Colors kPlain{"", "", "", "", "", "", "", "", false};
  const Colors& c = colors_ != nullptr ? *colors_ : kPlain;
  const std::string& se = c.se;
  const std::string_view sep(&separator, 1);
  if (name != nullptr) {
    Colored(c.fn, *name);
    if (nullAfterName_) {
      Put(std::string_view("\0", 1));
    } else {
      Colored(se, sep);
    }
  }
  if (lineNumber != nullptr) {
    Colored(c.ln, std::to_string(*lineNumber));
    Colored(se, sep);
  }
  if (offset != nullptr) {
    Colored(c.bn, std::to_string(*offset));
    Colored(se, sep);
  }
}

void Printer::Text(const char* begin, const char* end, bool selected, bool match) {
  std::string_view bytes(begin, static_cast<std::size_t>(end - begin));
  if (encoding_ == TextEncoding::kUtf8) {
    scratch_.clear();
    toUtf8_.Append(begin, end, scratch_);
    bytes = scratch_;
  }
  if (colors_ == nullptr) {
    Put(bytes);
  } else if (match) {
    Colored(selected ? colors_->ms : colors_->mc, bytes);
  } else {
    Colored(selected ? colors_->sl : colors_->cx, bytes);
  }
}

void Printer::GroupSeparator() {
  Colored(colors_ != nullptr ? colors_->se : std::string(), "--");
  Put("\n");
}

void Printer::NameLine(const std::string& name) {
  Colored(colors_ != nullptr ? colors_->fn : std::string(), name);
  Put(nullAfterName_ ? std::string_view("\0", 1) : std::string_view("\n"));
}

void Printer::CountPrefix(const std::string& name) {
  Colored(colors_ != nullptr ? colors_->fn : std::string(), name);
  if (nullAfterName_) {
    Put(std::string_view("\0", 1));
  } else {
    Colored(colors_ != nullptr ? colors_->se : std::string(), ":");
  }
}

bool Printer::Flush() { return std::fflush(out_) == 0 && !Failed(); }

}  // namespace sjisgrep
