#pragma once

// Chooses the implementation behind a new session: the system's hardware runtime when an Intel
// GPU is present and answers, else (for automatic choices) the software implementation.

#include <mfx/mfxvideo.h>

#include <memory>
#include <optional>
#include <string>

#include "mediasdk_runtime/session.h"
#include "mediasdk_runtime/va_display.h"

namespace moraine::mediasdk {

// Where hardware sessions are forwarded to.
struct HardwarePlatform {
  std::string render_node;
  std::string dispatcher = "libmfx.so.1";
  VaLibraries va;
};

// The platform of hardware device `index` (0 = first Intel render node), or empty when there is
// none. Tests set MORAINE_MEDIASDK_TEST_HARDWARE to the path of a library that stands in for both
// the dispatcher and libva; device 0 then exists, with /dev/null as its node.
std::optional<HardwarePlatform> FindHardwarePlatform(size_t index);

// Opens a session for `par`: MFX_IMPL_SOFTWARE gives a software session, MFX_IMPL_HARDWARE and
// its variants only a hardware session, MFX_IMPL_AUTO and MFX_IMPL_AUTO_ANY a hardware session
// when one opens and a software session otherwise. MFX_ERR_UNSUPPORTED for an API version above
// ours, an unknown implementation, or hardware that is not there.
mfxStatus OpenSession(const mfxInitParam& par, std::shared_ptr<Session>& session);

}  // namespace moraine::mediasdk
