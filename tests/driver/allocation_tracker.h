#pragma once

// Watches the sizes the test program asks of the global operator new, to show that a length
// field alone never makes a reader allocate.

#include <cstddef>

namespace moraine::testing {

class AllocationTracker {
 public:
  // Starts watching from zero.
  AllocationTracker();
  // The largest single allocation since construction.
  std::size_t LargestAllocation() const;
};

}  // namespace moraine::testing
