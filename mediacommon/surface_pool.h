#pragma once

// A pool of NV12 system-memory surfaces for the SDK, all carved out of one block of pixel memory.

#include <mfx/mfxstructures.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace moraine::mediacommon {

// Returned by FindFreeSurface when every surface is in use (MFX_ERR_NOT_FOUND).
inline constexpr int kNoFreeSurface = -9;

class SurfacePool {
 public:
  // Lays out `count` zero-filled surfaces whose Info is a copy of `info`. Each surface takes
  // W × H × 12 / 8 bytes, W and H being `layout_width` and `layout_height` rounded up to multiples
  // of 32: luma at the start with pitch W, interleaved chroma after W × H bytes. Returns null when the
  // memory cannot be allocated.
  static std::unique_ptr<SurfacePool> Create(const mfxFrameInfo& info, std::uint32_t layout_width,
                                             std::uint32_t layout_height, std::uint16_t count);

  std::uint16_t Count() const { return count_; }
  mfxFrameSurface1* Surface(int index) { return &surfaces_[static_cast<std::size_t>(index)]; }

  // Index of the lowest surface the SDK does not hold (Data.Locked is 0), or kNoFreeSurface.
  int FindFreeSurface() const;

  // Sets every luma byte of every surface to `luma` and every chroma byte to `chroma`.
  void FillPixels(std::uint8_t luma, std::uint8_t chroma);

 private:
  SurfacePool() = default;

  std::uint16_t count_ = 0;
  std::size_t luma_bytes_ = 0;
  std::size_t surface_bytes_ = 0;
  struct MemoryRelease {
    void operator()(std::uint8_t* memory) const;
  };
  // From calloc: the system hands out zeroed pages, and a surface the SDK never uses costs no memory.
  std::unique_ptr<std::uint8_t[], MemoryRelease> memory_;
  std::unique_ptr<mfxFrameSurface1[]> surfaces_;
};

// Rounds `value` up to a multiple of `alignment` (a power of two).
constexpr std::uint32_t AlignUp(std::uint32_t value, std::uint32_t alignment) {
  return (value + alignment - 1) & ~(alignment - 1);
}

}  // namespace moraine::mediacommon
