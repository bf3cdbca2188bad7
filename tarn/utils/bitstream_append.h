#pragma once

// Adds compressed bytes to the SDK's input bitstream.

#include <mfx/mfxstructures.h>

#include <cstdint>

namespace moraine::tarn {

// Moves the unconsumed bytes of `bitstream` to the front of its buffer and copies `count` bytes of
// `data` behind them, marking the bitstream as holding complete frames. Returns MFX_ERR_NONE, or
// MFX_ERR_NOT_ENOUGH_BUFFER without changing anything when the bytes would not fit in MaxLength
// (or the count is negative).
mfxStatus AppendToBitstream(mfxBitstream& bitstream, const std::uint8_t* data, std::int32_t count);

}  // namespace moraine::tarn
