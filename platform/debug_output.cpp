#include "platform/debug_output.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

namespace moraine::platform {
namespace {

std::mutex& HookMutex() {
  static std::mutex mutex;
  return mutex;
}

DebugOutputHook& Hook() {
  static DebugOutputHook hook;
  return hook;
}

bool DebugOutputEnabled() {
  const char* setting = std::getenv("MORAINE_DEBUG_OUTPUT");
  return setting != nullptr && std::strcmp(setting, "1") == 0;
}

}  // namespace

void OutputDebugText(std::string_view text) {
  {
    std::lock_guard<std::mutex> guard(HookMutex());
    if (Hook()) {
      Hook()(text);
      return;
    }
  }
  if (!DebugOutputEnabled()) return;
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void SetDebugOutputHook(DebugOutputHook hook) {
  std::lock_guard<std::mutex> guard(HookMutex());
  Hook() = std::move(hook);
}

}  // namespace moraine::platform
