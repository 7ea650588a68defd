// The output formats of sjisgrep, with colours and the conversion of line text.
#include "Printer.h"

#include <cstdlib>

#include "text/Cp932.h"

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

namespace {

// How many file bytes are converted at a time.
constexpr std::size_t kPieceBytes = 16 * 1024;

// The largest n <= limit such that the decoder, reading [p, p + size) from p, starts a
// character at p + n: it takes a lead byte and the byte after it together only when the pair
// decodes, so the pieces decode exactly as the whole.
std::size_t PieceEnd(const char* p, std::size_t size, std::size_t limit) {
  if (size <= limit) return size;
  std::size_t k = 0;
  for (;;) {
    const auto b = static_cast<unsigned char>(p[k]);
    std::size_t step = 1;
    if (sorbit::text::IsCp932LeadByte(b) && k + 1 < size) {
      const auto pair =
          static_cast<sorbit::text::Cp932Code>(b << 8 | static_cast<unsigned char>(p[k + 1]));
      if (sorbit::text::Cp932CodePoint(pair) != sorbit::text::kNoCodePoint) step = 2;
    }
    if (k + step > limit) return k;
    k += step;
  }
}

}  // namespace

Printer::Printer(std::FILE* out, TextEncoding encoding, const Colors* colors, bool nullAfterName)
    : out_(out), encoding_(encoding), colors_(colors), nullAfterName_(nullAfterName) {
  if (encoding_ == TextEncoding::kUtf8) utf8_.resize(sorbit::text::Cp932DecodeRoom(kPieceBytes));
}

void Printer::Put(std::string_view bytes) {
  // After a failed write nothing more goes out: what was written stays a beginning.
  if (Failed()) return;
  std::fwrite(bytes.data(), 1, bytes.size(), out_);
}

void Printer::EndLine() {
  Put(std::string_view(&eol_, 1));
  if (lineBuffered_ && !Failed()) std::fflush(out_);
}

void Printer::Colored(const std::string& color, std::string_view bytes) {
  if (colors_ == nullptr || color.empty() || bytes.empty()) {
    Put(bytes);
    return;
  }
  const std::string erase = colors_->eraseLine ? "\33[K" : "";
  Put("\33[" + color + "m" + erase);
  Put(bytes);
  Put("\33[m" + erase);
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
  const std::string* color = nullptr;
  if (colors_ != nullptr) {
    color =
        match ? (selected ? &colors_->ms : &colors_->mc) : (selected ? &colors_->sl : &colors_->cx);
    if (color->empty() || begin == end) color = nullptr;
  }
  const std::string erase = colors_ != nullptr && colors_->eraseLine ? "\33[K" : "";
  if (color != nullptr) Put("\33[" + *color + "m" + erase);
  if (encoding_ == TextEncoding::kSjis) {
    Put(std::string_view(begin, static_cast<std::size_t>(end - begin)));
  } else {
    while (begin < end) {
      const std::size_t take = PieceEnd(begin, static_cast<std::size_t>(end - begin), kPieceBytes);
      bool lossy = false;
      const char* written = sorbit::text::DecodeCp932Into(begin, take, utf8_.data(), lossy);
      Put(std::string_view(utf8_.data(), static_cast<std::size_t>(written - utf8_.data())));
      begin += take;
    }
  }
  if (color != nullptr) Put("\33[m" + erase);
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

bool Printer::Flush() { return !Failed() && std::fflush(out_) == 0; }

}  // namespace sjisgrep
