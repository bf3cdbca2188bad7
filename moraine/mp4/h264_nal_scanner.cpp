#include "moraine/mp4/h264_nal_scanner.h"

#include <cstring>

namespace moraine {

namespace {

// Position of the next 00 00 01 at or after `from`, or `size` when there is none. Jumps from zero
// byte to zero byte: most bytes of a coded picture are not zero.
std::size_t FindStartCode(const std::uint8_t* data, std::size_t size, std::size_t from) {
  std::size_t i = from;
  while (size >= 3 && i <= size - 3) {
    const void* zero = std::memchr(data + i, 0, size - 2 - i);
    if (zero == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data);
    if (data[i + 1] == 0 && data[i + 2] == 1) return i;
    // A start code cannot begin at i + 1 unless data[i + 1] is zero.
    i += data[i + 1] == 0 ? 1 : 2;
  }
  return size;
}

}  // namespace

std::optional<NalUnitSpan> FindNextNalUnit(const std::uint8_t* data, std::size_t size,
                                           std::size_t from) {
  if (data == nullptr || from >= size) return std::nullopt;
  const std::size_t start_code = FindStartCode(data, size, from);
  if (start_code == size) return std::nullopt;
  NalUnitSpan span;
  span.begin = start_code + 3;
  span.next = FindStartCode(data, size, span.begin);
  span.end = span.next;
  while (span.end > span.begin && data[span.end - 1] == 0) --span.end;
  return span;
}

}  // namespace moraine
