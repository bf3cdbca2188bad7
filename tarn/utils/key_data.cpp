#include "tarn/utils/key_data.h"

namespace moraine::tarn {

bool IsKeyData(VideoCodec codec, const std::uint8_t* data, std::int32_t count) {
  if (data == nullptr || count <= 5) return false;
  const std::uint8_t nal_header = data[4];  // the byte after the start code 00 00 00 01
  if (codec == VideoCodec::kHevc) {
    const int nal_unit_type = (nal_header >> 1) & 0x3F;  // nal_unit_type: u(6) after forbidden_zero_bit
    return nal_unit_type >= 32 && nal_unit_type <= 34;
  }
  const int nal_unit_type = nal_header & 0x1F;  // nal_unit_type: u(5)
  return nal_unit_type == 7 || nal_unit_type == 8;
}

}  // namespace moraine::tarn
