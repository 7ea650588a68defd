// Keeping freed memory in the process, through glibc's malloc settings.
#include "MemoryReuse.h"

#include <cstdlib>  // defines __GLIBC__ on glibc

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace sorbit::cli {

void KeepFreedMemoryForReuse() {
#if defined(__GLIBC__)
  // Blocks up to 32 MiB (glibc's largest threshold) come from the heap rather than from
  // mappings of their own, and a heap is not trimmed until 1 GiB lies free at its top.
  // Only hints: a C library that refuses them costs speed, not correctness.
  (void)::mallopt(M_MMAP_THRESHOLD, 32 << 20);
  (void)::mallopt(M_TRIM_THRESHOLD, 1 << 30);
  // The heap grows 64 MiB ahead of its use, so that the output memory's 2 MiB spans lie in
  // one mapping and can take 2 MiB pages (PosixFileSystem's output memory preparer).
  (void)::mallopt(M_TOP_PAD, 64 << 20);
#endif
}

}  // namespace sorbit::cli
