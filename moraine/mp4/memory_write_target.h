#pragma once

// WriteTarget that keeps the whole file in memory, for tests and fuzzing.

#include <vector>

#include "moraine/mp4/write_target.h"

namespace moraine {

class MemoryWriteTarget : public WriteTarget {
 public:
  // Places the bytes at `position`, growing the file (gaps read as zero). 1 when the position
  // lies beyond what memory can hold.
  int WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) override;

  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace moraine
