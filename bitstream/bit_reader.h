#pragma once

// Reads the bits of a NAL unit's payload (RBSP): emulation-prevention bytes are removed first, and
// reads past the end yield zero bits and set a sticky failure flag that callers check once per group
// of reads.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace moraine::mediasdk {

// Copies `nal_payload` without its emulation-prevention bytes (the 03 of every 00 00 03).
std::vector<uint8_t> RemoveEmulationPrevention(std::span<const uint8_t> nal_payload);

class BitReader {
 public:
  explicit BitReader(std::span<const uint8_t> rbsp) : data_(rbsp) {}

  uint32_t ReadBits(int count);  // count 0..32, most significant bit first
  bool ReadFlag() { return ReadBits(1) != 0; }
  uint32_t ReadUnsignedExpGolomb();  // ue(v); values above 2^31 - 2 set the failure flag
  int32_t ReadSignedExpGolomb();     // se(v)
  void SkipBits(size_t count);

  // True once any read went past the end of the data or met a malformed code.
  bool failed() const { return failed_; }
  size_t bits_left() const { return data_.size() * 8 - position_; }

 private:
  std::span<const uint8_t> data_;
  size_t position_ = 0;  // in bits
  bool failed_ = false;
};

}  // namespace moraine::mediasdk
