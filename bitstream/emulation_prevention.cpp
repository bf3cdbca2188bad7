#include "bitstream/emulation_prevention.h"

#include <cstring>

namespace moraine {

namespace {

// Where the next pair of zero bytes starts at or after `from` (size when none). Slices rarely
// hold zero bytes, so the search jumps from zero to zero and the bytes between are copied in bulk.
std::size_t FindZeroPair(const std::uint8_t* data, std::size_t size, std::size_t from) {
  std::size_t i = from;
  while (size >= 2 && i <= size - 2) {
    const void* zero = std::memchr(data + i, 0, size - 1 - i);
    if (zero == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data);
    if (data[i + 1] == 0) return i;
    i += 2;
  }
  return size;
}

void AppendRange(const std::uint8_t* begin, std::size_t count, std::vector<std::uint8_t>& out) {
  out.insert(out.end(), begin, begin + count);
}

}  // namespace

std::optional<bool> CheckEmulationPrevention(const std::uint8_t* unit, std::size_t size) {
  bool canonical = true;
  for (std::size_t pair = FindZeroPair(unit, size, 0); pair < size;
       pair = FindZeroPair(unit, size, pair + 2)) {
    const std::size_t next = pair + 2;
    if (next >= size) break;
    if (unit[next] <= 0x02) return std::nullopt;
    // An 0x03 stays in the payload when it is last or followed by a byte above 0x03, and is
    // then escaped once more on the way out.
    if (unit[next] == 0x03 && (next + 1 == size || unit[next + 1] > 0x03)) canonical = false;
  }
  return canonical;
}

bool RemoveEmulationPrevention(const std::uint8_t* unit, std::size_t size,
                               std::vector<std::uint8_t>& rbsp) {
  rbsp.clear();
  rbsp.reserve(size);
  std::size_t copied = 0;  // bytes of `unit` handled so far
  while (copied < size) {
    const std::size_t pair = FindZeroPair(unit, size, copied);
    if (pair == size) {
      AppendRange(unit + copied, size - copied, rbsp);
      break;
    }
    AppendRange(unit + copied, pair + 2 - copied, rbsp);
    std::size_t next = pair + 2;
    if (next < size) {
      const std::uint8_t after_pair = unit[next];
      if (after_pair <= 0x02) return false;
      if (after_pair == 0x03) {
        const bool is_last = next + 1 == size;
        if (!is_last && unit[next + 1] <= 0x03) {
          ++next;  // drop the emulation prevention byte
        }
      }
    }
    copied = next;
  }
  return !rbsp.empty();
}

void AppendWithEmulationPrevention(const std::uint8_t* rbsp, std::size_t size,
                                   std::vector<std::uint8_t>& out) {
  out.reserve(out.size() + size + size / 64 + 8);
  std::size_t copied = 0;
  while (copied < size) {
    const std::size_t pair = FindZeroPair(rbsp, size, copied);
    if (pair == size) {
      AppendRange(rbsp + copied, size - copied, out);
      break;
    }
    AppendRange(rbsp + copied, pair + 2 - copied, out);
    const std::size_t next = pair + 2;
    if (next < size && rbsp[next] <= 0x03) out.push_back(0x03);
    copied = next;
  }
}

}  // namespace moraine
