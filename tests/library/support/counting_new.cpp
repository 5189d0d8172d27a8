#include "counting_new.hpp"

#include <atomic>
#include <cstdlib>
#include <new>

// The replaced operators pair malloc with free themselves; GCC cannot see
// that through the inlined new-expressions.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

namespace {

std::atomic<long> allocations{0};

}  // namespace

// The array forms come to these (under AddressSanitizer they stay its own,
// paired with each other); the sized delete is the sanitizer's otherwise.
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) {
    return memory;
  }
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept {
  std::free(memory);
}
void operator delete(void* memory, std::size_t) noexcept {
  std::free(memory);
}

namespace dravik::testing {

long AllocationCount() {
  return allocations.load(std::memory_order_relaxed);
}

}  // namespace dravik::testing
