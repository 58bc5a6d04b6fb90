// Large tables are faulted in with huge pages where the system offers them
// on request: a table of tens of megabytes then costs a few dozen page
// faults instead of tens of thousands.  Nothing changes but the speed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace torvik {

// Asks for huge pages behind [data, data + bytes), which must not have been
// touched yet to gain anything.  Only the whole 2 MiB pages inside count.
inline void AdviseHugePages(void* data, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t kHuge = std::uintptr_t{1} << 21;
  if (bytes < 2 * kHuge) return;
  const std::uintptr_t start = (reinterpret_cast<std::uintptr_t>(data) + kHuge - 1) & ~(kHuge - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHuge - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#else
  (void)data;
  (void)bytes;
#endif
}

// reserve() for a table that may be large.
template <class T, class Allocator>
void ReserveLarge(std::vector<T, Allocator>& table, std::size_t count) {
  if (count <= table.capacity()) return;
  table.reserve(count);
  AdviseHugePages(table.data() + table.size(), (table.capacity() - table.size()) * sizeof(T));
}

// resize() for a table that may be large.
template <class T, class Allocator>
void ResizeLarge(std::vector<T, Allocator>& table, std::size_t count) {
  ReserveLarge(table, count);
  table.resize(count);
}

}  // namespace torvik
