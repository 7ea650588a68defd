// Writes a deterministic synthetic tekuri log in Shift-JIS: realistic header lines, kana and
// kanji bodies, some "Re:" titles, CR LF line ends, one "." line after every message.
//
//   gen_tekuri_log OUTPUT SIZE_BYTES [SEED]
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() {  // splitmix64
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }

 private:
  std::uint64_t state_;
};

void Put2(std::string& s, int code) {
  s.push_back(static_cast<char>(code >> 8));
  s.push_back(static_cast<char>(code & 0xFF));
}

// A character of Japanese text: mostly hiragana, some katakana, kanji and punctuation.
void PutJapanese(std::string& s, Random& r) {
  const int kind = r.Below(100);
  if (kind < 50) {
    Put2(s, 0x829F + r.Below(0x82F1 - 0x829F + 1));  // hiragana
  } else if (kind < 65) {
    int code = 0x8340 + r.Below(0x8396 - 0x8340 + 1);  // katakana
    if ((code & 0xFF) == 0x7F) ++code;
    Put2(s, code);
  } else if (kind < 92) {
    const int lead = 0x88 + r.Below(0x97 - 0x88 + 1);  // level-1 kanji
    int trail = 0x40 + r.Below(0xFC - 0x40 + 1);
    if (trail == 0x7F) trail = 0x80;
    if (lead == 0x88 && trail < 0x9F) trail = 0x9F;
    Put2(s, lead << 8 | trail);
  } else if (kind < 96) {
    Put2(s, 0x8141 + r.Below(2));  // 、。
  } else {
    s.push_back(static_cast<char>(0xB1 + r.Below(0xDD - 0xB1 + 1)));  // half-width katakana
  }
}

void PutWord(std::string& s, Random& r) {
  static const char* const kWords[] = {"BBS",    "PC-9801", "modem", "2400bps", "Windows",
                                       "tekuri", "SHOWPC",  "log",   "FAQ",     "Ver.1.2"};
  s.append(kWords[r.Below(10)]);
}

std::string Title(Random& r, long long number) {
  std::string t;
  const int kind = r.Below(10);
  if (kind < 3 && number > 1) {
    static const char* const kRe[] = {"Re: ", "RE>", "re[", "Re:Re: ", "Re#"};
    t.append(kRe[r.Below(5)]).append(std::to_string(1 + r.Below(static_cast<int>(number))));
    t.push_back(' ');
  }
  const int n = 4 + r.Below(12);
  for (int i = 0; i < n; ++i) {
    if (r.Below(6) == 0)
      PutWord(t, r);
    else
      PutJapanese(t, r);
  }
  return t;
}

std::string Message(Random& r, long long number, bool numbered) {
  std::string m;
  // "件名  : " is eight bytes: the title starts at byte 9.
  m.append("\x8C\x8F\x96\xBC  : ").append(Title(r, number)).append("\r\n");
  // "名前:" is five bytes: the handle starts at byte 6.
  m.append("\x96\xBC\x91\x4F:");
  static const char* const kHandles[] = {"guest", "NOKU", "sysop", "tanaka",
                                         "\x83\x51\x83\x58\x83\x67"};
  m.append(kHandles[r.Below(5)]);
  if (r.Below(3) != 0)
    m.append(" <user").append(std::to_string(r.Below(1000))).append("@example.jp>");
  m.append("\r\n");
  // "日付 : " is seven bytes: the date is bytes 8-15 and the time bytes 17-21.
  char date[64];
  std::snprintf(date, sizeof date, "\x93\xFA\x95\x74 : %02d/%02d/%02d %02d:%02d:%02d\r\n",
                90 + r.Below(10), 1 + r.Below(12), 1 + r.Below(28), r.Below(24), r.Below(60),
                r.Below(60));
  m.append(date);
  if (numbered) m.append("NO: ").append(std::to_string(number)).append("\r\n");
  const int lines = 2 + r.Below(12);
  for (int i = 0; i < lines; ++i) {
    const int chars = r.Below(8) == 0 ? 0 : 5 + r.Below(30);
    for (int c = 0; c < chars; ++c) {
      if (r.Below(8) == 0)
        m.push_back(static_cast<char>('a' + r.Below(26)));
      else
        PutJapanese(m, r);
    }
    m.append("\r\n");
  }
  m.append(".\r\n");
  return m;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: gen_tekuri_log OUTPUT SIZE_BYTES [SEED]\n");
    return 2;
  }
  const long long target = std::atoll(argv[2]);
  Random r(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1998);
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr) {
    std::perror(argv[1]);
    return 1;
  }
  const bool numbered = r.Below(2) == 0;
  long long written = 0;
  for (long long number = 1; written < target; ++number) {
    const std::string m = Message(r, number, numbered);
    if (std::fwrite(m.data(), 1, m.size(), out) != m.size()) {
      std::perror(argv[1]);
      return 1;
    }
    written += static_cast<long long>(m.size());
  }
  if (std::fclose(out) != 0) {
    std::perror(argv[1]);
    return 1;
  }
  return 0;
}
