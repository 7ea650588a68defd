// Input blocks: the log reader's input in the pieces it cuts into lines.
//
// A block is what one Read of the input file gave, cut at the first Ctrl-Z (0x1A), together
// with the marks the reader's line cutting needs: the list of its CR bytes and the position of
// its first NUL. Listing a whole block in one pass costs less than a search per line.
//
// Invariants of a loaded block: size <= capacity < 2^32; crs holds exactly the positions i of
// bytes[i] == CR with i < size, ascending, followed by size itself, so that a walk to the next
// CR always stops inside the list; first_nul is the first NUL at or after 0, or size;
// text_ended is set when the file ended or a Ctrl-Z cut the block, and then no further block
// is loaded.
//
// The reader takes its blocks from an InputBlockSource. SequentialBlocks loads each block into
// one buffer when the reader asks; a front end may supply blocks loaded ahead of time (the
// command-line converter does, on a helper thread) without the reader knowing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "convert/FileSystem.h"

namespace sorbit {

struct InputBlock {
  explicit InputBlock(std::size_t capacity_bytes);

  std::size_t capacity;
  std::unique_ptr<char[]> bytes;         // capacity bytes
  std::unique_ptr<std::uint32_t[]> crs;  // capacity + 5 positions
  std::size_t size = 0;                  // bytes of text in the block
  std::size_t first_nul = 0;             // position of the first NUL, or size
  bool text_ended = false;               // nothing follows this block
};

// Reads the next piece of `file` into `block` (one Read of up to its capacity) and marks it.
// Throws FileError when the read fails; the block is then unchanged.
void LoadInputBlock(InputFile& file, InputBlock& block);
// LoadInputBlock in two halves, for a front end that reads on another thread: ReadInputBlock
// reads (and throws) as it does but lists no CR; ListInputBlock then lists them.
void ReadInputBlock(InputFile& file, InputBlock& block);
void ListInputBlock(InputBlock& block);

class InputBlockSource {
 public:
  virtual ~InputBlockSource() = default;
  // The next loaded block. The block handed out before is given back by this call and may be
  // overwritten from then on. Not called again after a block with text_ended. Throws
  // FileError when the input cannot be read.
  virtual const InputBlock& Next() = 0;
};

// Loads each block of `file`, which must outlive it, into the same buffer when it is asked for.
class SequentialBlocks final : public InputBlockSource {
 public:
  SequentialBlocks(InputFile& file, std::size_t buffer_bytes);
  const InputBlock& Next() override;

 private:
  InputFile& file_;
  InputBlock block_;
};

}  // namespace sorbit
