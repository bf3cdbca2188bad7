#pragma once

// Builds parameter set NAL units field by field for tests, so hand-made cases read like the
// syntax they encode: writer.U(8, 100);  // profile_idc

#include <cstdint>
#include <vector>

namespace moraine::testing {

class NalUnitWriter {
 public:
  // Starts a NAL unit with its header bytes, written as they are.
  explicit NalUnitWriter(std::vector<std::uint8_t> header);

  // u(n): the low `count` bits of `value` (count at most 32), most significant first.
  NalUnitWriter& U(int count, std::uint32_t value);
  // ue(v)
  NalUnitWriter& Ue(std::uint32_t value);
  // se(v)
  NalUnitWriter& Se(std::int32_t value);

  // The NAL unit: header, then the payload with rbsp_stop_one_bit, alignment zeros and an
  // emulation-prevention 03 after every 00 00 that precedes a byte of 03 or less.
  std::vector<std::uint8_t> Finish() const;

 private:
  std::vector<std::uint8_t> header_;
  std::vector<bool> bits_;
};

}  // namespace moraine::testing
