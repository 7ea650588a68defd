// "Re: N" references in a message's title or body: where the reader and the export put a link
// to message N. The rule is the converter's reply pattern (convert/ReplyNo.h): "R" or "r",
// "E" or "e", one or more of blank ":" ">" "[" "#", then one or more ASCII digits; every
// leftmost-longest match, one after another. The text searched is the UTF-8 view (all the
// pattern's characters are ASCII, which in UTF-8 never stand inside another character), so a
// link covers exactly what the reader sees; Archive::FindNumbered says which message it means.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace sorbit::archive {

struct Reference {
  std::size_t begin = 0;  // the match, as byte offsets into the text
  std::size_t end = 0;
  std::string_view digits;  // its final run of digits: the message number referred to
};

std::vector<Reference> FindReferences(std::string_view utf8);

}  // namespace sorbit::archive
