#pragma once

// Reads the bits of one parameter set NAL unit in place, most significant bit first, skipping
// emulation-prevention bytes (the 03 of 00 00 03) as it goes, so no unescaped copy is needed.
//
// Past the end of the range every read yields 0 bits and the position no longer moves; callers
// never get an error, a truncated parameter set simply reads as zeros from its end on.

#include <cstddef>
#include <cstdint>

namespace moraine {

class BitReader {
 public:
  // Reads `size` bytes from `data`; the bytes are borrowed and must outlive the reader.
  BitReader(const std::uint8_t* data, std::size_t size);

  // One bit: 0 or 1; 0 at or past the end.
  std::uint32_t ReadBit();

  // `count` bits as an unsigned number, the first bit read the most significant. Bits past the
  // end are zeros. For a count above 32 all bits are consumed and the last 32 of them returned.
  std::uint32_t ReadBits(std::uint32_t count);

  // Consumes `count` bits (stops early at the end of the range).
  void SkipBits(std::uint64_t count);

  // ue(v). A code that runs into the end of the range after i zero bits reads as 2^i - 1.
  // A code with 32 or more leading zero bits cannot occur in a valid stream (the largest value,
  // 2^32 - 2, has 31); it reads as 0 after its first 32 zero bits, the rest being left unread.
  std::uint32_t ReadUnsignedExpGolomb();

  // se(v), mapped from the ue(v) code k: (k + 1) / 2 for odd k, -k / 2 for even k. Every code
  // fits: the largest possible k, 2^32 - 2, maps to -(2^31 - 1).
  std::int32_t ReadSignedExpGolomb();

  // True once every byte of the range has been read; all further reads yield zeros.
  bool AtEnd() const { return current_ >= end_; }

 private:
  void SkipEmulationPreventionByte();

  const std::uint8_t* start_;
  const std::uint8_t* current_;
  const std::uint8_t* end_;
  int bits_left_ = 8;  // bits of *current_ not read yet
};

}  // namespace moraine
