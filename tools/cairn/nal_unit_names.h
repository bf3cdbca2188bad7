#pragma once

// Names of NAL unit types for listings ("SPS", "IDR", ...).

#include <cstdint>
#include <string_view>

namespace moraine::cairn {

std::string_view H264NalUnitName(std::uint8_t type);
std::string_view HevcNalUnitName(std::uint8_t type);

}  // namespace moraine::cairn
