#pragma once

// The lock classes of the media modules, all built on the platform's critical section.

#include "platform/critical_section.h"

namespace moraine::mediacommon {

// Owns a critical section.
class MyLock {
 public:
  MyLock() = default;
  MyLock(const MyLock&) = delete;
  MyLock& operator=(const MyLock&) = delete;

  void Enter() { section_.lock(); }
  void Leave() { section_.unlock(); }
  platform::CriticalSection& Section() { return section_; }

 private:
  platform::CriticalSection section_;
};

// Holds a MyLock from construction to destruction.
class MyScopedLock {
 public:
  explicit MyScopedLock(MyLock& lock) : lock_(lock) { lock_.Enter(); }
  ~MyScopedLock() { lock_.Leave(); }
  MyScopedLock(const MyScopedLock&) = delete;
  MyScopedLock& operator=(const MyScopedLock&) = delete;

 private:
  MyLock& lock_;
};

// Enters a critical section on construction; leaves it on Release() or, when still held, on destruction.
class ScopedLock {
 public:
  explicit ScopedLock(platform::CriticalSection& section) : section_(section) { section_.lock(); }
  ~ScopedLock() { Release(); }
  ScopedLock(const ScopedLock&) = delete;
  ScopedLock& operator=(const ScopedLock&) = delete;

  void Release() {
    if (!held_) return;
    held_ = false;
    section_.unlock();
  }

 private:
  platform::CriticalSection& section_;
  bool held_ = true;
};

// The module-wide lock that serialises the initialisation of the SDK components of all objects.
class CGlobalLock {
 public:
  // The one instance of the module, constructed on first use.
  static CGlobalLock& Instance();
  platform::CriticalSection& Section() { return section_; }

 private:
  CGlobalLock() = default;
  platform::CriticalSection section_;
};

}  // namespace moraine::mediacommon
