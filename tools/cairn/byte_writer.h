#pragma once

// Appends big-endian numbers and raw bytes to a growing buffer; analytic payloads are built with it.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace moraine::cairn {

class ByteWriter {
 public:
  void U8(std::uint8_t value) { bytes_.push_back(value); }
  void U16(std::uint16_t value) {
    bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes_.push_back(static_cast<std::uint8_t>(value));
  }
  void Bytes(std::span<const std::uint8_t> bytes) { bytes_.insert(bytes_.end(), bytes.begin(), bytes.end()); }
  void Text(std::string_view text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
  // Appends `count` zero bytes (fields a payload has but nobody reads).
  void Zeros(std::size_t count) { bytes_.insert(bytes_.end(), count, 0); }
  // Overwrites two bytes written earlier, e.g. a length known only at the end.
  void PatchU16(std::size_t position, std::uint16_t value) {
    bytes_.at(position) = static_cast<std::uint8_t>(value >> 8);
    bytes_.at(position + 1) = static_cast<std::uint8_t>(value);
  }

  std::size_t size() const { return bytes_.size(); }
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }
  std::vector<std::uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace moraine::cairn
