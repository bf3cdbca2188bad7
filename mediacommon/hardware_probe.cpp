#include "mediacommon/hardware_probe.h"

#include <mfx/mfxvideo.h>

namespace moraine::mediacommon {

std::int32_t ProbeHardwareSession() {
  mfxVersion requested{};
  requested.Major = 1;
  requested.Minor = 7;
  mfxSession session = nullptr;
  std::int32_t answer = 0;
  if (MFXInit(MFX_IMPL_HARDWARE_ANY, &requested, &session) == MFX_ERR_NONE) {
    mfxVersion version{};
    MFXQueryVersion(session, &version);
    answer = 1;
  }
  if (session != nullptr) MFXClose(session);
  return answer;
}

}  // namespace moraine::mediacommon
