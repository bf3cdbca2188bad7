#include "mediasdk_runtime/implementation_selection.h"

#include <cstdlib>

#include "mediasdk_runtime/dispatcher_library.h"
#include "mediasdk_runtime/gpu_detection.h"
#include "mediasdk_runtime/hardware_session.h"
#include "mediasdk_runtime/software_session.h"

namespace moraine::mediasdk {
namespace {

bool IsSupportedVersion(const mfxVersion& requested) {
  if (requested.Major == 0 && requested.Minor == 0) return true;  // no minimum given
  return requested.Major == MFX_VERSION_MAJOR && requested.Minor <= MFX_VERSION_MINOR;
}

mfxStatus OpenHardwareSession(const mfxInitParam& par, size_t device,
                              std::shared_ptr<Session>& session) {
  const mfxIMPL via = par.Implementation & 0x0F00;
  if (via == MFX_IMPL_VIA_D3D9 || via == MFX_IMPL_VIA_D3D11) return MFX_ERR_UNSUPPORTED;
  const std::optional<HardwarePlatform> platform = FindHardwarePlatform(device);
  if (!platform) return MFX_ERR_UNSUPPORTED;
  const DispatcherFunctions* dispatcher = LoadDispatcher(platform->dispatcher);
  if (dispatcher == nullptr) return MFX_ERR_UNSUPPORTED;
  std::shared_ptr<VaDisplay> display = VaDisplay::Open(platform->render_node, platform->va);
  if (!display) return MFX_ERR_UNSUPPORTED;
  mfxInitParam forwarded = par;
  const mfxIMPL base = MFX_IMPL_BASETYPE(par.Implementation);
  if (base == MFX_IMPL_AUTO || base == MFX_IMPL_AUTO_ANY) {
    forwarded.Implementation = (par.Implementation & ~mfxIMPL{0xFF}) | MFX_IMPL_HARDWARE_ANY;
  }
  return HardwareSession::Open(*dispatcher, std::move(display), forwarded, session);
}

}  // namespace

std::optional<HardwarePlatform> FindHardwarePlatform(size_t index) {
  if (const char* stand_in = std::getenv("MORAINE_MEDIASDK_TEST_HARDWARE");
      stand_in != nullptr && *stand_in != '\0') {
    if (index != 0) return std::nullopt;
    return HardwarePlatform{"/dev/null", stand_in, VaLibraries{stand_in, stand_in}};
  }
  const std::vector<std::string> nodes = FindIntelRenderNodes();
  if (index >= nodes.size()) return std::nullopt;
  return HardwarePlatform{nodes[index], "libmfx.so.1", VaLibraries{}};
}

mfxStatus OpenSession(const mfxInitParam& par, std::shared_ptr<Session>& session) {
  if (!IsSupportedVersion(par.Version)) return MFX_ERR_UNSUPPORTED;
  const bool external_threading = par.ExternalThreads != 0;
  switch (MFX_IMPL_BASETYPE(par.Implementation)) {
    case MFX_IMPL_SOFTWARE:
      session = std::make_shared<SoftwareSession>(external_threading);
      return MFX_ERR_NONE;
    case MFX_IMPL_AUTO:
    case MFX_IMPL_AUTO_ANY:
      if (OpenHardwareSession(par, 0, session) == MFX_ERR_NONE) return MFX_ERR_NONE;
      session = std::make_shared<SoftwareSession>(external_threading);
      return MFX_ERR_NONE;
    case MFX_IMPL_HARDWARE:
    case MFX_IMPL_HARDWARE_ANY:
      return OpenHardwareSession(par, 0, session);
    case MFX_IMPL_HARDWARE2:
      return OpenHardwareSession(par, 1, session);
    case MFX_IMPL_HARDWARE3:
      return OpenHardwareSession(par, 2, session);
    case MFX_IMPL_HARDWARE4:
      return OpenHardwareSession(par, 3, session);
    default:
      return MFX_ERR_UNSUPPORTED;
  }
}

}  // namespace moraine::mediasdk
