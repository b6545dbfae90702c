#include "support/alloc_counter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local size_t allocations = 0;

void* Allocate(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
}  // namespace

namespace cordavex::test {
size_t AllocationCount() { return allocations; }
}  // namespace cordavex::test

// Replacements of the global allocation functions for the whole test binary.
void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
