// Feeds arbitrary bytes to the Media SDK runtime's stream parsing: access-unit splitting, the
// sequence parameter set parsers and the stream-header reader, for H.264 and HEVC.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "mediasdk_runtime/decode_parameters.h"
#include "bitstream/nal_units.h"
#include "bitstream/sequence_parameter_set.h"

using moraine::VideoCodec;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  for (const VideoCodec codec : {VideoCodec::kH264, VideoCodec::kHevc}) {
    moraine::FindFirstAccessUnit(codec, input);
    for (const auto& unit : moraine::SplitNalUnits(input)) {
      moraine::ParseSequenceParameterSet(codec, input.subspan(unit.payload_offset, unit.size));
    }
    // The whole input as one SPS payload, so that the parsers see every byte pattern.
    moraine::ParseSequenceParameterSet(codec, input);

    std::vector<uint8_t> copy(data, data + size);
    mfxBitstream bitstream{};
    bitstream.Data = copy.data();
    bitstream.DataLength = bitstream.MaxLength = static_cast<mfxU32>(copy.size());
    mfxVideoParam par{};
    par.mfx.CodecId = codec == VideoCodec::kH264 ? MFX_CODEC_AVC : MFX_CODEC_HEVC;
    moraine::mediasdk::ReadStreamHeader(bitstream, par);
  }
  return 0;
}
