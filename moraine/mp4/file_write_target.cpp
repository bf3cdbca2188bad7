#include "moraine/mp4/file_write_target.h"

#include <sys/types.h>

#include <cerrno>
#include <limits>

namespace moraine {

static_assert(sizeof(off_t) == 8, "output files beyond 2 GiB need 64-bit file offsets");

int FileWriteTarget::Fail(int error) {
  int none = 0;
  // A library that fails without setting errno still leaves a reason to report.
  error_.compare_exchange_strong(none, error != 0 ? error : EIO);
  return 1;
}

int FileWriteTarget::WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) {
  if (file_ == nullptr) return Fail(EBADF);
  if (error_.load() != 0) return 1;
  if (position > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return Fail(EFBIG);
  errno = 0;
  // Seeking writes out what the stream buffered, so a full disk may show up here.
  if (fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0) return Fail(errno);
  if (size == 0) return 0;
  errno = 0;
  return std::fwrite(data, 1, size, file_) == size ? 0 : Fail(errno);
}

}  // namespace moraine
