#include "mediacommon/surface_pool.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace moraine::mediacommon {

std::unique_ptr<SurfacePool> SurfacePool::Create(const mfxFrameInfo& info, std::uint32_t layout_width,
                                                 std::uint32_t layout_height, std::uint16_t count) {
  const std::size_t pitch = AlignUp(layout_width, 32);
  const std::size_t rows = AlignUp(layout_height, 32);
  std::unique_ptr<SurfacePool> pool(new (std::nothrow) SurfacePool());
  if (!pool) return nullptr;
  pool->count_ = count;
  pool->luma_bytes_ = pitch * rows;
  pool->surface_bytes_ = pitch * rows * 12 / 8;
  // Zero pixels and zero-filled surface records.
  pool->memory_.reset(static_cast<std::uint8_t*>(std::calloc(count, pool->surface_bytes_)));
  pool->surfaces_.reset(new (std::nothrow) mfxFrameSurface1[count]());
  if (!pool->memory_ || !pool->surfaces_) return nullptr;

  for (std::size_t i = 0; i < count; ++i) {
    mfxFrameSurface1& surface = pool->surfaces_[i];
    surface.Info = info;
    surface.Data.Y = pool->memory_.get() + i * pool->surface_bytes_;
    surface.Data.UV = surface.Data.Y + pool->luma_bytes_;
    surface.Data.V = surface.Data.UV + 1;
    surface.Data.Pitch = static_cast<mfxU16>(pitch);
  }
  return pool;
}

void SurfacePool::MemoryRelease::operator()(std::uint8_t* memory) const { std::free(memory); }

int SurfacePool::FindFreeSurface() const {
  for (int i = 0; i < count_; ++i) {
    if (surfaces_[static_cast<std::size_t>(i)].Data.Locked == 0) return i;
  }
  return kNoFreeSurface;
}

void SurfacePool::FillPixels(std::uint8_t luma, std::uint8_t chroma) {
  for (std::size_t i = 0; i < count_; ++i) {
    std::uint8_t* start = memory_.get() + i * surface_bytes_;
    std::memset(start, luma, luma_bytes_);
    std::memset(start + luma_bytes_, chroma, surface_bytes_ - luma_bytes_);
  }
}

}  // namespace moraine::mediacommon
