#include "moraine/mp4/memory_write_target.h"

#include <cstring>

namespace moraine {

namespace {
// Large enough for any test or fuzz input, small enough that a bogus position cannot exhaust memory.
constexpr std::uint64_t kMaxFileSize = std::uint64_t{1} << 30;
}  // namespace

int MemoryWriteTarget::WriteAt(std::uint64_t position, const std::uint8_t* data, std::size_t size) {
  if (position > kMaxFileSize || size > kMaxFileSize - position) return 1;
  const std::size_t end = static_cast<std::size_t>(position) + size;
  if (bytes_.size() < end) bytes_.resize(end);
  if (size > 0) std::memcpy(bytes_.data() + position, data, size);
  return 0;
}

}  // namespace moraine
