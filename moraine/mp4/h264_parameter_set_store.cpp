#include "moraine/mp4/h264_parameter_set_store.h"

namespace moraine {

int H264ParameterSetStore::FindOrAdd(const std::vector<std::uint8_t>& unit, bool& added) {
  added = false;
  int free_slot = -1;
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    if (slots_[i].empty()) {
      if (free_slot < 0) free_slot = static_cast<int>(i);
    } else if (slots_[i] == unit) {
      return static_cast<int>(i);
    }
  }
  if (free_slot >= 0) {
    slots_[static_cast<std::size_t>(free_slot)] = unit;
    added = true;
  }
  return free_slot;
}

}  // namespace moraine
