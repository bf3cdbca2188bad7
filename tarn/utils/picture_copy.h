#pragma once

// Copies a decoded picture out of an SDK surface into the packed NV12 block the caller receives.

#include <mfx/mfxstructures.h>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace moraine::tarn {

struct PackedPicture {
  std::unique_ptr<std::uint8_t[]> bytes;  // allocated with new[]; whoever takes it releases it with delete[]
  std::size_t size = 0;
};

// The top-left width × height part of the NV12 surface `data`, without row padding: height rows of
// width luma bytes, then the interleaved chroma rows, width × height + (width × height) / 2 bytes in all.
// Width and height must be positive and fit inside the surface.
PackedPicture CopyPackedPicture(const mfxFrameData& data, std::int32_t width, std::int32_t height);

}  // namespace moraine::tarn
