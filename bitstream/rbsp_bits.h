#pragma once

// Bit-level reading and writing of unescaped H.264 payloads, most significant bit first, for
// rewriting the id fields at the start of parameter sets and slices.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace moraine {

// Reads bits of a borrowed buffer. Past its end every bit reads as 0.
class RbspBitReader {
 public:
  RbspBitReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  std::uint32_t ReadBit();
  // ue(v); nullopt for a code with more than 31 leading zero bits (also what the zero bits past
  // the end turn into).
  std::optional<std::uint32_t> ReadUnsignedExpGolomb();

  std::size_t bit_position() const { return position_; }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

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
  void CopyTrailingBits(const std::uint8_t* data, std::size_t size, std::size_t bit_position);

 private:
  std::vector<std::uint8_t>& out_;
  int free_bits_ = 0;  // unused low bits of out_.back()
};

}  // namespace moraine
