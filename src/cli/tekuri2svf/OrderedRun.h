// The command line's conversion run over several files at once.
//
// Up to `jobs` files are converted into memory at the same time, each on a worker thread,
// and saved on the calling thread strictly in list order. Every call on the host, and every
// save, happens on the calling thread in the order RunConversion makes them, so the outputs,
// backups, messages and outcome are those of the one-thread run:
//
// - A worker converts a file only ahead of its turn; at its turn, after every file before it
//   has been saved, the file's path must still name the same unchanged file (device, inode,
//   size, modification and change times) as when the worker opened it. An earlier save may
//   have moved it aside or written it (general.log then general.txt; an input that is an
//   earlier output): it is then converted again, at its turn, on the calling thread.
// - A file a worker could not open or read, or that is not a regular file (a FIFO, a
//   device), is likewise converted at its turn, where its error is reported as the one-thread
//   run reports it; no later file is saved.
// - A failed save ends the run as RunConversion ends it; the workers stop at their next
//   message and nothing they converted is saved.
// - Files in memory: at most `jobs`, counted from the next one to save (converted, being
//   converted or being saved), so memory stays near `jobs` outputs.
//
// The engine does no threading of its own: each worker drives the engine's steps with its
// own host (which only records progress) and its own reply-number matcher. Of the file
// system, the workers call OpenInput and OutputMemoryPreparer (at the same time as each other
// and as the calling thread's saves); an implementation passed here must allow that.
// Everything else is called on the calling thread only.
#pragma once

#include <functional>

#include "convert/ConversionRun.h"

namespace sorbit::cli {

struct OrderedRunSettings {
  unsigned jobs = 2;  // files converted at the same time, at least 1
  // Each file's input is loaded a block ahead on a helper thread (ReadAheadBlocks), and
  // output memory is prepared ahead on another (PreparedChunks): worth it only where
  // processors would otherwise idle, that is with fewer files than jobs.
  bool read_ahead = false;
  bool prepare_output = false;
};

// Makes a reply-number finder for one thread (each has its own matcher).
using ReplyNumberFinderFactory = std::function<ReplyNumberFinder()>;

RunOutcome RunInOrder(ConversionOptions& options, ConversionHost& host, FileSystem& fs,
                      const OrderedRunSettings& settings,
                      const ReplyNumberFinderFactory& new_finder);

}  // namespace sorbit::cli
