#pragma once

// Where the MP4 writer puts its bytes: every write names its absolute file position, so the
// writer can go back and fill in the media-data header once all samples are known.

#include <cstddef>
#include <cstdint>

namespace moraine {

class WriteTarget {
 public:
  virtual ~WriteTarget() = default;
  // Writes `size` bytes at `position`. Returns 0 when all of them were written, nonzero otherwise.
  virtual int WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) = 0;
};

}  // namespace moraine
