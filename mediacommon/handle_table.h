#pragma once

// The fixed table of module objects that the exported functions address by a caller-chosen handle.

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>

namespace moraine::mediacommon {

inline constexpr std::int32_t kHandleSlots = 160;

template <typename Object>
class HandleTable {
 public:
  // A shared reference to the object in slot `handle`; an empty slot first gets a new, idle object.
  // Null for a handle outside 0 to kHandleSlots - 1. The reference keeps the object alive while the
  // caller works on it, even if the slot is emptied meanwhile.
  std::shared_ptr<Object> Acquire(std::int32_t handle) {
    if (!InRange(handle)) return nullptr;
    std::lock_guard<std::mutex> guard(mutex_);
    std::shared_ptr<Object>& slot = slots_[static_cast<std::size_t>(handle)];
    if (!slot) slot = std::make_shared<Object>();
    return slot;
  }

  // Empties slot `handle` and returns what it held (null when it was empty or out of range).
  std::shared_ptr<Object> Remove(std::int32_t handle) {
    if (!InRange(handle)) return nullptr;
    std::lock_guard<std::mutex> guard(mutex_);
    return std::move(slots_[static_cast<std::size_t>(handle)]);
  }

 private:
  static bool InRange(std::int32_t handle) { return handle >= 0 && handle < kHandleSlots; }

  // Guards only the slots: operations on the objects run outside it, under each object's own lock.
  std::mutex mutex_;
  std::array<std::shared_ptr<Object>, kHandleSlots> slots_{};
};

}  // namespace moraine::mediacommon
