#include "moraine/mp4/byte_vector.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <utility>

namespace moraine {

namespace {
constexpr std::int64_t kMaxBytes = std::numeric_limits<std::int32_t>::max();
}

ByteVector::~ByteVector() { std::free(data_); }

ByteVector::ByteVector(ByteVector&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      used_(std::exchange(other.used_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

ByteVector& ByteVector::operator=(ByteVector&& other) noexcept {
  if (this != &other) {
    std::free(data_);
    data_ = std::exchange(other.data_, nullptr);
    used_ = std::exchange(other.used_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

std::uint8_t* ByteVector::Reserve(std::int32_t n) {
  if (n < 0 || std::int64_t{used_} + n > kMaxBytes) return nullptr;
  if (data_ == nullptr || capacity_ - used_ < n) {
    std::int64_t new_capacity;
    if (data_ == nullptr) {
      new_capacity = 2 * std::int64_t{n} + 1024;
    } else {
      const std::int64_t doubled = 2 * std::int64_t{capacity_} + 1024;
      const std::int64_t exact = std::int64_t{capacity_} + n;
      new_capacity = (doubled < exact ? exact : 2 * std::int64_t{capacity_}) + 1024;
    }
    // Near the 2 GiB limit the rule would overshoot; the exact need still fits.
    if (new_capacity > kMaxBytes) new_capacity = kMaxBytes;
    void* grown = std::realloc(data_, static_cast<std::size_t>(new_capacity));
    if (grown == nullptr) return nullptr;
    data_ = static_cast<std::uint8_t*>(grown);
    capacity_ = static_cast<std::int32_t>(new_capacity);
  }
  std::uint8_t* reserved = data_ + used_;
  used_ += n;
  return reserved;
}

bool ByteVector::Append(const void* bytes, std::int32_t n) {
  std::uint8_t* destination = Reserve(n);
  if (destination == nullptr) return false;
  if (n > 0) std::memcpy(destination, bytes, static_cast<std::size_t>(n));
  return true;
}

void ByteVector::Truncate(std::int32_t used) {
  if (used >= 0 && used <= used_) used_ = used;
}

}  // namespace moraine
