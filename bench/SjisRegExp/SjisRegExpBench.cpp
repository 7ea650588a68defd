// Match throughput of TAWKStr against Oniguruma (Shift-JIS encoding), same text, same
// run. Usage: sjisregexp_bench [MB | FILE] [ROUNDS]   (default 100 MB, 1 round)
//
// The text is generated deterministically: CR LF lines mixing ASCII words and digits
// with two-byte hiragana, katakana and kanji (trail bytes across the whole range, so
// many of them equal ASCII letters), and now and then a reply title such as "Re: 12".
// Given a FILE instead (a log of bench/convert's gen_tekuri_log, say), its bytes are the
// text.
//
// Two ways of matching, both reported:
//   lines   Match on every line separately, the way the converter matches titles;
//   chunk   the whole text as one string, each search continuing after the last match.
// Both engines must report the same matches (count and total length); the patterns
// are chosen so that leftmost-longest and Oniguruma's leftmost-greedy agree. With
// ROUNDS above 1 each measurement is repeated, the two engines taking turns, and the
// medians are reported.
#include <oniguruma.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "../support/Median.h"
#include "SjisRegExp/SjisRegExp.h"
#include "platform/posix/PosixFile.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

class Rng {
 public:
  std::uint32_t Next() {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 7;
    state_ ^= state_ << 17;
    return static_cast<std::uint32_t>(state_ >> 16);
  }
  std::uint32_t Below(std::uint32_t n) { return Next() % n; }

 private:
  std::uint64_t state_ = 0x9E3779B97F4A7C15ull;
};

void PutWide(std::string& s, unsigned code) {
  s += static_cast<char>(code >> 8);
  s += static_cast<char>(code & 0xFF);
}

unsigned Trail(Rng& rng) {
  // Valid trail bytes: 0x40-0x7E and 0x80-0xFC.
  const unsigned t = 0x40 + rng.Below(0xFC - 0x40);
  return t == 0x7F ? 0x80 : t;
}

std::string MakeText(std::size_t bytes) {
  static const char* const kWords[] = {"the",    "reply",  "message", "board", "log",
                                       "SHOWPC", "tekuri", "Red",     "ERROR", "foo",
                                       "bar",    "baz",    "re",      "Rex",   "data"};
  static const char* const kTitles[] = {"Re: ", "RE>>", "re[#", "Re:", "Re> "};
  const std::string thanks = "\x82\xA0\x82\xE8\x82\xAA\x82\xC6\x82\xA4";  // ありがとう
  Rng rng;
  std::string text;
  text.reserve(bytes + 256);
  while (text.size() < bytes) {
    if (rng.Below(40) == 0) {
      text += kTitles[rng.Below(5)];
      text += std::to_string(rng.Below(3000));
      text += " ";
    }
    const std::size_t length = 20 + rng.Below(60);
    const std::size_t lineStart = text.size();
    while (text.size() - lineStart < length) {
      switch (rng.Below(10)) {
        case 0:
        case 1:
          text += kWords[rng.Below(15)];
          text += ' ';
          break;
        case 2:
          text += std::to_string(rng.Below(100000));
          text += rng.Below(3) == 0 ? ":" : " ";
          break;
        case 3:
          for (unsigned k = rng.Below(6) + 1; k-- > 0;) PutWide(text, 0x829F + rng.Below(0x53));
          break;
        case 4:
          for (unsigned k = rng.Below(6) + 1; k-- > 0;) PutWide(text, 0x8340 + rng.Below(0x57));
          break;
        case 5:
          if (rng.Below(20) == 0) text += thanks;
          break;
        default:
          // Kanji: leads 0x88-0x9F and 0xE0-0xEA with any trail.
          for (unsigned k = rng.Below(4) + 1; k-- > 0;) {
            const unsigned lead = rng.Below(2) == 0 ? 0x88 + rng.Below(0x18) : 0xE0 + rng.Below(11);
            PutWide(text, lead << 8 | Trail(rng));
          }
          break;
      }
    }
    text += "\r\n";
  }
  return text;
}

struct Result {
  long count = 0;
  long long totalLength = 0;
  double seconds = 0;
};

std::vector<std::string_view> SplitLines(const std::string& text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    lines.emplace_back(text.data() + start, end - start);
    start = end + 2;
  }
  return lines;
}

std::size_t SjisStep(const char* p) {
  const auto b = static_cast<unsigned char>(*p);
  return ((b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC)) ? 2 : 1;
}

