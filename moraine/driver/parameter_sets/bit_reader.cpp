#include "moraine/driver/parameter_sets/bit_reader.h"

namespace moraine {

namespace {
constexpr std::uint32_t kMaxExpGolombLeadingZeros = 32;
}  // namespace

BitReader::BitReader(const std::uint8_t* data, std::size_t size)
    : start_(data), current_(data), end_(data + size) {}

std::uint32_t BitReader::ReadBit() {
  std::uint32_t bit = 0;
  if (!AtEnd()) {
    --bits_left_;
    bit = (*current_ >> bits_left_) & 1u;
    if (bits_left_ == 0) {
      ++current_;
      bits_left_ = 8;
    }
  }
  SkipEmulationPreventionByte();
  return bit;
}

void BitReader::SkipEmulationPreventionByte() {
  // The two zero bytes may be the first two of the range: 00 00 03 at its start is escaped too.
  if (!AtEnd() && current_ - start_ >= 2 && current_[-2] == 0x00 && current_[-1] == 0x00 &&
      *current_ == 0x03) {
    ++current_;
  }
}

std::uint32_t BitReader::ReadBits(std::uint32_t count) {
  std::uint32_t value = 0;
  for (std::uint32_t read = 0; read < count; ++read) {
    if (AtEnd()) {
      // The remaining bits are all zeros; shift them in at once rather than one by one.
      const std::uint32_t remaining = count - read;
      value = remaining >= 32 ? 0 : value << remaining;
      break;
    }
    value = (value << 1) | ReadBit();
  }
  return value;
}

void BitReader::SkipBits(std::uint64_t count) {
  for (std::uint64_t skipped = 0; skipped < count && !AtEnd(); ++skipped) {
    ReadBit();
  }
}

std::uint32_t BitReader::ReadUnsignedExpGolomb() {
  std::uint32_t leading_zeros = 0;
  while (!AtEnd() && ReadBit() == 0) {
    if (++leading_zeros == kMaxExpGolombLeadingZeros) {
      return 0;
    }
  }
  // leading_zeros <= 31 here, so neither the shift nor the sum can overflow.
  return ReadBits(leading_zeros) + ((1u << leading_zeros) - 1u);
}

std::int32_t BitReader::ReadSignedExpGolomb() {
  const std::uint32_t code = ReadUnsignedExpGolomb();
  const auto magnitude = static_cast<std::int32_t>(code / 2);  // at most 2^31 - 1
  return (code & 1u) != 0 ? magnitude + 1 : -magnitude;
}

}  // namespace moraine
