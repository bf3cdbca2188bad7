#pragma once

// Reads the bits of a NAL unit's payload once its emulation-prevention bytes are removed (RBSP),
// most significant bit first. Reads past the end yield zero bits and set a sticky failure flag that
// callers check once per group of reads; the position then stays at the end.

#include <cstddef>
#include <cstdint>
#include <span>

namespace moraine {

class BitReader {
 public:
  // Borrows `rbsp`, which must outlive the reader.
  explicit BitReader(std::span<const std::uint8_t> rbsp) : data_(rbsp) {}

  std::uint32_t ReadBits(int count);  // count 0..32, the first bit read the most significant
  bool ReadFlag() { return ReadBits(1) != 0; }
  // ue(v). A code cut by the end sets the failure flag, and so does one with more than 31 leading
  // zero bits (no valid code has that many), which reads as 0 after its first 32 zero bits.
  std::uint32_t ReadUnsignedExpGolomb();
  std::int32_t ReadSignedExpGolomb();  // se(v)
  void SkipBits(std::size_t count);

  // True once any read went past the end of the data or met a malformed code.
  bool failed() const { return failed_; }
  std::size_t bit_position() const { return position_; }
  std::size_t bits_left() const { return data_.size() * 8 - position_; }

 private:
  std::span<const std::uint8_t> data_;
  std::size_t position_ = 0;  // in bits
  bool failed_ = false;
};

}  // namespace moraine
