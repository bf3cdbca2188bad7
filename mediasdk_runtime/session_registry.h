#pragma once

// The open sessions of the process, by handle. Handles that were never issued or are already
// closed are recognised as such instead of being dereferenced.

#include <mfx/mfxvideo.h>

#include <memory>
#include <mutex>
#include <unordered_map>

#include "mediasdk_runtime/session.h"

namespace moraine::mediasdk {

class SessionRegistry {
 public:
  static SessionRegistry& Instance();

  // Takes `session` in and returns its handle.
  mfxSession Add(std::shared_ptr<Session> session);
  // The session of `handle`, or null for an unknown handle.
  std::shared_ptr<Session> Find(mfxSession handle) const;
  void Remove(mfxSession handle);

 private:
  mutable std::mutex lock_;
  std::unordered_map<mfxSession, std::shared_ptr<Session>> sessions_;
};

}  // namespace moraine::mediasdk
