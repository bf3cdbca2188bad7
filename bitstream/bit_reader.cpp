#include "bitstream/bit_reader.h"

namespace moraine::mediasdk {

std::vector<uint8_t> RemoveEmulationPrevention(std::span<const uint8_t> nal_payload) {
  std::vector<uint8_t> rbsp;
  rbsp.reserve(nal_payload.size());
  int zeros = 0;
  for (uint8_t byte : nal_payload) {
    if (zeros >= 2 && byte == 0x03) {
      zeros = 0;
      continue;
    }
    zeros = byte == 0 ? zeros + 1 : 0;
    rbsp.push_back(byte);
  }
  return rbsp;
}

uint32_t BitReader::ReadBits(int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    uint32_t bit = 0;
    if (position_ < data_.size() * 8) {
      bit = (data_[position_ / 8] >> (7 - position_ % 8)) & 1u;
      ++position_;
    } else {
      failed_ = true;
    }
    value = (value << 1) | bit;
  }
  return value;
}

uint32_t BitReader::ReadUnsignedExpGolomb() {
  int leading_zeros = 0;
  while (ReadBits(1) == 0) {
    if (failed_ || ++leading_zeros > 31) {
      failed_ = true;
      return 0;
    }
  }
  if (leading_zeros == 0) return 0;
  // leading_zeros <= 31, so neither the shift nor the sum overflows 32 bits.
  return (1u << leading_zeros) - 1 + ReadBits(leading_zeros);
}

int32_t BitReader::ReadSignedExpGolomb() {
  const uint32_t code = ReadUnsignedExpGolomb();
  const auto magnitude = static_cast<int32_t>((code + 1) / 2);
  return (code & 1u) ? magnitude : -magnitude;
}

void BitReader::SkipBits(size_t count) {
  if (count > bits_left()) {
    position_ = data_.size() * 8;
    failed_ = true;
    return;
  }
  position_ += count;
}

}  // namespace moraine::mediasdk
