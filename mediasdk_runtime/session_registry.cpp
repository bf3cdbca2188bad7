#include "mediasdk_runtime/session_registry.h"

namespace moraine::mediasdk {

SessionRegistry& SessionRegistry::Instance() {
  static SessionRegistry registry;
  return registry;
}

mfxSession SessionRegistry::Add(std::shared_ptr<Session> session) {
  // The object's address is the handle: unique while the session is registered.
  const auto handle = reinterpret_cast<mfxSession>(session.get());
  const std::lock_guard guard(lock_);
  sessions_.emplace(handle, std::move(session));
  return handle;
}

std::shared_ptr<Session> SessionRegistry::Find(mfxSession handle) const {
  const std::lock_guard guard(lock_);
  const auto found = sessions_.find(handle);
  return found == sessions_.end() ? nullptr : found->second;
}

void SessionRegistry::Remove(mfxSession handle) {
  std::shared_ptr<Session> removed;
  {
    const std::lock_guard guard(lock_);
    const auto found = sessions_.find(handle);
    if (found == sessions_.end()) return;
    removed = std::move(found->second);
    sessions_.erase(found);
  }
  // `removed` is destroyed here, outside the lock.
}

}  // namespace moraine::mediasdk
