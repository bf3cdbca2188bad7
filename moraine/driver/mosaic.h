#pragma once

// The built-in mosaic of the privacy path (anonymizer algorithm 0) on a 24-bit image stored from
// the top, 3 × width bytes a row.

#include <cstdint>

namespace moraine {

// The side of the mosaic's square blocks for `level` on a width × height picture: the level
// rounded down to a multiple of 4, at least 4 (levels below 4 would give no blocks at all) and at
// most the picture's smaller side (so that a whole block always fits and every pixel is covered).
std::int32_t MosaicBlockSize(std::int32_t level, std::int32_t width, std::int32_t height);

// Every block takes the colour of its top-left pixel. Columns right of the last whole block repeat
// that block's colour; rows below the last whole band repeat the band's last row. `pixels` belongs
// to the caller; nothing outside width × height pixels is touched. Sides below 1 change nothing.
void ApplyMosaic(std::uint8_t* pixels, std::int32_t width, std::int32_t height, std::int32_t level);

}  // namespace moraine
