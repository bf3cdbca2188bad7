#pragma once

// A VA-API display on a DRM render node, which the hardware Media SDK runtime needs as the
// session's device handle. libva is loaded at run time, so the runtime needs no libva to link.

#include <memory>
#include <string>

namespace moraine::mediasdk {

struct VaLibraries {
  std::string va = "libva.so.2";          // vaInitialize, vaTerminate
  std::string va_drm = "libva-drm.so.2";  // vaGetDisplayDRM
};

class VaDisplay {
 public:
  // Opens `render_node` and initialises a display on it; null on any failure.
  static std::unique_ptr<VaDisplay> Open(const std::string& render_node,
                                         const VaLibraries& libraries);
  ~VaDisplay();  // terminates the display, then closes the node
  VaDisplay(const VaDisplay&) = delete;
  VaDisplay& operator=(const VaDisplay&) = delete;

  void* display() const { return display_; }

 private:
  using TerminateFunction = int (*)(void*);
  VaDisplay(int descriptor, void* display, TerminateFunction terminate)
      : descriptor_(descriptor), display_(display), terminate_(terminate) {}

  int descriptor_;
  void* display_;
  TerminateFunction terminate_;
};

}  // namespace moraine::mediasdk
