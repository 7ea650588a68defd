// CP932 text of any length decoded to UTF-8 in pieces of bounded size, so that a body of a
// hundred megabytes (or a line of one) never needs more than one piece's room.
//
// Each piece is at most kPieceBytes bytes of the text and ends at a character boundary, so the
// pieces decoded one after another are exactly the decoding of the whole text. A piece ends,
// where one can:
//   1. just after its last LF (whole lines, and a CR LF is never cut apart);
//   2. else just after its last byte below 0x40 that is none of CR, blank, digits, ":", ">",
//      "[" and "#": such a byte is never part of a two-byte character, and no "Re: N"
//      reference (archive/References.h) runs across it, so references in the pieces are those
//      of the whole;
//   3. else at the last character start that reading from the piece's start finds, by the
//      decoder's own rule (a lead byte takes the next byte when the pair decodes), or one
//      byte before it when that would part a CR from its LF.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>

#include "text/Cp932.h"

namespace sorbit::exporter {

class PieceDecoder {
 public:
  static constexpr std::size_t kPieceBytes = 64 * 1024;

  PieceDecoder() : scratch_(new char[text::Cp932DecodeRoom(kPieceBytes)]) {}

  // Calls `take(utf8)` for each piece of `cp932`, in order; sets `lossy` when a byte did not
  // decode (it is never cleared). The view is valid until the next call.
  template <typename Take>
  void Decode(std::string_view cp932, bool& lossy, Take&& take) {
    while (!cp932.empty()) {
      const std::size_t cut = FirstPieceSize(cp932);
      char* const end = text::DecodeCp932Into(cp932.data(), cut, scratch_.get(), lossy);
      take(std::string_view(scratch_.get(), static_cast<std::size_t>(end - scratch_.get())));
      cp932.remove_prefix(cut);
    }
  }

  // The size of the first piece of `cp932` (all of it when it is short).
  static std::size_t FirstPieceSize(std::string_view cp932);

 private:
  std::unique_ptr<char[]> scratch_;
};

}  // namespace sorbit::exporter
