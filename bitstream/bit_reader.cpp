#include "bitstream/bit_reader.h"

namespace moraine {

std::uint32_t BitReader::ReadBits(int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    std::uint32_t bit = 0;
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

std::uint32_t BitReader::ReadUnsignedExpGolomb() {
  int leading_zeros = 0;
  while (true) {
    if (bits_left() == 0) {  // the code is cut by the end
      failed_ = true;
      return 0;
    }
    if (ReadBits(1) != 0) break;
    if (++leading_zeros > 31) {
      failed_ = true;
      return 0;
    }
  }
  if (leading_zeros == 0) return 0;
  // leading_zeros <= 31, so neither the shift nor the sum overflows 32 bits.
  return (1u << leading_zeros) - 1 + ReadBits(leading_zeros);
}

std::int32_t BitReader::ReadSignedExpGolomb() {
  const std::uint32_t code = ReadUnsignedExpGolomb();
  const auto magnitude = static_cast<std::int32_t>((code + 1) / 2);
  return (code & 1u) ? magnitude : -magnitude;
}

void BitReader::SkipBits(std::size_t count) {
  if (count > bits_left()) {
    position_ = data_.size() * 8;
    failed_ = true;
    return;
  }
  position_ += count;
}

}  // namespace moraine
