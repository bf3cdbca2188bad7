#include "tarn/utils/bitstream_append.h"

#include <cstring>

namespace moraine::tarn {

mfxStatus AppendToBitstream(mfxBitstream& bitstream, const std::uint8_t* data, std::int32_t count) {
  if (count < 0 || (count > 0 && data == nullptr)) return MFX_ERR_NOT_ENOUGH_BUFFER;
  const std::uint64_t held = bitstream.DataLength;
  if (held + static_cast<std::uint64_t>(count) > bitstream.MaxLength) return MFX_ERR_NOT_ENOUGH_BUFFER;

  if (held > 0 && bitstream.DataOffset > 0) {
    std::memmove(bitstream.Data, bitstream.Data + bitstream.DataOffset, held);
  }
  bitstream.DataOffset = 0;
  if (count > 0) std::memcpy(bitstream.Data + held, data, static_cast<std::size_t>(count));
  bitstream.DataLength += static_cast<mfxU32>(count);
  bitstream.DataFlag = MFX_BITSTREAM_COMPLETE_FRAME;
  return MFX_ERR_NONE;
}

}  // namespace moraine::tarn
