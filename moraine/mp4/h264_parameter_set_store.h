#pragma once

// Fixed number of slots, each holding one distinct parameter set (written with id 0), so that
// every distinct parameter set of a track keeps one id however often the encoder repeats it.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace moraine {

class H264ParameterSetStore {
 public:
  explicit H264ParameterSetStore(std::size_t slot_count) : slots_(slot_count) {}

  // Index of the slot holding bytes equal to `unit`; otherwise the first free slot receives a
  // copy and `added` is set. -1 when every slot holds another unit. `unit` must not be empty.
  int FindOrAdd(const std::vector<std::uint8_t>& unit, bool& added);

 private:
  std::vector<std::vector<std::uint8_t>> slots_;  // empty = free
};

}  // namespace moraine
