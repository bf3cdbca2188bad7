#pragma once

// Big-endian writer that builds MP4 boxes in memory. Every multi-byte field of the file goes
// through it; a box's size field is patched when the box is closed. Allocation failures are
// sticky: once a write could not grow the buffer, ok() stays false and later writes do nothing.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "moraine/mp4/byte_vector.h"

namespace moraine {

class BoxBuilder {
 public:
  // Starts with room for `expected_size` bytes (one allocation when the estimate holds).
  explicit BoxBuilder(std::int32_t expected_size = 0);

  void U8(std::uint32_t value);
  void U16(std::uint32_t value);
  void U24(std::uint32_t value);
  void U32(std::uint32_t value);
  void U64(std::uint64_t value);
  void FourCc(std::string_view code);  // exactly four characters
  void Bytes(const void* bytes, std::size_t count);
  void Zeros(std::size_t count);

  // Opens a box: writes a size placeholder and the type. Boxes nest.
  void StartBox(std::string_view type);
  // A full box: StartBox plus version (8 bits) and flags (24 bits).
  void StartFullBox(std::string_view type, std::uint8_t version, std::uint32_t flags);
  // Closes the innermost open box and writes its size (header included).
  void EndBox();

  bool ok() const { return ok_; }
  const std::uint8_t* data() const { return buffer_.data(); }
  std::size_t size() const { return static_cast<std::size_t>(buffer_.size()); }

 private:
  std::uint8_t* Take(std::size_t count);

  ByteVector buffer_;
  std::vector<std::int32_t> open_boxes_;
  bool ok_ = true;
};

}  // namespace moraine
