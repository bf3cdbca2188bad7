#pragma once

// Holds the latest parameter set of one type (VPS or SPS), start code included.

#include <array>
#include <cstddef>
#include <cstdint>

namespace moraine {

class ParameterSetStore {
 public:
  static constexpr std::size_t kCapacity = 250;

  // Replaces the stored parameter set with a copy of `size` bytes. A parameter set longer than
  // the capacity is rejected (returns false) and the store keeps what it held.
  bool Store(const std::uint8_t* bytes, std::size_t size);

  const std::uint8_t* data() const { return bytes_.data(); }
  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

 private:
  std::array<std::uint8_t, kCapacity> bytes_{};
  std::size_t size_ = 0;
};

}  // namespace moraine
