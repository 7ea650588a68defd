// Reading a mapped file that another program shortens meanwhile. The pages past the file's
// new end raise SIGBUS when they are touched, and that signal ends the process. A program that
// reads files which other programs may rewrite in place (the reader window) installs this
// guard once: a SIGBUS inside a file mapping is then answered by mapping zero pages over the
// rest of that mapping, so that the read goes on and finds zeros there, and the mapping is
// marked as cut short (MappedFile::Truncated), so that the program can tell its user. A SIGBUS
// anywhere else keeps its default action.
//
// The mappings are registered by MappedFile, in a fixed table of kGuardedMappings slots that
// the signal handler reads without locks (a mapping beyond that is left unguarded); the
// handler itself does nothing but scan the table and call mmap.
#pragma once

#include <cstddef>

namespace sorbit::platform {

inline constexpr std::size_t kGuardedMappings = 4096;

// Installs the process's SIGBUS handler; calling it again does nothing.
void InstallTruncationGuard();

// For MappedFile: registers [address, address + size) and returns its slot, or -1 when the
// table is full; forgets a slot; tells whether a slot's mapping was cut short.
int GuardMapping(const void* address, std::size_t size);
void ForgetMapping(int slot);
bool MappingTruncated(int slot);

}  // namespace sorbit::platform
