// Feeds arbitrary bytes to the preprocessor as a pattern, with the fuzzy-character pass on.
// Besides not crashing, it checks what every caller relies on:
//  - with both passes off the text comes out unchanged;
//  - a pattern error is only ever an ERegExpParser, and then the same pattern also fails
//    under the synonym pass (an empty list), which scans the same tokens;
//  - a pattern that the scanner accepts is copied unchanged by a pass without dictionaries;
//  - the fuzzy pass's output scans again without error, so the parser sees no new lexical
//    fault, and running it twice gives the same text;
//  - a pattern that parses still parses once widened: the groups are well-formed atoms.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "SjisRegExp/FuzzyCharDic.h"
#include "SjisRegExp/Parser.h"
#include "SjisRegExp/PreProcessor.h"
#include "SjisRegExp/Scanner.h"

namespace {

using SjisRegExp::ERegExpParser;
using SjisRegExp::TREPreProcessor;

void Check(bool condition) {
  if (!condition) std::abort();
}

// Scans the text to its end; the text ends at its first zero byte as it does for the parser.
void ScanAll(std::string_view text) {
  SjisRegExp::TREScanner scanner(text);
  while (scanner.GetToken() != SjisRegExp::tk_End) {
  }
}

bool Parses(std::string_view text) {
  try {
    SjisRegExp::TREParser parser(text);
    parser.Parse();
    return true;
  } catch (const ERegExpParser&) {
    return false;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view pattern(reinterpret_cast<const char*>(data), size);

  TREPreProcessor off;
  off.SetText(pattern);
  off.Run();
  Check(off.ProcessedText() == pattern);

  TREPreProcessor copying;
  copying.SetUseSynonymDic(true);
  copying.SetText(pattern);
  bool scans = true;
  try {
    copying.Run();
  } catch (const ERegExpParser&) {
    scans = false;
  }

  TREPreProcessor fuzzy;
  fuzzy.FuzzyCharDics.push_back(&SjisRegExp::FuzzyCharDic());
  fuzzy.SetUseFuzzyCharDic(true);
  fuzzy.SetText(pattern);
  try {
    fuzzy.Run();
  } catch (const ERegExpParser&) {
    Check(!scans);
    return 0;
  }
  Check(scans);
  // Without an interior zero byte the copy is the whole pattern; with one it ends there.
  if (pattern.find('\0') == std::string_view::npos) Check(copying.ProcessedText() == pattern);

  const std::string once = fuzzy.ProcessedText();
  try {
    ScanAll(once);
  } catch (const ERegExpParser&) {
    Check(false);
  }
  fuzzy.Run();
  Check(fuzzy.ProcessedText() == once);
  if (pattern.find('\0') == std::string_view::npos && Parses(pattern)) Check(Parses(once));
  return 0;
}