Result OursLines(const SjisRegExp::TAWKStr& awk, const std::vector<std::string_view>& lines) {
  Result r;
  const auto t0 = Clock::now();
  for (std::string_view line : lines) {
    int start = 0;
    int length = 0;
    if (awk.Match(line, start, length) > 0) {
      ++r.count;
      r.totalLength += length;
    }
  }
  r.seconds = Seconds(t0);
  return r;
}

Result OursChunk(const SjisRegExp::TAWKStr& awk, const std::string& text) {
  Result r;
  const auto t0 = Clock::now();
  std::size_t from = 0;
  while (from <= text.size()) {
    int start = 0;
    int length = 0;
    if (awk.Match(std::string_view(text).substr(from), start, length) == 0) break;
    ++r.count;
    r.totalLength += length;
    const std::size_t matchStart = from + static_cast<std::size_t>(start) - 1;
    from = matchStart + static_cast<std::size_t>(length);
    if (length == 0) {
      if (matchStart >= text.size()) break;
      from = matchStart + SjisStep(text.data() + matchStart);
    }
  }
  r.seconds = Seconds(t0);
  return r;
}

class Onig {
 public:
  explicit Onig(const std::string& pattern) {
    OnigErrorInfo info;
    const auto* p = reinterpret_cast<const OnigUChar*>(pattern.data());
    const int rc = onig_new(&reg_, p, p + pattern.size(), ONIG_OPTION_NONE, ONIG_ENCODING_SJIS,
                            ONIG_SYNTAX_DEFAULT, &info);
    if (rc != ONIG_NORMAL) {
      std::fprintf(stderr, "sjisregexp_bench: Oniguruma rejects %s\n", pattern.c_str());
      std::exit(1);
    }
    region_ = onig_region_new();
  }
  ~Onig() {
    onig_region_free(region_, 1);
    onig_free(reg_);
  }
  Onig(const Onig&) = delete;
  Onig& operator=(const Onig&) = delete;

  // Start offset of the leftmost match in [s, e) from `from`, or -1; length in length.
  long Search(const char* s, const char* e, const char* from, long& length) const {
    const auto* us = reinterpret_cast<const OnigUChar*>(s);
    const auto* ue = reinterpret_cast<const OnigUChar*>(e);
    const auto* uf = reinterpret_cast<const OnigUChar*>(from);
    const long pos = onig_search(reg_, us, ue, uf, ue, region_, ONIG_OPTION_NONE);
    if (pos < 0) return -1;
    length = region_->end[0] - region_->beg[0];
    return pos;
  }

 private:
  OnigRegex reg_ = nullptr;
  OnigRegion* region_ = nullptr;
};

Result OnigLines(const Onig& onig, const std::vector<std::string_view>& lines) {
  Result r;
  const auto t0 = Clock::now();
  for (std::string_view line : lines) {
    long length = 0;
    if (onig.Search(line.data(), line.data() + line.size(), line.data(), length) >= 0) {
      ++r.count;
      r.totalLength += length;
    }
  }
  r.seconds = Seconds(t0);
  return r;
}

Result OnigChunk(const Onig& onig, const std::string& text) {
  Result r;
  const auto t0 = Clock::now();
  const char* s = text.data();
  const char* e = s + text.size();
  const char* from = s;
  while (from <= e) {
    long length = 0;
    const long pos = onig.Search(s, e, from, length);
    if (pos < 0) break;
    ++r.count;
    r.totalLength += length;
    from = s + pos + length;
    if (length == 0) {
      if (s + pos >= e) break;
      from = s + pos + SjisStep(s + pos);
    }
  }
  r.seconds = Seconds(t0);
  return r;
}

