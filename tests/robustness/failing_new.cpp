#include "failing_new.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace failing_new {

namespace {

std::atomic<std::size_t> allocations{0};
std::atomic<std::int64_t> live{0};
std::atomic<std::size_t> fail_at{0};  // 0: no failure pending
std::atomic<bool> fired{false};

void* Allocate(std::size_t size, std::size_t alignment) {
  const std::size_t n = ++allocations;
  std::size_t expected = n;
  if (fail_at.compare_exchange_strong(expected, 0)) {
    fired = true;
    return nullptr;
  }
  if (size == 0) size = 1;
  void* p = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    p = std::malloc(size);
  } else if (posix_memalign(&p, alignment, size) != 0) {
    p = nullptr;
  }
  if (p != nullptr) ++live;
  return p;
}

void Release(void* p) {
  if (p == nullptr) return;
  --live;
  std::free(p);
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment) {
  void* p = Allocate(size, alignment);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

std::size_t Allocations() { return allocations; }
std::int64_t LiveAllocations() { return live; }

void FailAllocation(std::size_t n) {
  fired = false;
  fail_at = allocations + n;
}

bool Disarm() {
  fail_at = 0;
  return fired.exchange(false);
}

}  // namespace failing_new

using failing_new::AllocateOrThrow;

void* operator new(std::size_t size) { return AllocateOrThrow(size, 0); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size, 0); }
void* operator new(std::size_t size, std::align_val_t a) {
  return AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return AllocateOrThrow(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return failing_new::Allocate(size, 0);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return failing_new::Allocate(size, 0);
}

void operator delete(void* p) noexcept { failing_new::Release(p); }
void operator delete[](void* p) noexcept { failing_new::Release(p); }
void operator delete(void* p, std::size_t) noexcept { failing_new::Release(p); }
void operator delete[](void* p, std::size_t) noexcept { failing_new::Release(p); }
void operator delete(void* p, std::align_val_t) noexcept { failing_new::Release(p); }
void operator delete[](void* p, std::align_val_t) noexcept { failing_new::Release(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { failing_new::Release(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { failing_new::Release(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { failing_new::Release(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { failing_new::Release(p); }
