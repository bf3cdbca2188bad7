#pragma once

// Growable byte buffer behind every list of the MP4 writer (sample index, parameter lists, the
// index buffer). Allocation failures are reported, never thrown: a failed reservation leaves the
// buffer unchanged.

#include <cstddef>
#include <cstdint>

namespace moraine {

class ByteVector {
 public:
  ByteVector() = default;
  ~ByteVector();
  ByteVector(ByteVector&& other) noexcept;
  ByteVector& operator=(ByteVector&& other) noexcept;
  ByteVector(const ByteVector&) = delete;
  ByteVector& operator=(const ByteVector&) = delete;

  // Makes room for n more bytes at the tail and counts them as used. Returns their address, or
  // nullptr (nothing changed) when memory runs out or the size would pass 2^31 - 1.
  // Growth: the first reservation allocates 2n + 1024; later ones grow to
  // max(2 * capacity, capacity + n) + 1024.
  std::uint8_t* Reserve(std::int32_t n);

  // Appends n bytes; false when memory runs out (nothing changed).
  bool Append(const void* bytes, std::int32_t n);

  // Forgets bytes at the tail so that `used` bytes remain (used <= size()).
  void Truncate(std::int32_t used);

  std::uint8_t* data() { return data_; }
  const std::uint8_t* data() const { return data_; }
  std::int32_t size() const { return used_; }
  std::int32_t capacity() const { return capacity_; }
  bool empty() const { return used_ == 0; }

 private:
  std::uint8_t* data_ = nullptr;
  std::int32_t used_ = 0;
  std::int32_t capacity_ = 0;
};

}  // namespace moraine
