#include "bitstream/bit_writer.h"

namespace moraine {

void RbspBitWriter::WriteBit(std::uint32_t bit) {
  if (free_bits_ == 0) {
    out_.push_back(0);
    free_bits_ = 8;
  }
  --free_bits_;
  if (bit & 1u) out_.back() = static_cast<std::uint8_t>(out_.back() | (1u << free_bits_));
}

void RbspBitWriter::WriteBits(std::uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) WriteBit((value >> i) & 1u);
}

void RbspBitWriter::WriteUnsignedExpGolomb(std::uint32_t value) {
  const std::uint64_t code = std::uint64_t{value} + 1;
  int bits = 0;
  while ((code >> bits) > 1) ++bits;  // bits = floor(log2(code))
  WriteBits(0, bits);
  for (int i = bits; i >= 0; --i) WriteBit(static_cast<std::uint32_t>(code >> i) & 1u);
}

void RbspBitWriter::CopyTrailingBits(std::span<const std::uint8_t> data, std::size_t bit_position) {
  std::size_t end_bit = data.size() * 8;
  if (!data.empty()) {
    const std::uint8_t last = data.back();
    int trailing_zeros = 0;
    while (trailing_zeros < 7 && ((last >> trailing_zeros) & 1u) == 0) ++trailing_zeros;
    end_bit -= static_cast<std::size_t>(trailing_zeros);
  }
  std::size_t position = bit_position;
  // Bit by bit until the output is byte-aligned, then a byte at a time.
  while (position < end_bit && free_bits_ != 0) {
    WriteBit((data[position / 8] >> (7 - position % 8)) & 1u);
    ++position;
  }
  if (position < end_bit) {
    const std::size_t whole_bytes = (end_bit - position) / 8;
    const std::size_t shift = position % 8;
    const std::size_t first = position / 8;
    const std::size_t old_size = out_.size();
    out_.resize(old_size + whole_bytes);
    std::uint8_t* target = out_.data() + old_size;
    if (shift == 0) {
      for (std::size_t i = 0; i < whole_bytes; ++i) target[i] = data[first + i];
    } else {
      // A whole byte starting mid-byte always has its second part inside the buffer.
      for (std::size_t i = 0; i < whole_bytes; ++i) {
        target[i] = static_cast<std::uint8_t>((data[first + i] << shift) |
                                              (data[first + i + 1] >> (8 - shift)));
      }
    }
    position += whole_bytes * 8;
    while (position < end_bit) {
      WriteBit((data[position / 8] >> (7 - position % 8)) & 1u);
      ++position;
    }
  }
  free_bits_ = 0;  // the last byte is padded with zero bits
}

}  // namespace moraine
