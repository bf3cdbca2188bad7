#pragma once

// WriteTarget over an open stdio file, positioned with 64-bit offsets. The file stays the
// caller's: this neither opens nor closes it.

#include <cstdio>

#include "moraine/mp4/write_target.h"

namespace moraine {

class FileWriteTarget : public WriteTarget {
 public:
  explicit FileWriteTarget(std::FILE* file) : file_(file) {}

  // Seeks to `position` and writes; 1 when seeking fails or fewer bytes were written.
  int WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) override;

 private:
  std::FILE* file_;
};

}  // namespace moraine
