#include "mediasdk_runtime/va_display.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

namespace moraine::mediasdk {
namespace {

// The few libva entry points used, with libva's types reduced to what they are: VADisplay is an
// opaque pointer and VAStatus an int whose success value is 0.
using GetDisplayDrmFunction = void* (*)(int);
using InitializeFunction = int (*)(void*, int*, int*);
constexpr int kVaStatusSuccess = 0;

// Libraries stay loaded for the life of the process, like the dispatcher that uses the display.
void* LoadLibrary(const std::string& name) { return dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL); }

}  // namespace

std::unique_ptr<VaDisplay> VaDisplay::Open(const std::string& render_node,
                                           const VaLibraries& libraries) {
  void* va = LoadLibrary(libraries.va);
  void* va_drm = LoadLibrary(libraries.va_drm);
  if (va == nullptr || va_drm == nullptr) return nullptr;
  const auto get_display = reinterpret_cast<GetDisplayDrmFunction>(dlsym(va_drm, "vaGetDisplayDRM"));
  const auto initialize = reinterpret_cast<InitializeFunction>(dlsym(va, "vaInitialize"));
  const auto terminate = reinterpret_cast<TerminateFunction>(dlsym(va, "vaTerminate"));
  if (get_display == nullptr || initialize == nullptr || terminate == nullptr) return nullptr;

  const int descriptor = open(render_node.c_str(), O_RDWR | O_CLOEXEC);
  if (descriptor < 0) return nullptr;
  void* display = get_display(descriptor);
  int major = 0;
  int minor = 0;
  if (display == nullptr || initialize(display, &major, &minor) != kVaStatusSuccess) {
    if (display != nullptr) terminate(display);
    close(descriptor);
    return nullptr;
  }
  return std::unique_ptr<VaDisplay>(new VaDisplay(descriptor, display, terminate));
}

VaDisplay::~VaDisplay() {
  terminate_(display_);
  close(descriptor_);
}

}  // namespace moraine::mediasdk
