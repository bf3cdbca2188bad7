#pragma once

// WriteTarget over an open stdio file, positioned with 64-bit offsets. The file stays the
// caller's: this neither opens nor closes it. The first failed write cuts the file short: every
// later write fails too, so a file with a gap in it is never mistaken for a complete one.

#include <atomic>
#include <cstdio>

#include "moraine/mp4/write_target.h"

namespace moraine {

class FileWriteTarget : public WriteTarget {
 public:
  explicit FileWriteTarget(std::FILE* file) : file_(file) {}

  // Seeks to `position` and writes; 1 when seeking fails, fewer bytes were written or an earlier
  // write failed.
  int WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) override;

  // The errno value of the first failed write (EFBIG for a position beyond 64-bit offsets), 0 while
  // every write succeeded. May be read from another thread than the one that writes.
  int error() const { return error_.load(); }

 private:
  int Fail(int error);

  std::FILE* file_;
  std::atomic<int> error_{0};
};

}  // namespace moraine
