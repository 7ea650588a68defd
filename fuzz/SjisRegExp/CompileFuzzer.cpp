// Random pattern bytes: compiling gives either an ERegExpParser or a DFA, never a
// crash, a hang or another exception; after an error the empty pattern is current.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "SjisRegExp/MatchCore.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view pattern(reinterpret_cast<const char*>(data), size);
  SjisRegExp::TMatchCORE awk;
  try {
    awk.SetRegExp(pattern);
    if (awk.RegExp() != pattern) std::abort();
    if (!awk.CurrentProgram().Lazy() && awk.CurrentDFA().StateCount() == 0) std::abort();
  } catch (const SjisRegExp::ERegExpParser& e) {
    if (!awk.RegExp().empty() || awk.CurrentIndex() != 0) std::abort();
    if (e.what()[0] == '\0') std::abort();
  }
  return 0;
}
