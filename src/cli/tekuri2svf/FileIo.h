// A file's reads and writes on one helper thread, beside the thread that converts it.
//
// StartFileIo gives the two ends of one helper, which runs until both are gone: the input's
// blocks and the output. The helper reads blocks into a ring of three (ReadInputBlock) and
// writes the pieces it is handed, in order; the converting thread lists each block's CRs as it
// takes it (ListInputBlock), so the blocks are those SequentialBlocks gives. Besides the block
// the reader holds, at most two wait loaded, and at most OutputFile::kPiecesInFlight pieces
// wait or are being written; a waiting piece goes first unless the reader has no block left.
// An error is thrown where a direct read or write would meet it, or at the next write; a write
// error drops the pieces after it. Each end, when it goes, waits for the helper's call on its
// file, and the output's takes the file with it.
//
// Why one helper for both: reading and writing are a sixth and a third of a conversion, mostly
// the kernel's copies. With a thread each, three threads shared two processors and the kernel
// ran the writer, woken at each piece, on the converter's processor while the other idled a
// fifth of the run. One helper keeps each thread on a processor of its own; listing the CRs
// on the converter's side evens their shares.
#pragma once

#include <cstddef>
#include <memory>

#include "convert/ConversionRun.h"

namespace sorbit::cli {

// The streams of `input`, which must outlive the blocks, and of `output` (null when none could
// be made), read and written by a new helper thread; read and written directly when no thread
// can be made.
FileStreams StartFileIo(InputFile& input, std::unique_ptr<OutputFile> output,
                        std::size_t block_bytes);

}  // namespace sorbit::cli
