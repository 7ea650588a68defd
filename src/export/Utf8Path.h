// A path (bytes, as the command line gave it) as text that is valid UTF-8: a byte that does
// not belong to a valid UTF-8 character becomes U+FFFD, so that JSON and HTML can name it.
#pragma once

#include <string>
#include <string_view>

namespace sorbit::exporter {

std::string ValidUtf8(std::string_view bytes);

}  // namespace sorbit::exporter
