#include "brook/buffer_release.h"

#include <cstdlib>
#include <new>

namespace brook {

BufferRelease::~BufferRelease() {
  for (std::uint8_t* buffer : kept_) std::free(buffer);
}

void BufferRelease::SetReleaseFunction(BrookReleaseFunction release) {
  if (release == nullptr) return;
  release_ = release;
  for (std::uint8_t* buffer : kept_) release_(buffer);
  kept_.clear();
}

void BufferRelease::Release(std::uint8_t* buffer) noexcept {
  if (buffer == nullptr) return;
  if (release_ != nullptr) {
    release_(buffer);
    return;
  }
  try {
    kept_.push_back(buffer);
  } catch (const std::bad_alloc&) {
    // Without memory to remember it, the buffer is lost; freeing it with a function the caller
    // never named could corrupt its heap.
  }
}

}  // namespace brook
