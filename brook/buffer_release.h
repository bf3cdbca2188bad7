#pragma once

// Gives the frames that decode took over back to the caller through its release function. Frames
// that arrive before the caller has named its release function are kept until it does.

#include <cstdint>
#include <vector>

#include "brook/audio_decoder.h"

namespace brook {

class BufferRelease {
 public:
  BufferRelease() = default;
  // Kept buffers of a caller that never named a release function go back with std::free.
  ~BufferRelease();
  BufferRelease(const BufferRelease&) = delete;
  BufferRelease& operator=(const BufferRelease&) = delete;

  // Names the release function and hands every kept buffer to it; null is ignored.
  void SetReleaseFunction(BrookReleaseFunction release);
  // Gives `buffer` back now, or keeps it until a release function is named; null is ignored.
  void Release(std::uint8_t* buffer) noexcept;

 private:
  BrookReleaseFunction release_ = nullptr;
  std::vector<std::uint8_t*> kept_;
};

// Releases one buffer when it goes out of scope, so that every path of decode gives it back.
class ScopedBufferRelease {
 public:
  ScopedBufferRelease(BufferRelease& release, std::uint8_t* buffer) : release_(release), buffer_(buffer) {}
  ~ScopedBufferRelease() { release_.Release(buffer_); }
  ScopedBufferRelease(const ScopedBufferRelease&) = delete;
  ScopedBufferRelease& operator=(const ScopedBufferRelease&) = delete;

 private:
  BufferRelease& release_;
  std::uint8_t* buffer_;
};

}  // namespace brook
