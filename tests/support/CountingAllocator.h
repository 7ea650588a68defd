// Replaces the global operator new and delete with counting versions. Include it in exactly
// one source file of a test binary that exists to count allocations, and in no other binary:
// a replacement holds for the whole program.
#pragma once

#include <atomic>
#include <cstdlib>
#include <new>

namespace sorbit::testing {

// Every allocation through operator new, in any of its forms, since the program started.
inline std::atomic<long> g_allocations{0};

// Both kept out of line: seeing malloc and free through inlined operators, the compiler
// would take the pair for a mismatch of new and free.
[[gnu::noinline]] inline void* CountedAlloc(std::size_t size) noexcept {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
[[gnu::noinline]] inline void CountedFree(void* p) noexcept { std::free(p); }

}  // namespace sorbit::testing

void* operator new(std::size_t size) {
  if (void* p = sorbit::testing::CountedAlloc(size)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
  if (void* p = sorbit::testing::CountedAlloc(size)) return p;
  throw std::bad_alloc();
}
// The nothrow forms too (std::stable_sort's buffer uses one): every form must pair with the
// deletes below, or the sanitizer sees a mismatch.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return sorbit::testing::CountedAlloc(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return sorbit::testing::CountedAlloc(size);
}
void operator delete(void* p) noexcept { sorbit::testing::CountedFree(p); }
void operator delete[](void* p) noexcept { sorbit::testing::CountedFree(p); }
void operator delete(void* p, std::size_t) noexcept { sorbit::testing::CountedFree(p); }
void operator delete[](void* p, std::size_t) noexcept { sorbit::testing::CountedFree(p); }
