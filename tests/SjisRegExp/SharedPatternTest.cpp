// One compiled pattern searched from several threads at once gives every thread what a lone
// search gives: patterns of each kind of search (the restart scans, a lazy automaton whose
// states searches build, the line automaton, a literal), every search, texts met in a
// different order by each thread. Run under ThreadSanitizer (label "threads"), which reports
// any search that writes what another reads.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "SjisRegExp/SjisRegExp.h"

namespace SjisRegExp {
namespace {

// Everything the searches of one pattern give on one text, in one string.
std::string Results(const TCompiledRegExp& pattern, const std::string& text) {
  std::string out;
  const auto put = [&out](std::size_t n) { out += std::to_string(n) + ' '; };
  int start = 0;
  int length = 0;
  put(static_cast<std::size_t>(pattern.Match(text, start, length)));
  put(static_cast<std::size_t>(length));
  for (std::optional<TMatchSpan> m = pattern.Find(text); m; m = pattern.Find(text, m->end)) {
    put(m->start);
    put(m->end);
    if (m->end == m->start) {
      if (m->end >= text.size()) break;
      m->end += CharLength(text, m->end);
    }
  }
  out += '|';
  for (std::size_t from = 0; from < text.size();) {
    const std::string_view rest = std::string_view(text).substr(from);
    const std::optional<TMatchSpan> line = pattern.FindLine(rest);
    const std::optional<TMatchSpan> m = pattern.FindInLines(rest);
    if (!line || !m) break;
    put(from + line->start);
    put(from + m->start);
    put(from + m->end);
    from += line->end + 1;
  }
  out += '|';
  for (std::size_t at = 0; at < text.size(); at += CharLength(text, at)) {
    if (const auto end = pattern.LongestAt(text, at)) put(*end);
  }
  return out;
}

std::string RandomText(std::mt19937& random) {
  static const char* const kPieces[] = {"a",        "b",  "Re: 12", "\r\n", "\n", "x",  "\x82\xA0",
                                        "\x83\x41", "A1", "\x82",   "y\r",  "ab", "bba"};
  std::string text;
  for (std::uint32_t n = random() % 300; n > 0; --n) text += kPieces[random() % 13];
  return text;
}

TEST(SharedPatternTest, ThreadsSearchingOnePatternFindWhatOneFinds) {
  std::string chain = "(a|b)*a";
  for (int i = 0; i < 16; ++i) chain += "(a|b)";
  const std::vector<std::string> patterns = {
      "[Rr][Ee][ :>\\[#]+[0-9]+",   // the restart scans
      "^(a|b)+$|x",                 // anchored
      chain,                        // a lazy automaton
      "(ab|bba|A1|\x82\xA0)(b|y)",  // the line automaton
      "bba",                        // a literal
  };
  std::mt19937 random(2026);
  std::vector<std::string> texts;
  for (int i = 0; i < 60; ++i) texts.push_back(RandomText(random));
  for (const std::string& source : patterns) {
    const TCompiledRegExp pattern(source);
    std::vector<std::string> want;
    for (const std::string& text : texts) want.push_back(Results(pattern, text));
    // A fresh pattern for the threads, so that none of its caches was filled beforehand.
    const TCompiledRegExp shared(source);
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t) {
      threads.emplace_back([&, t] {
        for (std::size_t k = 0; k < texts.size(); ++k) {
          const std::size_t i = (k * (t + 1) + t) % texts.size();
          if (Results(shared, texts[i]) != want[i]) ++wrong;
        }
      });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(wrong.load(), 0) << source;
  }
}

}  // namespace
}  // namespace SjisRegExp
