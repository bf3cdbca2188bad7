#include "tools/cairn/adts_header.h"

namespace moraine::cairn {
namespace {

constexpr int kSampleRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};
constexpr std::size_t kMaxFrameLength = 0x1FFF;
constexpr unsigned kAacLcProfile = 1;  // audio object type 2, minus one
constexpr unsigned kMonoChannelConfiguration = 1;
constexpr unsigned kBufferFullnessVariable = 0x7FF;

std::optional<unsigned> SamplingFrequencyIndex(int sample_rate) {
  for (unsigned i = 0; i < std::size(kSampleRates); ++i) {
    if (kSampleRates[i] == sample_rate) return i;
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::array<std::uint8_t, kAdtsHeaderSize>> MakeAdtsHeader(int sample_rate, std::size_t payload_size) {
  const std::optional<unsigned> frequency_index = SamplingFrequencyIndex(sample_rate);
  if (!frequency_index || payload_size > kMaxFrameLength - kAdtsHeaderSize) return std::nullopt;
  const unsigned frame_length = static_cast<unsigned>(payload_size + kAdtsHeaderSize);
  return std::array<std::uint8_t, kAdtsHeaderSize>{
      0xFF,  // syncword, high 8 bits
      0xF1,  // syncword low 4 bits, MPEG-4, layer 0, protection absent
      static_cast<std::uint8_t>(kAacLcProfile << 6 | *frequency_index << 2 | kMonoChannelConfiguration >> 2),
      static_cast<std::uint8_t>((kMonoChannelConfiguration & 3) << 6 | frame_length >> 11),
      static_cast<std::uint8_t>(frame_length >> 3),
      static_cast<std::uint8_t>((frame_length & 7) << 5 | kBufferFullnessVariable >> 6),
      static_cast<std::uint8_t>((kBufferFullnessVariable & 0x3F) << 2),  // and no further raw blocks
  };
}

}  // namespace moraine::cairn
