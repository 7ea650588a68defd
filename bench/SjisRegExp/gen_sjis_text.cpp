// Writes a deterministic Shift-JIS text of about SIZE bytes to standard output, for comparing
// sjisgrep with a byte-oriented grep: lines of hiragana, katakana, kanji, half-width kana,
// ASCII words and numbers, reply references like "Re: 12", some lines ending in CR LF.
// Katakana such as ア (0x83 0x41) have trail bytes in A-Z, so a two-byte character followed
// by digits is where a byte-oriented search finds matches that start inside a character.
//
// Usage: gen_sjis_text SIZE > file
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// A fixed linear congruential generator, so that every run writes the same bytes.
class Random {
 public:
  std::uint32_t Next(std::uint32_t bound) {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::uint32_t>((state_ >> 33) % bound);
  }

 private:
  std::uint64_t state_ = 20261208;
};

void TwoByte(std::string& out, int lead, int trail) {
  out += static_cast<char>(lead);
  out += static_cast<char>(trail);
}

void Token(Random& random, std::string& out) {
  static const char* const kWords[] = {"Re",  "re", "Fw", "tekuri", "SHOWPC", "log",
                                       "BBS", "No", "ID", "Sorbit", "abc",    "XYZ"};
  switch (random.Next(10)) {
    case 0:
    case 1: {  // hiragana ぁ-ん
      for (std::uint32_t n = 1 + random.Next(6); n > 0; --n)
        TwoByte(out, 0x82, 0x9F + random.Next(0x53));
      break;
    }
    case 2:
    case 3: {  // katakana ァ-ヶ, skipping 0x7F, which is no trail byte
      for (std::uint32_t n = 1 + random.Next(5); n > 0; --n) {
        int trail = 0x40 + static_cast<int>(random.Next(0x56));
        if (trail >= 0x7F) ++trail;
        TwoByte(out, 0x83, trail);
      }
      break;
    }
    case 4: {  // kanji of the first level
      for (std::uint32_t n = 1 + random.Next(4); n > 0; --n) {
        int trail = 0x40 + static_cast<int>(random.Next(0xBC));
        if (trail >= 0x7F) ++trail;
        TwoByte(out, 0x89 + static_cast<int>(random.Next(0x0E)), trail);
      }
      break;
    }
    case 5: {  // half-width katakana
      for (std::uint32_t n = 1 + random.Next(5); n > 0; --n)
        out += static_cast<char>(0xA6 + random.Next(0x3A));
      break;
    }
    case 6:
      out += kWords[random.Next(sizeof kWords / sizeof kWords[0])];
      break;
    case 7:
      out += std::to_string(random.Next(1000));
      break;
    case 8:
      out += random.Next(2) ? "Re: " : "re>>";
      out += std::to_string(random.Next(500));
      break;
    default:
      out += random.Next(2) ? " " : "\x81\x41";  // a space or 、
      break;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: gen_sjis_text SIZE\n");
    return 2;
  }
  const unsigned long long size = std::strtoull(argv[1], nullptr, 10);
  Random random;
  std::string line;
  unsigned long long written = 0;
  while (written < size) {
    line.clear();
    for (std::uint32_t n = 2 + random.Next(14); n > 0; --n) Token(random, line);
    line += random.Next(8) == 0 ? "\r\n" : "\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    written += line.size();
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}
