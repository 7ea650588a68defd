// A program outside Sorbit that uses the installed SjisRegExp: it prints the match of each
// pattern and text pair as "start length", one a line, then what a compiled pattern finds in
// a block of lines and in successive searches, and a pattern error's position.
#include <SjisRegExp/SjisRegExp.h>

#include <cstdio>
#include <string>

int main() {
  struct Case {
    const char* pattern;
    std::string text;
  };
  // "\x83\x41" is the two-byte katakana A, whose trail byte is the ASCII "A": a match of
  // "A" must not start inside it. "\x82\xa0" is hiragana a.
  const Case cases[] = {
      {"[0-9]+", "Re: 123"},
      {"A",
       "\x83\x41"
       "A"},
      {"\x83\x41+", "x\x83\x41\x83\x41y"},
      {"^\x82\xa0.$", "\x82\xa0\x83\x41"},
      {"z", "\x83\x41"},
  };
  SjisRegExp::TAWKStr awk;
  for (const Case& c : cases) {
    awk.SetRegExp(c.pattern);
    int start = -1;
    int length = -1;
    awk.Match(c.text, start, length);
    std::printf("%d %d\n", start, length);
  }
  const SjisRegExp::TCompiledRegExp digits("[0-9]+$");
  const std::string block =
      "a1\r\n\x83\x41"
      "22x\r\nb333\r\n";
  if (const auto m = digits.FindInLines(block)) std::printf("lines %zu %zu\n", m->start, m->end);
  const SjisRegExp::TCompiledRegExp a("A");
  const std::string text =
      "\x83\x41"
      "AxA";
  for (auto m = a.Find(text); m; m = a.Find(text, m->end)) std::printf("find %zu\n", m->start);
  try {
    const SjisRegExp::TCompiledRegExp bad("ab(");
  } catch (const SjisRegExp::ERegExpParser& error) {
    std::printf("error %u\n", static_cast<unsigned>(error.ErrorPos()));
  }
  return 0;
}
