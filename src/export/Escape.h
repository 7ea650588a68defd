// UTF-8 text made safe to stand inside a JSON string and in HTML, appended to an output.
//
// JSON: '"' and '\' are escaped, control bytes become \b \f \n \r \t or \u00XX, everything
// else (valid UTF-8, as the CP932 decoder writes) is copied. With `crlf_as_lf`, a CR LF is
// written as one \n: the body's line ends.
//
// HTML: & < > and " become entities. A control byte other than TAB and LF, and DEL, may not
// stand in a page; each is shown as its symbol of the Control Pictures block (U+2400 + byte,
// U+2421 for DEL), so a NUL reads as "␀" and nothing of the text is silently lost.
#pragma once

#include <string_view>

#include "export/OutputBuffer.h"

namespace sorbit::exporter {

void AppendJsonEscaped(std::string_view utf8, OutputBuffer& out, bool crlf_as_lf = false);
void AppendHtmlEscaped(std::string_view utf8, OutputBuffer& out);

}  // namespace sorbit::exporter
