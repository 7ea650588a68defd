// The SIGBUS handler that reads zeros in place of a file's vanished end.
#include "platform/posix/TruncationGuard.h"

#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace sorbit::platform {

namespace {

struct Slot {
  std::atomic<std::uintptr_t> begin{0};  // 0: free
  std::atomic<std::size_t> size{0};
  std::atomic<bool> truncated{false};
};

Slot g_slots[kGuardedMappings];
std::atomic<bool> g_installed{false};
std::uintptr_t g_page_size = 4096;

void OnBusError(int signal_number, siginfo_t* info, void*) {
  const auto at = reinterpret_cast<std::uintptr_t>(info->si_addr);
  for (Slot& slot : g_slots) {
    const std::uintptr_t begin = slot.begin.load(std::memory_order_acquire);
    const std::size_t size = slot.size.load(std::memory_order_acquire);
    if (begin == 0 || at < begin || at - begin >= size) continue;
    // Zero pages from the faulting page to the mapping's end: one call however much of the
    // file has gone, and the pages before it, still in the file, stay as they are.
    const std::uintptr_t first = at & ~(g_page_size - 1);
    const std::uintptr_t end = (begin + size + g_page_size - 1) & ~(g_page_size - 1);
    if (::mmap(reinterpret_cast<void*>(first), end - first, PROT_READ,
               MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0) != MAP_FAILED) {
      slot.truncated.store(true, std::memory_order_release);
      return;  // the read is made again, and finds zeros
    }
    break;
  }
  // Not a guarded mapping: the default action, as if no handler were there.
  struct sigaction fallback = {};
  fallback.sa_handler = SIG_DFL;
  ::sigaction(signal_number, &fallback, nullptr);
  ::raise(signal_number);
}

}  // namespace

void InstallTruncationGuard() {
  if (g_installed.exchange(true)) return;
  g_page_size = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  struct sigaction action = {};
  action.sa_sigaction = OnBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGBUS, &action, nullptr);
}

int GuardMapping(const void* address, std::size_t size) {
  const auto begin = reinterpret_cast<std::uintptr_t>(address);
  for (std::size_t i = 0; i < kGuardedMappings; ++i) {
    std::uintptr_t free = 0;
    if (g_slots[i].begin.compare_exchange_strong(free, begin, std::memory_order_acq_rel)) {
      g_slots[i].truncated.store(false, std::memory_order_relaxed);
      g_slots[i].size.store(size, std::memory_order_release);
      return static_cast<int>(i);
    }
  }
  return -1;
}

void ForgetMapping(int slot) {
  if (slot < 0) return;
  g_slots[slot].size.store(0, std::memory_order_release);
  g_slots[slot].begin.store(0, std::memory_order_release);
}

bool MappingTruncated(int slot) {
  return slot >= 0 && g_slots[slot].truncated.load(std::memory_order_acquire);
}

}  // namespace sorbit::platform
