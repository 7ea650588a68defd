// JSON lines judged by a reader apart from the export's writer: Python's json module, which
// takes nothing but valid UTF-8, no raw control byte in a string and no NaN. Each line becomes
// one line of text: every member of the object, in order, as name "=" kind value ";" with the
// kinds s (string), # (number, as written), b1 b0 (true, false), n (null), and "\" and line
// breaks in values written as OneLine writes them; a line that is no flat JSON object becomes
// "invalid".
#pragma once

#include <string>

#include "cli/RunProgram.h"

namespace sorbit::testing {

inline std::string OneLine(const std::string& text) {
  std::string line;
  for (char c : text) line += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : std::string(1, c);
  return line;
}

inline std::string CanonicalJsonLines(const std::string& jsonl) {
  static constexpr const char* kScript = R"(
import json, sys
def value(v):
    if isinstance(v, tuple): return "#" + v[1]
    if v is True or v is False: return "b1" if v else "b0"
    if v is None: return "n"
    return "s" + v.replace("\\", "\\\\").replace("\n", "\\n")
def bad(text): raise ValueError(text)
out = []
for line in sys.stdin.buffer.read().split(b"\n")[:-1]:
    try:
        members = json.loads(line.decode("utf-8"), object_pairs_hook=lambda pairs: pairs,
                             parse_int=lambda s: ("#", s), parse_float=lambda s: ("#", s),
                             parse_constant=bad)
        if not isinstance(members, list) or any(isinstance(v, list) for _, v in members):
            raise ValueError("not a flat object")
        out.append("".join(k + "=" + value(v) + ";" for k, v in members))
    except ValueError:
        out.append("invalid")
sys.stdout.buffer.write("".join(o + "\n" for o in out).encode("utf-8", "surrogatepass"))
)";
  const ProgramResult python = RunProgram({SORBIT_PYTHON3, "-c", kScript}, "", jsonl);
  return python.status == 0 ? python.out : "python3 failed: " + python.err;
}

}  // namespace sorbit::testing
