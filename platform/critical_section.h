#pragma once

// A critical section: a lock that the thread holding it may enter again.

#include <mutex>

namespace moraine::platform {

using CriticalSection = std::recursive_mutex;

}  // namespace moraine::platform
