#include "tools/cairn/nal_unit_names.h"

namespace moraine::cairn {

std::string_view H264NalUnitName(std::uint8_t type) {
  switch (type) {
    case 1: return "slice";
    case 2: case 3: case 4: return "slice partition";
    case 5: return "IDR";
    case 6: return "SEI";
    case 7: return "SPS";
    case 8: return "PPS";
    case 9: return "AUD";
    default: return "other";
  }
}

std::string_view HevcNalUnitName(std::uint8_t type) {
  if (type <= 9) return "slice";
  if (type == 19 || type == 20) return "IDR";
  if (type >= 16 && type <= 21) return "IRAP";
  switch (type) {
    case 32: return "VPS";
    case 33: return "SPS";
    case 34: return "PPS";
    case 35: return "AUD";
    case 39: case 40: return "SEI";
    default: return "other";
  }
}

}  // namespace moraine::cairn
