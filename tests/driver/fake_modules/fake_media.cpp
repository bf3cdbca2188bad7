// Tarn, Fell and Brook in one stand-in module that logs every call the conversion makes, one line
// each, for tests of the record loop. The decoder hands out a picture for every slice it is given;
// the encoder answers every picture with an access unit that holds no start code; the audio decoder
// delivers nothing until it is finished, and then a quarter second of silence.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>

#include "brook/audio_decoder.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

std::mutex events_lock;  // the encoder is called from a thread of its own
std::string events;
std::int32_t created_width = 0;
std::int32_t created_height = 0;
bool picture_ready = false;
const std::uint8_t kEncodedWithoutStartCode[] = {0x65, 0x88, 0x84, 0x21};

void Log(const std::string& line) {
  const std::lock_guard lock(events_lock);
  events += line + "\n";
}

std::string Hex(const std::uint8_t* data, std::int32_t size) {
  std::string text;
  char byte[3];
  for (std::int32_t i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    text += byte;
  }
  return text;
}

struct FakeDecoder {
  BrookDecoder base;
  BrookReleaseFunction release = nullptr;
  BrookOutputCallback callback = nullptr;
  void* context = nullptr;
  std::int64_t last_sequence = 0;
};

constexpr std::int32_t kHeldBackBytes = 4000;  // 2000 samples, 0.25 s at 8 kHz

void SetRate(BrookDecoder* decoder, std::int32_t rate) {
  Log("BrookSetRate selector=" + std::to_string(decoder->codec_selector) + " rate=" + std::to_string(rate));
}
void SetOutputSampleRate(BrookDecoder*, std::int32_t sample_rate) {
  Log("BrookSetOutputRate " + std::to_string(sample_rate));
}
void Finish(BrookDecoder* decoder) {
  Log("BrookFinish");
  const auto* fake = reinterpret_cast<FakeDecoder*>(decoder);
  if (fake->callback == nullptr) return;
  static const std::uint8_t silence[kHeldBackBytes] = {};
  fake->callback(fake->context, silence, kHeldBackBytes, 8000, 1, 16, 0, fake->last_sequence, kBrookOutputKindPcm);
}
void Decode(BrookDecoder* decoder, std::uint8_t* buffer, std::int32_t length, std::int64_t sequence) {
  Log("BrookDecode " + std::to_string(length) + " bytes #" + std::to_string(sequence));
  auto* fake = reinterpret_cast<FakeDecoder*>(decoder);
  fake->last_sequence = sequence;
  if (fake->release != nullptr) {
    fake->release(buffer);
  } else {
    std::free(buffer);
  }
}
void SetOutputCallback(BrookDecoder* decoder, BrookOutputCallback callback, void* context, std::int32_t) {
  auto* fake = reinterpret_cast<FakeDecoder*>(decoder);
  fake->callback = callback;
  fake->context = context;
  Log(std::string("BrookSetOutputCallback") + (callback != nullptr && context != nullptr ? "" : " missing"));
}
void SetLock(BrookDecoder*, std::recursive_mutex* lock) { Log(lock != nullptr ? "BrookSetLock" : "BrookSetLock null"); }
void SetAllocator(BrookDecoder* decoder, BrookAllocateFunction, BrookReleaseFunction release) {
  reinterpret_cast<FakeDecoder*>(decoder)->release = release;
  Log("BrookSetAllocator");
}

const BrookDecoderOperations kOperations = {nullptr, nullptr, nullptr, SetRate, Finish, SetOutputSampleRate,
                                            Decode, SetOutputCallback, SetLock, SetAllocator};

}  // namespace

// Hands out the calls logged since the last call and starts a new log.
FAKE_EXPORT void FakeMediaTakeEvents(std::string* out) {
  const std::lock_guard lock(events_lock);
  out->swap(events);
  events.clear();
}

FAKE_EXPORT bool TarnCreate(std::int32_t handle, std::int32_t codec, std::int32_t width, std::int32_t height,
                            const std::uint8_t* header, std::int32_t size) {
  Log("TarnCreate " + std::to_string(handle) + " codec=" + std::to_string(codec) + " " + std::to_string(width) +
      "x" + std::to_string(height) + " " + Hex(header, size));
  created_width = width;
  created_height = height;
  return true;
}
FAKE_EXPORT std::int32_t TarnDecodeVideoFrame(std::int32_t, std::uint32_t, const std::uint8_t* data, std::int32_t size) {
  Log("TarnDecode " + Hex(data, size < 6 ? size : 6));
  // H.264 slices (types 1 and 5) and HEVC slices (types 0 to 21) make a picture.
  const std::uint8_t header = size > 4 ? data[4] : 0;
  picture_ready = (header & 0x1F) == 1 || (header & 0x1F) == 5 || ((header >> 1) & 0x3F) <= 21;
  return picture_ready ? 1 : 0;
}
FAKE_EXPORT std::int32_t TarnGetDecodedVideoFrame(std::int32_t, std::uint8_t** picture, std::int32_t* size,
                                                  std::int32_t* width, std::int32_t* height) {
  *picture = nullptr;
  *size = 0;
  if (!picture_ready) return 0;
  picture_ready = false;
  *size = created_width * created_height * 3 / 2;
  *picture = new std::uint8_t[static_cast<std::size_t>(*size)]();  // released by the caller with delete[]
  *width = created_width;
  *height = created_height;
  return 0;
}
FAKE_EXPORT void TarnClose(std::int32_t handle) { Log("TarnClose " + std::to_string(handle)); }

FAKE_EXPORT std::int32_t FellCreate(std::int32_t handle, std::int32_t frame_rate, std::int32_t kbps, std::int32_t width,
                                    std::int32_t height) {
  Log("FellCreate " + std::to_string(handle) + " " + std::to_string(frame_rate) + " " + std::to_string(kbps) + " " +
      std::to_string(width) + "x" + std::to_string(height));
  return 1;
}
FAKE_EXPORT std::int32_t FellEncodeVideoFrame(std::int32_t, std::int32_t, const std::uint8_t* picture, std::int32_t size) {
  Log("FellEncode " + std::to_string(size));
  return picture != nullptr ? 1 : 0;
}
FAKE_EXPORT std::int32_t FellGetEncodedVideoFrame(std::int32_t, const std::uint8_t** data, std::int32_t* size) {
  *data = kEncodedWithoutStartCode;
  *size = sizeof kEncodedWithoutStartCode;
  return 0;
}
FAKE_EXPORT std::int32_t FellClose(std::int32_t handle) {
  Log("FellClose " + std::to_string(handle));
  return 0;
}

FAKE_EXPORT BrookDecoder* CreateDecoder(std::int32_t) {
  Log("CreateDecoder");
  auto* decoder = new FakeDecoder;
  decoder->base.operations = &kOperations;
  decoder->base.codec_selector = 0;
  return &decoder->base;
}
FAKE_EXPORT void DestroyDecoder(BrookDecoder* decoder) {
  Log("DestroyDecoder");
  delete reinterpret_cast<FakeDecoder*>(decoder);
}
