// The module's exported functions: a table of decoder objects addressed by handle. No exception
// leaves the module.

#include "tarn/tarn_exports.h"

#include "mediacommon/handle_table.h"
#include "mediacommon/hardware_probe.h"
#include "tarn/hardwarevideodecoder/hardware_video_decoder.h"

namespace {

using moraine::tarn::CHardwareVideoDecoder;

moraine::mediacommon::HandleTable<CHardwareVideoDecoder>& Decoders() {
  static moraine::mediacommon::HandleTable<CHardwareVideoDecoder> table;
  return table;
}

}  // namespace

extern "C" {

std::int32_t TarnAvailable() {
  try {
    static const std::int32_t available = moraine::mediacommon::ProbeHardwareSession();
    return available;
  } catch (...) {
    return 0;
  }
}

bool TarnCreate(std::int32_t handle, std::int32_t codec, std::int32_t width, std::int32_t height,
                const std::uint8_t* parameter_sets, std::int32_t size) {
  try {
    const auto decoder = Decoders().Acquire(handle);
    return decoder && decoder->Create(codec, width, height, parameter_sets, size) == MFX_ERR_NONE;
  } catch (...) {
    return false;
  }
}

std::int32_t TarnDecodeVideoFrame(std::int32_t handle, std::uint32_t /*frame_counter*/, const std::uint8_t* data,
                                  std::int32_t size) {
  try {
    const auto decoder = Decoders().Acquire(handle);
    return decoder ? decoder->DecodeFrame(data, size) : -1;
  } catch (...) {
    return -1;
  }
}

std::int32_t TarnGetDecodedVideoFrame(std::int32_t handle, std::uint8_t** picture, std::int32_t* size,
                                      std::int32_t* width, std::int32_t* height) {
  if (picture == nullptr || size == nullptr || width == nullptr || height == nullptr) return -1;
  try {
    const auto decoder = Decoders().Acquire(handle);
    return decoder ? decoder->GetDecodedFrame(picture, size, width, height) : -1;
  } catch (...) {
    return -1;
  }
}

void TarnClose(std::int32_t handle) {
  try {
    if (const auto decoder = Decoders().Acquire(handle)) {
      decoder->Close();
      Decoders().Remove(handle);
    }
  } catch (...) {
  }
}

}  // extern "C"
