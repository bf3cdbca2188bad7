#pragma once

// Bit-level writing of unescaped H.264 payloads (RBSP), most significant bit first, for rewriting
// the id fields at the start of parameter sets and slices.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace moraine {

// Appends bits to a byte vector.
class RbspBitWriter {
 public:
  explicit RbspBitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

  void WriteBit(std::uint32_t bit);
  void WriteBits(std::uint32_t value, int count);  // count <= 32
  void WriteUnsignedExpGolomb(std::uint32_t value);
  // Copies the bits of `data` from `bit_position` on, leaving out the zero bits that end the
  // last byte (at most seven), then pads with zero bits to a whole byte. The trailing stop bit
  // thus survives whatever number of bits came before it.
  void CopyTrailingBits(std::span<const std::uint8_t> data, std::size_t bit_position);

 private:
  std::vector<std::uint8_t>& out_;
  int free_bits_ = 0;  // unused low bits of out_.back()
};

}  // namespace moraine
