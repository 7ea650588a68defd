// The texts and patterns of bench/SjisRegExp/pattern_table_bench.sh, deterministic:
//
//   gen_pattern_texts x-lines FILE            20,000 lines of 900 to 1,100 "x"
//   gen_pattern_texts xy-lines FILE MB        lines of 900 to 1,100 random "x" and "y"
//   gen_pattern_texts ab-lines FILE MB        lines of 20 to 120 random "a" and "b"
//   gen_pattern_texts words FILE COUNT        COUNT Japanese words (Shift-JIS), one a line:
//                                             two to four hiragana, katakana or kanji as
//                                             gen_tekuri_log writes them
//   gen_pattern_texts repeat FILE TEXT COUNT  TEXT written COUNT times, no line end
//
// Lines end with LF.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class Random {
 public:
  std::uint64_t Next() {  // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_ = 20261208;
};

void Put2(std::string& s, int code) {
  s.push_back(static_cast<char>(code >> 8));
  s.push_back(static_cast<char>(code & 0xFF));
}

// A hiragana, katakana or level-1 kanji, drawn as gen_tekuri_log draws them.
void PutJapanese(std::string& s, Random& r) {
  const int kind = r.Below(92);
  if (kind < 50) {
    Put2(s, 0x829F + r.Below(0x82F1 - 0x829F + 1));
  } else if (kind < 65) {
    int code = 0x8340 + r.Below(0x8396 - 0x8340 + 1);
    if ((code & 0xFF) == 0x7F) ++code;
    Put2(s, code);
  } else {
    const int lead = 0x88 + r.Below(0x97 - 0x88 + 1);
    int trail = 0x40 + r.Below(0xFC - 0x40 + 1);
    if (trail == 0x7F) trail = 0x80;
    if (lead == 0x88 && trail < 0x9F) trail = 0x9F;
    Put2(s, lead << 8 | trail);
  }
}

std::string Lines(double megabytes, int minLength, int maxLength, const char* letters, Random& r) {
  std::string text;
  const auto size = static_cast<std::size_t>(megabytes * 1e6);
  while (text.size() < size) {
    const int length = minLength + r.Below(maxLength - minLength + 1);
    for (int i = 0; i < length; ++i) text.push_back(letters[r.Below(2)]);
    text.push_back('\n');
  }
  return text;
}

int Usage() {
  std::fprintf(stderr,
               "usage: gen_pattern_texts x-lines FILE | xy-lines FILE MB | ab-lines FILE MB |"
               " words FILE COUNT | repeat FILE TEXT COUNT\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) return Usage();
  const std::string kind = argv[1];
  Random r;
  std::string text;
  if (kind == "x-lines") {
    for (int line = 0; line < 20000; ++line) {
      text.append(static_cast<std::size_t>(900 + r.Below(201)), 'x');
      text.push_back('\n');
    }
  } else if (kind == "xy-lines" && argc == 4) {
    text = Lines(std::atof(argv[3]), 900, 1100, "xy", r);
  } else if (kind == "ab-lines" && argc == 4) {
    text = Lines(std::atof(argv[3]), 20, 120, "ab", r);
  } else if (kind == "words" && argc == 4) {
    for (int word = std::atoi(argv[3]); word > 0; --word) {
      for (int n = 2 + r.Below(3); n > 0; --n) PutJapanese(text, r);
      text.push_back('\n');
    }
  } else if (kind == "repeat" && argc == 5) {
    for (int k = std::atoi(argv[4]); k > 0; --k) text.append(argv[3]);
  } else {
    return Usage();
  }
  std::FILE* out = std::fopen(argv[2], "wb");
  if (out == nullptr || std::fwrite(text.data(), 1, text.size(), out) != text.size() ||
      std::fclose(out) != 0) {
    std::fprintf(stderr, "gen_pattern_texts: cannot write %s\n", argv[2]);
    return 1;
  }
  return 0;
}
