#include "tests/driver/allocation_tracker.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::size_t> largest_allocation{0};

void NoteAllocation(std::size_t size) {
  std::size_t largest = largest_allocation.load();
  while (size > largest && !largest_allocation.compare_exchange_weak(largest, size)) {
  }
}

}  // namespace

// Replaces the program's global allocation functions; everything else stays as the runtime has it.
void* operator new(std::size_t size) {
  NoteAllocation(size);
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace moraine::testing {

AllocationTracker::AllocationTracker() { largest_allocation = 0; }

std::size_t AllocationTracker::LargestAllocation() const { return largest_allocation.load(); }

}  // namespace moraine::testing
