#include "moraine/mp4/file_write_target.h"

#include <sys/types.h>

#include <limits>

namespace moraine {

static_assert(sizeof(off_t) == 8, "output files beyond 2 GiB need 64-bit file offsets");

int FileWriteTarget::WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) {
  if (file_ == nullptr) return 1;
  if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return 1;
  if (fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) return 1;
  if (size == 0) return 0;
  return std::fwrite(data, 1, size, file_) == size ? 0 : 1;
}

}  // namespace moraine
