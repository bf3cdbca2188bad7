// The module's exported functions: a table of encoder objects addressed by handle. No exception
// leaves the module.

#include "fell/fell_exports.h"

#include "fell/hardwarevideoencoder/hardware_video_encoder.h"
#include "mediacommon/handle_table.h"
#include "mediacommon/hardware_probe.h"

namespace {

using moraine::fell::CHardwareVideoEncoder;

moraine::mediacommon::HandleTable<CHardwareVideoEncoder>& Encoders() {
  static moraine::mediacommon::HandleTable<CHardwareVideoEncoder> table;
  return table;
}

}  // namespace

extern "C" {

std::int32_t FellAvailable() {
  try {
    static const std::int32_t available = moraine::mediacommon::ProbeHardwareSession();
    return available;
  } catch (...) {
    return 0;
  }
}

std::int32_t FellCreate(std::int32_t handle, std::int32_t frame_rate, std::int32_t kilobits_per_second,
                        std::int32_t width, std::int32_t height) {
  try {
    const auto encoder = Encoders().Acquire(handle);
    return encoder && encoder->Create(frame_rate, kilobits_per_second, width, height) == MFX_ERR_NONE ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

std::int32_t FellEncodeVideoFrame(std::int32_t handle, std::int32_t /*unused*/, const std::uint8_t* picture,
                                  std::int32_t size) {
  try {
    const auto encoder = Encoders().Acquire(handle);
    return encoder ? encoder->EncodeFrame(picture, size) : -1;
  } catch (...) {
    return -1;
  }
}

std::int32_t FellGetEncodedVideoFrame(std::int32_t handle, const std::uint8_t** data, std::int32_t* size) {
  if (data == nullptr || size == nullptr) return -1;
  try {
    const auto encoder = Encoders().Acquire(handle);
    return encoder ? encoder->GetEncodedFrame(data, size) : -1;
  } catch (...) {
    return -1;
  }
}

std::int32_t FellClose(std::int32_t handle) {
  try {
    if (const auto encoder = Encoders().Acquire(handle)) {
      encoder->Close();
      Encoders().Remove(handle);
    }
  } catch (...) {
  }
  return 0;
}

}  // extern "C"
