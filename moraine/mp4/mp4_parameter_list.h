#pragma once

// Ordered list of distinct byte strings (parameter sets, decoder configuration), stored as they
// go into the file: each entry a 16-bit big-endian length and its bytes.

#include <cstdint>

#include "moraine/mp4/byte_vector.h"

namespace moraine {

class Mp4ParameterList {
 public:
  // Appends the entry unless an equal one is present. 0 on success (also for a duplicate),
  // -1 for an empty entry or one longer than 65535 bytes, -2 when memory runs out.
  int Add(const std::uint8_t* bytes, std::int32_t length);

  // Number of entries.
  int Count() const;
  // The first entry's bytes and length; nullptr and 0 when the list is empty.
  const std::uint8_t* FirstEntry(std::int32_t* length) const;
  // The serialised form of the first `count` entries (lengths included), and its size.
  std::int32_t SerialisedSize(int count) const;
  const std::uint8_t* data() const { return entries_.data(); }
  std::int32_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }

 private:
  ByteVector entries_;
};

}  // namespace moraine
