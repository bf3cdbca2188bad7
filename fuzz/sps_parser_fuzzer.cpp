// Arbitrary bytes through the sequence parameter set parsers. The first byte chooses the parser
// (even: H.264, odd: HEVC); the rest is the NAL unit.

#include <cstddef>
#include <cstdint>

#include "bitstream/sequence_parameters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::uint8_t* nal = data + 1;
  const std::size_t nal_size = size - 1;
  if ((data[0] & 1u) == 0) {
    moraine::ParseH264Sps(nal, nal_size);
  } else {
    const moraine::SequenceParameters previous = {.width = 640, .height = 480};
    const moraine::SequenceParameters parsed = moraine::ParseHevcSps(nal, nal_size, previous);
    // Any NAL unit that is not an SPS must leave the size alone.
    const bool is_sps = nal_size >= 1 && ((nal[0] >> 1) & 0x3Fu) == 33;
    if (!is_sps && (parsed.width != previous.width || parsed.height != previous.height)) {
      __builtin_trap();
    }
  }
  return 0;
}
