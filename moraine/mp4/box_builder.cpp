#include "moraine/mp4/box_builder.h"

#include <cstring>
#include <limits>

namespace moraine {

BoxBuilder::BoxBuilder(std::int32_t expected_size) {
  if (expected_size > 0) {
    // Reserve once, then forget the bytes: later writes fill the capacity without reallocating.
    if (buffer_.Reserve(expected_size) == nullptr) {
      ok_ = false;
    } else {
      buffer_.Truncate(0);
    }
  }
}

std::uint8_t* BoxBuilder::Take(std::size_t count) {
  if (!ok_) return nullptr;
  if (count > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    ok_ = false;
    return nullptr;
  }
  std::uint8_t* place = buffer_.Reserve(static_cast<std::int32_t>(count));
  if (place == nullptr) ok_ = false;
  return place;
}

void BoxBuilder::U8(std::uint32_t value) {
  if (std::uint8_t* p = Take(1)) p[0] = static_cast<std::uint8_t>(value);
}

void BoxBuilder::U16(std::uint32_t value) {
  if (std::uint8_t* p = Take(2)) {
    p[0] = static_cast<std::uint8_t>(value >> 8);
    p[1] = static_cast<std::uint8_t>(value);
  }
}

void BoxBuilder::U24(std::uint32_t value) {
  if (std::uint8_t* p = Take(3)) {
    p[0] = static_cast<std::uint8_t>(value >> 16);
    p[1] = static_cast<std::uint8_t>(value >> 8);
    p[2] = static_cast<std::uint8_t>(value);
  }
}

void BoxBuilder::U32(std::uint32_t value) {
  if (std::uint8_t* p = Take(4)) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
  }
}

void BoxBuilder::U64(std::uint64_t value) {
  if (std::uint8_t* p = Take(8)) {
    for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(value >> (56 - 8 * i));
  }
}

void BoxBuilder::FourCc(std::string_view code) { Bytes(code.data(), 4); }

void BoxBuilder::Bytes(const void* bytes, std::size_t count) {
  if (count == 0) return;
  if (std::uint8_t* p = Take(count)) std::memcpy(p, bytes, count);
}

void BoxBuilder::Zeros(std::size_t count) {
  if (count == 0) return;
  if (std::uint8_t* p = Take(count)) std::memset(p, 0, count);
}

void BoxBuilder::StartBox(std::string_view type) {
  open_boxes_.push_back(buffer_.size());
  U32(0);
  FourCc(type);
}

void BoxBuilder::StartFullBox(std::string_view type, std::uint8_t version, std::uint32_t flags) {
  StartBox(type);
  U8(version);
  U24(flags);
}

void BoxBuilder::EndBox() {
  if (open_boxes_.empty()) return;
  const std::int32_t start = open_boxes_.back();
  open_boxes_.pop_back();
  if (!ok_) return;
  const auto box_size = static_cast<std::uint32_t>(buffer_.size() - start);
  std::uint8_t* p = buffer_.data() + start;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(box_size >> (24 - 8 * i));
}

}  // namespace moraine
