#include "bitstream/emulation_prevention.h"

#include <cstring>

namespace moraine {

namespace {

// Where the next pair of zero bytes starts at or after `from` (size when none). Slices rarely
// hold zero bytes, so the search jumps from zero to zero and the bytes between are copied in bulk.
std::size_t FindZeroPair(std::span<const std::uint8_t> data, std::size_t from) {
  const std::size_t size = data.size();
  std::size_t i = from;
  while (size >= 2 && i <= size - 2) {
    const void* zero = std::memchr(data.data() + i, 0, size - 1 - i);
    if (zero == nullptr) break;
    i = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - data.data());
    if (data[i + 1] == 0) return i;
    i += 2;
  }
  return size;
}

void AppendRange(std::span<const std::uint8_t> data, std::size_t begin, std::size_t end,
                 std::vector<std::uint8_t>& out) {
  out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(begin),
             data.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace

std::optional<bool> CheckEmulationPrevention(std::span<const std::uint8_t> unit) {
  const std::size_t size = unit.size();
  bool canonical = true;
  for (std::size_t pair = FindZeroPair(unit, 0); pair < size; pair = FindZeroPair(unit, pair + 2)) {
    const std::size_t next = pair + 2;
    if (next >= size) break;
    if (unit[next] <= 0x02) return std::nullopt;
    // An 0x03 stays in the payload when it is last or followed by a byte above 0x03, and is
    // then escaped once more on the way out.
    if (unit[next] == 0x03 && (next + 1 == size || unit[next + 1] > 0x03)) canonical = false;
  }
  return canonical;
}

bool RemoveEmulationPrevention(std::span<const std::uint8_t> unit, EscapeRule rule,
                               std::vector<std::uint8_t>& rbsp) {
  const std::size_t size = unit.size();
  rbsp.clear();
  rbsp.reserve(size);
  std::size_t copied = 0;  // bytes of `unit` handled so far
  while (copied < size) {
    const std::size_t pair = FindZeroPair(unit, copied);
    if (pair == size) {
      AppendRange(unit, copied, size, rbsp);
      break;
    }
    // The byte after the run of zeros that starts at `pair` decides. A decoder takes an 0x03 after
    // two or more zeros for an escape; the reversible rule refuses more than two.
    std::size_t next = pair + 2;
    while (next < size && unit[next] == 0x00) ++next;
    if (rule == EscapeRule::kReversible && (next > pair + 2 || (next < size && unit[next] <= 0x02))) {
      return false;
    }
    AppendRange(unit, copied, next, rbsp);
    if (next < size && unit[next] == 0x03 &&
        (rule == EscapeRule::kDecoding || (next + 1 < size && unit[next + 1] <= 0x03))) {
      ++next;  // drop the emulation prevention byte
    }
    copied = next;
  }
  return true;
}

void AppendWithEmulationPrevention(std::span<const std::uint8_t> rbsp, std::vector<std::uint8_t>& out) {
  const std::size_t size = rbsp.size();
  out.reserve(out.size() + size + size / 64 + 8);
  std::size_t copied = 0;
  while (copied < size) {
    const std::size_t pair = FindZeroPair(rbsp, copied);
    if (pair == size) {
      AppendRange(rbsp, copied, size, out);
      break;
    }
    AppendRange(rbsp, copied, pair + 2, out);
    const std::size_t next = pair + 2;
    if (next < size && rbsp[next] <= 0x03) out.push_back(0x03);
    copied = next;
  }
}

}  // namespace moraine
