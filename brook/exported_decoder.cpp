// The C object that CreateDecoder hands out and its table of operations. Each operation finds the
// session behind the object and forwards to it; no exception leaves the module.

#include <cstddef>
#include <exception>
#include <memory>
#include <new>
#include <type_traits>

#include "brook/audio_decoder.h"
#include "brook/decoder_session.h"

namespace brook {
namespace {

// Standard layout, so a pointer to the object and to its first member are interchangeable.
struct ExportedDecoder {
  BrookDecoder shape;
  DecoderSession* session;  // owned: made by CreateDecoder, destroyed by DestroyDecoder
};
static_assert(std::is_standard_layout_v<ExportedDecoder>);
static_assert(offsetof(ExportedDecoder, shape) == 0);

DecoderSession& SessionOf(BrookDecoder* decoder) { return *reinterpret_cast<ExportedDecoder*>(decoder)->session; }

std::int32_t GetInterfaceVersion(BrookDecoder*) { return kBrookInterfaceVersion; }

std::int64_t GetRejectedFrameCount(BrookDecoder* decoder) { return SessionOf(decoder).rejected_frame_count(); }

std::int64_t GetDeliveredSampleCount(BrookDecoder* decoder) { return SessionOf(decoder).delivered_sample_count(); }

void SetRate(BrookDecoder* decoder, std::int32_t rate_value) { SessionOf(decoder).SetRate(rate_value); }

void Finish(BrookDecoder* decoder) {
  try {
    SessionOf(decoder).Finish();
  } catch (const std::exception&) {
    // Out of memory while flushing: what was pending is lost, the object stays usable.
  }
}

void SetOutputSampleRate(BrookDecoder* decoder, std::int32_t sample_rate) {
  SessionOf(decoder).SetOutputSampleRate(sample_rate);
}

void Decode(BrookDecoder* decoder, std::uint8_t* buffer, std::int32_t length, std::int64_t sequence_number) {
  try {
    SessionOf(decoder).Decode(decoder->codec_selector, buffer, length, sequence_number);
  } catch (const std::exception&) {
    // Out of memory while decoding: the frame is lost; its buffer went back while unwinding.
  }
}

void SetOutputCallback(BrookDecoder* decoder, BrookOutputCallback callback, void* context, std::int32_t) {
  SessionOf(decoder).SetOutputCallback(callback, context);
}

void SetLock(BrookDecoder* decoder, std::recursive_mutex* audio_lock) { SessionOf(decoder).SetLock(audio_lock); }

void SetAllocator(BrookDecoder* decoder, BrookAllocateFunction, BrookReleaseFunction release) {
  // The module hands out no buffers of the caller's, so only the release function is needed.
  SessionOf(decoder).SetReleaseFunction(release);
}

constexpr BrookDecoderOperations kOperations{
    GetInterfaceVersion,  // 0
    GetRejectedFrameCount,  // 1
    GetDeliveredSampleCount,  // 2
    SetRate,  // 3
    Finish,  // 4
    SetOutputSampleRate,  // 5
    Decode,  // 6
    SetOutputCallback,  // 7
    SetLock,  // 8
    SetAllocator,  // 9
};

}  // namespace
}  // namespace brook

extern "C" BrookDecoder* CreateDecoder(std::int32_t) {
  using brook::DecoderSession;
  using brook::ExportedDecoder;
  std::unique_ptr<DecoderSession> session(new (std::nothrow) DecoderSession());
  std::unique_ptr<ExportedDecoder> object(new (std::nothrow) ExportedDecoder{{&brook::kOperations, 0}, nullptr});
  if (!session || !object) return nullptr;
  object->session = session.release();
  return &object.release()->shape;
}

extern "C" void DestroyDecoder(BrookDecoder* decoder) {
  if (decoder == nullptr) return;
  const std::unique_ptr<brook::ExportedDecoder> object(reinterpret_cast<brook::ExportedDecoder*>(decoder));
  const std::unique_ptr<brook::DecoderSession> session(object->session);
}
