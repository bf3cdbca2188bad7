#include "tests/bitstream/nal_unit_writer.h"

#include <bit>
#include <utility>

namespace moraine::testing {

NalUnitWriter::NalUnitWriter(std::vector<std::uint8_t> header) : header_(std::move(header)) {}

NalUnitWriter& NalUnitWriter::U(int count, std::uint32_t value) {
  for (int bit = count - 1; bit >= 0; --bit) {
    bits_.push_back(((value >> bit) & 1u) != 0);
  }
  return *this;
}

NalUnitWriter& NalUnitWriter::Ue(std::uint32_t value) {
  const std::uint64_t code = std::uint64_t{value} + 1;
  const int leading_zeros = std::bit_width(code) - 1;
  for (int i = 0; i < leading_zeros; ++i) {
    bits_.push_back(false);
  }
  for (int bit = leading_zeros; bit >= 0; --bit) {
    bits_.push_back(((code >> bit) & 1u) != 0);
  }
  return *this;
}

NalUnitWriter& NalUnitWriter::Se(std::int32_t value) {
  const std::int64_t wide = value;
  return Ue(static_cast<std::uint32_t>(wide > 0 ? 2 * wide - 1 : -2 * wide));
}

std::vector<std::uint8_t> NalUnitWriter::Finish() const {
  std::vector<bool> bits = bits_;
  bits.push_back(true);  // rbsp_stop_one_bit
  while (bits.size() % 8 != 0) {
    bits.push_back(false);
  }
  std::vector<std::uint8_t> nal = header_;
  int zeros_in_a_row = 0;
  for (std::size_t i = 0; i < bits.size(); i += 8) {
    std::uint8_t byte = 0;
    for (std::size_t j = 0; j < 8; ++j) {
      byte = static_cast<std::uint8_t>((byte << 1) | (bits[i + j] ? 1 : 0));
    }
    if (zeros_in_a_row >= 2 && byte <= 0x03) {
      nal.push_back(0x03);
      zeros_in_a_row = 0;
    }
    nal.push_back(byte);
    zeros_in_a_row = byte == 0 ? zeros_in_a_row + 1 : 0;
  }
  return nal;
}

}  // namespace moraine::testing