// The round of median time; count and length are the same in every round.
Result Median(std::vector<Result> rounds) {
  return sorbit::bench::Median(
      std::move(rounds), [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
}

}  // namespace

int main(int argc, char** argv) {
  const std::string source = argc > 1 ? argv[1] : "100";
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 1;
  char* rest = nullptr;
  const double megabytes = std::strtod(source.c_str(), &rest);
  const bool generated = *rest == '\0' && megabytes > 0;
  std::optional<std::string> file;
  int error = 0;
  if (!generated) file = sorbit::platform::ReadRegularFile(source, error);
  if (!generated && !file) {
    std::fprintf(stderr, "sjisregexp_bench: cannot read %s: %s\n", source.c_str(),
                 std::strerror(error));
    return 2;
  }
  if (rounds < 1) {
    std::fprintf(stderr, "usage: sjisregexp_bench [MB | FILE] [ROUNDS]\n");
    return 2;
  }
  OnigEncoding encodings[] = {ONIG_ENCODING_SJIS};
  onig_initialize(encodings, 1);

  auto t0 = Clock::now();
  const std::string text =
      generated ? MakeText(static_cast<std::size_t>(megabytes * 1024 * 1024)) : std::move(*file);
  const std::vector<std::string_view> lines = SplitLines(text);
  std::printf("text: %s, %.1f MB, %zu lines, made in %.2f s; %d round(s)\n",
              generated ? "generated" : source.c_str(), text.size() / 1048576.0, lines.size(),
              Seconds(t0), rounds);

  // Compile time of the reply pattern: a fresh component each time, so no cache hit.
  // A component alone (which compiles the empty pattern) is timed too, and taken off.
  const std::string reply = "[Rr][Ee][ :>\\[#]+[0-9]+";
  {
    const int compiles = 5000;
    t0 = Clock::now();
    for (int i = 0; i < compiles; ++i) {
      SjisRegExp::TAWKStr awk;
      awk.SetRegExp(reply);
    }
    const double withComponent = Seconds(t0) / compiles;
    t0 = Clock::now();
    for (int i = 0; i < compiles; ++i) SjisRegExp::TAWKStr awk;
    const double componentOnly = Seconds(t0) / compiles;
    t0 = Clock::now();
    for (int i = 0; i < compiles; ++i) Onig onig(reply);
    const double theirs = Seconds(t0) / compiles;
    std::printf(
        "compile %s: SjisRegExp %.1f us (%.1f us with a new component), Oniguruma %.1f us\n",
        reply.c_str(), (withComponent - componentOnly) * 1e6, withComponent * 1e6, theirs * 1e6);
  }

  const std::string patterns[] = {
      reply,
      "\x82\xA0\x82\xE8\x82\xAA\x82\xC6\x82\xA4",  // ありがとう
      "[\x83\x40-\x83\x96]+",                      // [ァ-ヶ]+
      "(foo|bar|baz)[a-z]*",
  };
  const char* const names[] = {"reply", "thanks (kana literal)", "katakana run", "alternation"};
  bool agree = true;
  std::printf("%-22s %-6s %10s %10s %9s %9s %7s\n", "pattern", "mode", "matches", "ours MB/s",
              "onig MB/s", "ours s", "ratio");
  const double mb = text.size() / 1048576.0;
  for (std::size_t i = 0; i < std::size(patterns); ++i) {
    SjisRegExp::TAWKStr awk;
    awk.SetRegExp(patterns[i]);
    Onig onig(patterns[i]);
    struct Mode {
      const char* name;
      Result ours;
      Result theirs;
    };
    std::vector<Result> ours[2];
    std::vector<Result> theirs[2];
    for (int r = 0; r < rounds; ++r) {
      ours[0].push_back(OursLines(awk, lines));
      theirs[0].push_back(OnigLines(onig, lines));
      ours[1].push_back(OursChunk(awk, text));
      theirs[1].push_back(OnigChunk(onig, text));
    }
    Mode modes[] = {{"lines", Median(ours[0]), Median(theirs[0])},
                    {"chunk", Median(ours[1]), Median(theirs[1])}};
    for (const Mode& m : modes) {
      const bool same =
          m.ours.count == m.theirs.count && m.ours.totalLength == m.theirs.totalLength;
      agree = agree && same;
      std::printf("%-22s %-6s %10ld %10.0f %9.0f %9.3f %6.2fx%s\n", names[i], m.name, m.ours.count,
                  mb / m.ours.seconds, mb / m.theirs.seconds, m.ours.seconds,
                  m.theirs.seconds / m.ours.seconds, same ? "" : "  RESULTS DIFFER");
      if (!same) {
        std::printf("    ours %ld matches / %lld bytes, Oniguruma %ld / %lld\n", m.ours.count,
                    m.ours.totalLength, m.theirs.count, m.theirs.totalLength);
      }
    }
  }
  std::printf("ratio = Oniguruma time / SjisRegExp time (above 1: SjisRegExp is faster)\n");
  onig_end();
  return agree ? 0 : 1;
}
