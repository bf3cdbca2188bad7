#pragma once

// The mosaics of the privacy path: the built-in mosaic (anonymizer algorithm 0) on the 24-bit work
// image, and the coarse mosaic that covers a whole NV12 picture in place when a picture cannot be
// masked as the recording asks.

#include <cstddef>
#include <cstdint>

namespace moraine {

// The side of the mosaic's square blocks for `level` on a width × height picture: the level
// rounded down to a multiple of 4, at least 4 (levels below 4 would give no blocks at all) and at
// most the picture's smaller side (so that a whole block always fits and every pixel is covered).
std::int32_t MosaicBlockSize(std::int32_t level, std::int32_t width, std::int32_t height);

// Every block takes the colour of its top-left pixel. Columns right of the last whole block repeat
// that block's colour; rows below the last whole band repeat the band's last row. `pixels` is a
// 24-bit image stored from the top, 3 × width bytes a row; it belongs to the caller and nothing
// outside width × height pixels is touched. Sides below 1 change nothing.
void ApplyMosaic(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t level);

// The block of the coarse mosaic: a twentieth of the picture's smaller side rounded up to a
// multiple of 4, never smaller than MosaicBlockSize for `level`, and at most the smaller side.
std::int32_t CoarseMosaicBlockSize(std::int32_t level, std::int32_t width, std::int32_t height);

// Covers the NV12 `picture` of width × height (laid out as Nv12PictureBytes says) with the coarse
// mosaic, luma and chroma alike, in place and without allocating. Sides below 1 change nothing.
void ApplyCoarseNv12Mosaic(std::uint8_t* picture, std::int32_t width, std::int32_t height, std::int32_t level);

}  // namespace moraine
