// Stand-ins for the run-time modules, built in variants by compile definitions, for the failure paths
// of module binding: FAKE_TARN, FAKE_FELL, FAKE_BROOK (its CreateDecoder gives no decoder); with
// FAKE_INCOMPLETE the module lacks its close entry point (or, for Brook, CreateDecoder).

#include <cstdint>

#include "brook/audio_decoder.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

#if defined(FAKE_TARN)
FAKE_EXPORT bool TarnCreate(std::int32_t, std::int32_t, std::int32_t, std::int32_t, const std::uint8_t*,
                            std::int32_t) {
  return true;
}
FAKE_EXPORT std::int32_t TarnDecodeVideoFrame(std::int32_t, std::uint32_t, const std::uint8_t*, std::int32_t) {
  return 0;
}
FAKE_EXPORT std::int32_t TarnGetDecodedVideoFrame(std::int32_t, std::uint8_t**, std::int32_t*, std::int32_t*,
                                                  std::int32_t*) {
  return -1;
}
#if !defined(FAKE_INCOMPLETE)
FAKE_EXPORT void TarnClose(std::int32_t) {}
#endif
#endif

#if defined(FAKE_FELL)
FAKE_EXPORT std::int32_t FellCreate(std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t) { return 1; }
FAKE_EXPORT std::int32_t FellEncodeVideoFrame(std::int32_t, std::int32_t, const std::uint8_t*, std::int32_t) {
  return 0;
}
FAKE_EXPORT std::int32_t FellGetEncodedVideoFrame(std::int32_t, const std::uint8_t**, std::int32_t*) { return -1; }
#if !defined(FAKE_INCOMPLETE)
FAKE_EXPORT std::int32_t FellClose(std::int32_t) { return 0; }
#endif
#endif

#if defined(FAKE_BROOK)
#if !defined(FAKE_INCOMPLETE)
FAKE_EXPORT BrookDecoder* CreateDecoder(std::int32_t) { return nullptr; }
#endif
FAKE_EXPORT void DestroyDecoder(BrookDecoder*) {}
#endif
