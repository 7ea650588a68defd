// Loading and marking the blocks of input the log reader cuts into lines.
#include "convert/InputBlocks.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "convert/FastBytes.h"

namespace sorbit {

constexpr char kCtrlZ = '\x1a';

InputBlock::InputBlock(std::size_t capacity_bytes)
    : capacity(std::clamp<std::size_t>(capacity_bytes, 1, std::size_t{1} << 30)),
      bytes(std::make_unique_for_overwrite<char[]>(capacity)),
      crs(std::make_unique_for_overwrite<std::uint32_t[]>(capacity + 5)) {}

void LoadInputBlock(InputFile& file, InputBlock& block) {
  ReadInputBlock(file, block);
  ListInputBlock(block);
}

void ReadInputBlock(InputFile& file, InputBlock& block) {
  std::size_t got = file.Read(block.bytes.get(), block.capacity);
  assert(got <= block.capacity);
  block.text_ended = got == 0;
  // Nothing after a Ctrl-Z is ever read: cut the block there and stop reading the file.
  const char* stop = static_cast<const char*>(std::memchr(block.bytes.get(), kCtrlZ, got));
  if (stop != nullptr) {
    got = static_cast<std::size_t>(stop - block.bytes.get());
    block.text_ended = true;
  }
  block.size = got;
  const char* nul = static_cast<const char*>(std::memchr(block.bytes.get(), '\0', got));
  block.first_nul = nul ? static_cast<std::size_t>(nul - block.bytes.get()) : got;
}

void ListInputBlock(InputBlock& block) {
  std::uint32_t* const end = ListCarriageReturns(block.bytes.get(), block.size, block.crs.get());
  assert(end == block.crs.get() || end[-1] < block.size);
  *end = static_cast<std::uint32_t>(block.size);
}

SequentialBlocks::SequentialBlocks(InputFile& file, std::size_t buffer_bytes)
    : file_(file), block_(buffer_bytes) {}

const InputBlock& SequentialBlocks::Next() {
  assert(!block_.text_ended);
  LoadInputBlock(file_, block_);
  return block_;
}

}  // namespace sorbit
